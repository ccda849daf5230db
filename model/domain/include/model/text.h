#pragma once

// Small helpers for the single-byte texts that travel between the radios,
// the project file and the panel. ASCII rules only: the texts have no
// particular code page, and the desktop's locale must not change them.
#include <string>

namespace tessel {

bool isBlank(char c);  // space or tab
// Text without leading and trailing blanks.
std::string trimBlanks(const std::string& text);
// At least one character, all of them 0..9.
bool allDigits(const std::string& text);
std::string upperCase(std::string text);
std::string lowerCase(std::string text);
// Digits only, at most maxDigits (9 at most) of them: their number;
// otherwise -1. For register and radio numbers that arrive as text.
int smallNumber(const std::string& text, size_t maxDigits);
// Decimal text as a signed 32-bit number: blanks around it allowed, an
// optional minus, at least one digit, no overflow.
bool parseInt32(const std::string& text, int& value);
// A caption as a message shows it: without its mnemonic "&" ("&&" stands
// for one "&").
std::string withoutMnemonic(const std::string& caption);

}  // namespace tessel

#include "model/text.h"

#include <climits>

namespace tessel {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string trimBlanks(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && isBlank(text[b])) ++b;
  while (e > b && isBlank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

bool allDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string upperCase(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string lowerCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

int smallNumber(const std::string& text, size_t maxDigits) {
  if (!allDigits(text) || text.size() > maxDigits || text.size() > 9) return -1;
  int value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  return value;
}

bool parseInt32(const std::string& text, int& value) {
  const std::string t = trimBlanks(text);
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && t[i] == '-') {
    negative = true;
    ++i;
  }
  if (i == t.size()) return false;
  long long v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    v = v * 10 + (t[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) v = -v;
  if (v > INT_MAX || v < INT_MIN) return false;
  value = static_cast<int>(v);
  return true;
}

std::string withoutMnemonic(const std::string& caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != '&') {
      out += caption[i];
    } else if (i + 1 < caption.size() && caption[i + 1] == '&') {
      out += '&';
      ++i;
    }
  }
  return out;
}

}  // namespace tessel

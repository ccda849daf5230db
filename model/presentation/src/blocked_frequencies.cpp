#include "model/blocked_frequencies.h"

#include <charconv>

#include "model/catalogue.h"
#include "model/parameter_table.h"
#include "model/text.h"

namespace tessel {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads "915", "915.7", ".5" and the like; anything else (letters, two
// points, nothing) is not a number.
bool readMhz(const std::string& text, double& v) {
  if (text.empty() || text == ".") return false;
  int points = 0;
  for (char c : text) {
    if (c == '.') {
      ++points;
    } else if (!isDigit(c)) {
      return false;
    }
  }
  if (points > 1) return false;
  // Not strtod: the window runs under the user's locale, and where its
  // decimal mark is a comma strtod reads "915.5" as 915.
  const auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool blockedKeyAccepted(const std::string& text, int caret, bool selection, char key) {
  const std::string::size_type point = text.find('.');
  if (key == '.') return point == std::string::npos;
  if (key == '\b') return true;
  // One decimal: nothing typed after the point once it has its digit,
  // unless a selection is being replaced.
  if (point != std::string::npos && caret > static_cast<int>(point) && point + 1 != text.size() &&
      !selection) {
    return false;
  }
  return isDigit(key);
}

std::string blockedTyped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (blockedKeyAccepted(out, static_cast<int>(out.size()), false, c) && c != '\b') out += c;
  }
  return out;
}

std::string blockedRangeMessage(const std::string& given) {
  const std::string text = trimBlanks(given);
  if (text.empty()) return std::string();
  double v = 0;
  // The band the radios hop in, in the tenths its registers hold; both
  // bounds are valid entries.
  const Parameter& band = parameterOf(param::blockedFreq1);
  if (readMhz(text, v) && v * 10 >= band.lo - 1e-6 && v * 10 <= band.hi + 1e-6)
    return std::string();
  return text + " not in Range of " + shownBound(band, band.lo) + " to " +
         shownBound(band, band.hi) + " MHz";
}

std::string blockedListMessage(const std::array<std::string, kBlockedCount>& values) {
  for (const std::string& v : values) {
    std::string message = blockedRangeMessage(v);
    if (!message.empty()) return message;
  }
  return std::string();
}

BlockedExit blockedExit(const std::string& text) {
  if (text.empty()) return {};
  const std::string message = blockedRangeMessage(text);
  if (!message.empty()) return {"", message};
  std::string done = text;
  if (done.size() == 3) done += '.';
  if (done.size() == 4) done += '0';
  return {done, ""};
}

void BlockedFrequencies::show() {
  modified = false;
  backup_ = panel_.blockedValues;
  fields = panel_.blockedValues;
}

void BlockedFrequencies::enter(int i) {
  remembered_ = fields.at(i);
}

bool BlockedFrequencies::key(int i, int caret, bool selection, char key) {
  if (key == '\x1b') {
    fields.at(i) = remembered_;
    return false;
  }
  modified = true;
  return blockedKeyAccepted(fields.at(i), caret, selection, key);
}

void BlockedFrequencies::pasted(int i, const std::string& text) {
  modified = true;
  const size_t first = text.find_first_not_of(' ');
  const std::string t =
      first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
  // Letters are no frequency: they get the range message rather than
  // vanishing without a word.
  if (t.find_first_not_of("0123456789.") != std::string::npos) {
    prompts_.show(PromptIcon::Error, blockedExit(t).message, pbOk);
    fields.at(i).clear();
    return;
  }
  fields.at(i) = blockedTyped(t);
}

void BlockedFrequencies::exit(int i) {
  const BlockedExit e = blockedExit(fields.at(i));
  if (!e.message.empty()) prompts_.show(PromptIcon::Error, e.message, pbOk);
  fields.at(i) = e.text;
}

void BlockedFrequencies::ok(int current) {
  if (current >= 0 && current < kBlockedCount) exit(current);
  // Every field, not only the one left last: a value shown from the
  // project or the radio, or one the focus never left, meets the same check.
  for (int i = 0; i < kBlockedCount; ++i)
    if (!blockedRangeMessage(fields.at(i)).empty()) exit(i);
  panel_.blockedValues = fields;
}

void BlockedFrequencies::cancel() {
  panel_.blockedValues = backup_;
  fields = backup_;
}

}  // namespace tessel

#include "model/ini_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <utility>

#include "model/text.h"
#include "platform/atomic_write.h"
#include "platform/files.h"

namespace tessel {

namespace {

// A line break inside a name or value would start a new line in the file and
// could smuggle in sections or keys; it is dropped. So is NUL, which would
// make the line unreadable.
std::string dropLineBreaks(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s)
    if (c != '\r' && c != '\n' && c != '\0') out += c;
  return out;
}

std::string cleanName(const std::string& s) {
  return trimBlanks(dropLineBreaks(s));
}

enum class LineKind { other, section, key, unreadable };

// Classifies one line; name receives the section name or the key (trimmed),
// or for an unreadable line the reason.
LineKind classify(const std::string& text, std::string& name) {
  // A NUL cut the line short for any reader in C; taking it apart here would
  // make a section or key that no one else sees.
  if (text.find('\0') != std::string::npos) {
    name = "holds a NUL byte";
    return LineKind::unreadable;
  }
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  if (i == text.size()) return LineKind::other;
  if (text[i] == '[') {
    size_t close = text.find(']', i + 1);
    if (close == std::string::npos) {
      name = "is a section header without \"]\"";
      return LineKind::unreadable;
    }
    name = trimBlanks(text.substr(i + 1, close - i - 1));
    return LineKind::section;
  }
  if (text[i] == ';' || text[i] == '#') return LineKind::other;  // comment
  size_t eq = text.find('=');
  if (eq == std::string::npos) {
    name = "has no \"=\"";
    return LineKind::unreadable;
  }
  name = trimBlanks(text.substr(0, eq));
  if (name.empty()) {
    name = "has no key before \"=\"";
    return LineKind::unreadable;
  }
  return LineKind::key;
}

std::string valueOf(const std::string& keyLine) {
  return trimBlanks(keyLine.substr(keyLine.find('=') + 1));
}

std::string keyOf(const std::string& keyLine) {
  return trimBlanks(keyLine.substr(0, keyLine.find('=')));
}

bool validSectionName(const std::string& s) {
  return !s.empty() && s.find(']') == std::string::npos;
}

bool validKey(const std::string& k) {
  return !k.empty() && k.find('=') == std::string::npos && k[0] != '[' && k[0] != ';' &&
         k[0] != '#';
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {
  platform::removeDeadWritersFiles(path_);
  load();
}

namespace {

// The line of content at pos, without its line end, and whether that end is
// CR LF; pos moves past it. The last line without a line end gets the
// file's when lines follow it. False at the end of content.
bool takeLine(const std::string& content, size_t& pos, bool crlfDefault, std::string& text,
              bool& crlf) {
  if (pos >= content.size()) return false;
  const size_t lf = content.find('\n', pos);
  const size_t end = lf == std::string::npos ? content.size() : lf;
  text = content.substr(pos, end - pos);
  crlf = lf == std::string::npos ? crlfDefault : false;
  if (lf != std::string::npos && !text.empty() && text.back() == '\r') {
    text.pop_back();
    crlf = true;
  }
  pos = lf == std::string::npos ? content.size() : lf + 1;
  return true;
}

}  // namespace

bool IniFile::load() {
  loadFailed_ = false;
  bom_.clear();
  preamble_.clear();
  sections_.clear();
  index_.clear();
  eol_ = "\n";
  finalEol_ = true;
  unreadable_.clear();

  std::string content;
  if (const int err = platform::readWholeFile(path_, content)) {
    // No file yet is the normal start of a project.
    if (err == ENOENT || err == ENOTDIR) return true;
    loadFailed_ = true;
    lastError_ = "Cannot read \"" + path_ + "\": " + std::strerror(err);
    return false;
  }

  size_t pos = 0;
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    bom_ = content.substr(0, 3);
    pos = 3;
  }
  size_t firstLf = content.find('\n', pos);
  if (firstLf != std::string::npos && firstLf > pos && content[firstLf - 1] == '\r') eol_ = "\r\n";
  finalEol_ = pos == content.size() || content.back() == '\n';

  const bool crlfDefault = eol_ == "\r\n";
  int number = 0;
  std::string text;
  bool crlf = false;
  while (takeLine(content, pos, crlfDefault, text, crlf)) {
    ++number;
    std::string name;
    auto& body = sections_.empty() ? preamble_ : sections_.back().body;
    switch (classify(text, name)) {
      case LineKind::section:
        sections_.push_back(Section{std::move(text), crlf, name, lowerCase(name), {}});
        break;
      case LineKind::key:
        body.push_back(Line{std::move(text), lowerCase(name), crlf});
        break;
      case LineKind::unreadable:
        unreadable_.push_back(UnreadableLine{number, name});
        body.push_back(Line{std::move(text), "", crlf});
        break;
      case LineKind::other:
        body.push_back(Line{std::move(text), "", crlf});
        break;
    }
  }
  rebuildIndex();
  return true;
}

void IniFile::rebuildIndex() {
  index_.clear();
  for (size_t i = 0; i < sections_.size(); ++i) index_.emplace(sections_[i].lname, i);
}

const IniFile::Section* IniFile::findSection(const std::string& section) const {
  auto it = index_.find(lowerCase(cleanName(section)));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

IniFile::Section* IniFile::findSection(const std::string& section) {
  return const_cast<Section*>(static_cast<const IniFile*>(this)->findSection(section));
}

bool IniFile::serialize(const std::function<bool(const char*, size_t)>& put) const {
  // In pieces of about this size: few system calls, and the file is never
  // held whole beside its lines.
  constexpr size_t kPiece = 1 << 16;
  std::string buf;
  buf.reserve(kPiece + 256);
  bool ok = put(bom_.data(), bom_.size());
  size_t left = preamble_.size();
  for (const Section& s : sections_) left += 1 + s.body.size();
  auto add = [&](const std::string& text, bool crlf) {
    buf += text;
    if (--left > 0 || finalEol_) buf += crlf ? "\r\n" : "\n";
    if (buf.size() >= kPiece) {
      ok = ok && put(buf.data(), buf.size());
      buf.clear();
    }
  };
  for (const Line& l : preamble_) add(l.text, l.crlf);
  for (const Section& s : sections_) {
    add(s.header, s.headerCrlf);
    for (const Line& l : s.body) add(l.text, l.crlf);
  }
  return ok && put(buf.data(), buf.size());
}

bool IniFile::commit() {
  if (updating_) {
    pending_ = true;
    return true;
  }
  if (readOnly_) return true;
  std::string error;
  if (!platform::replaceFileAtomically(
          path_, [this](const platform::DataSink& put) { return serialize(put); }, error)) {
    lastError_ = error;
    return false;
  }
  lastError_.clear();
  return true;
}

bool IniFile::endUpdate() {
  if (updating_ > 0) --updating_;
  if (updating_ > 0 || !pending_) return true;
  pending_ = false;
  if (commit()) return true;
  const std::string error = lastError_;
  load();
  lastError_ = error;
  return false;
}

std::string IniFile::readString(const std::string& section, const std::string& key,
                                const std::string& def) const {
  const Section* s = findSection(section);
  if (s == nullptr) return def;
  const std::string lkey = lowerCase(cleanName(key));
  for (const Line& l : s->body)
    if (l.key == lkey) return valueOf(l.text);
  return def;
}

int IniFile::readInteger(const std::string& section, const std::string& key, int def) const {
  const std::string text = readString(section, key, "");
  const char* first = text.data();
  const char* last = text.data() + text.size();
  // Optional sign, then digits only; from_chars takes "-" but not "+".
  const bool plus = first != last && *first == '+';
  if (plus) ++first;
  if (first == last || (plus && *first == '-')) return def;
  int value = 0;
  auto [end, ec] = std::from_chars(first, last, value, 10);
  if (ec != std::errc() || end != last) return def;
  return value;
}

bool IniFile::sectionExists(const std::string& section) const {
  return findSection(section) != nullptr;
}

std::vector<std::string> IniFile::sectionNames() const {
  std::vector<std::string> names;
  for (size_t i = 0; i < sections_.size(); ++i)
    if (index_.at(sections_[i].lname) == i) names.push_back(sections_[i].name);
  return names;
}

std::vector<std::string> IniFile::keyNames(const std::string& section) const {
  std::vector<std::string> names;
  const Section* s = findSection(section);
  if (s == nullptr) return names;
  std::vector<const std::string*> seen;
  for (const Line& l : s->body) {
    if (l.key.empty()) continue;
    if (std::any_of(seen.begin(), seen.end(), [&](const std::string* k) { return *k == l.key; }))
      continue;
    seen.push_back(&l.key);
    names.push_back(keyOf(l.text));
  }
  return names;
}

bool IniFile::writeString(const std::string& section, const std::string& key,
                          const std::string& value) {
  // A file that could not be read must not be replaced by what little we
  // would write now; try it once more before giving up.
  if (loadFailed_ && !load()) return false;
  const std::string sec = cleanName(section);
  const std::string k = cleanName(key);
  const std::string v = dropLineBreaks(value);
  if (!validSectionName(sec)) {
    lastError_ = "Cannot write \"" + path_ + "\": invalid section name \"" + sec + "\"";
    return false;
  }
  if (!validKey(k)) {
    lastError_ = "Cannot write \"" + path_ + "\": invalid key \"" + k + "\"";
    return false;
  }
  const std::string lkey = lowerCase(k);

  Section* s = findSection(sec);
  const bool crlf = eol_ == "\r\n";
  if (s == nullptr) {
    sections_.push_back(
        Section{"[" + sec + "]", crlf, sec, lowerCase(sec), {Line{k + "=" + v, lkey, crlf}}});
    index_.emplace(sections_.back().lname, sections_.size() - 1);
    if (commit()) return true;
    index_.erase(sections_.back().lname);
    sections_.pop_back();
    return false;
  }

  auto& body = s->body;
  auto found = std::find_if(body.begin(), body.end(), [&](const Line& l) { return l.key == lkey; });
  // Rewriting a large file for a value it already holds would only cost.
  if (found != body.end() && valueOf(found->text) == trimBlanks(v)) return true;
  Section backup = *s;
  if (found != body.end()) {
    // Keep the key as the file spells it.
    found->text = keyOf(found->text) + "=" + v;
  } else {
    auto lastKey = std::find_if(body.rbegin(), body.rend(), [](const Line& l) {
                     return !l.key.empty();
                   }).base();
    body.insert(lastKey, Line{k + "=" + v, lkey, crlf});
  }
  if (commit()) return true;
  *s = std::move(backup);
  return false;
}

bool IniFile::writeInteger(const std::string& section, const std::string& key, int value) {
  return writeString(section, key, std::to_string(value));
}

bool IniFile::deleteKey(const std::string& section, const std::string& key) {
  if (loadFailed_ && !load()) return false;
  Section* s = findSection(section);
  if (s == nullptr) return true;
  const std::string lkey = lowerCase(cleanName(key));
  auto& body = s->body;
  auto isKey = [&](const Line& l) { return l.key == lkey; };
  if (std::none_of(body.begin(), body.end(), isKey)) return true;
  Section backup = *s;
  // Every copy goes, so a duplicate further down cannot resurface.
  body.erase(std::remove_if(body.begin(), body.end(), isKey), body.end());
  if (commit()) return true;
  *s = std::move(backup);
  return false;
}

bool IniFile::eraseSection(const std::string& section) {
  if (loadFailed_ && !load()) return false;
  const std::string lname = lowerCase(cleanName(section));
  if (index_.count(lname) == 0) return true;
  std::vector<Section> backup = sections_;
  sections_.erase(std::remove_if(sections_.begin(), sections_.end(),
                                 [&](const Section& s) { return s.lname == lname; }),
                  sections_.end());
  rebuildIndex();
  if (commit()) return true;
  sections_ = std::move(backup);
  rebuildIndex();
  return false;
}

}  // namespace tessel

#pragma once

// The one codec between RadioSettings and the two places a radio's settings
// live outside the program: its registers (texts as a Set Radio writes them
// and as the radio answers, per model) and its project sections (keys,
// defaults, and the reading of a text that is none of a choice's texts).
#include <optional>
#include <string>
#include <vector>

#include "model/brand.h"
#include "model/catalogue.h"
#include "model/radio_settings.h"

namespace tessel {

class IniFile;
struct ProjectKey;

// What the codec needs of a project file, so an open project and a plain INI
// file are read and written by the same rules.
class ProjectSections {
 public:
  virtual ~ProjectSections() = default;
  virtual std::string readString(const std::string& section, const std::string& key,
                                 const std::string& def) const = 0;
  // A decimal integer; def when absent or not a number.
  virtual int readInteger(const std::string& section, const std::string& key, int def) const = 0;
  virtual bool writeString(const std::string& section, const std::string& key,
                           const std::string& value) = 0;
  virtual bool writeInteger(const std::string& section, const std::string& key, int value) = 0;
  virtual bool deleteKey(const std::string& section, const std::string& key) = 0;
};

// An IniFile seen as ProjectSections.
class IniSections : public ProjectSections {
 public:
  explicit IniSections(IniFile& file) : file_(file) {}
  std::string readString(const std::string& section, const std::string& key,
                         const std::string& def) const override;
  int readInteger(const std::string& section, const std::string& key, int def) const override;
  bool writeString(const std::string& section, const std::string& key,
                   const std::string& value) override;
  bool writeInteger(const std::string& section, const std::string& key, int value) override;
  bool deleteKey(const std::string& section, const std::string& key) override;

 private:
  IniFile& file_;
};

namespace codec {

// --- Registers ---------------------------------------------------------

// The text a register of parameter code holds for s, as a Set Radio writes it
// and an emulated radio answers; numeric: the form a model-2 radio is
// written in. Status registers give fixed readings, a parameter the model
// lacks "ERROR", a code no register holds "No Radio". MHz and seconds are
// already in tenths.
std::string registerText(const RadioSettings& s, int param, bool numeric);
// The text of a parameter that reads the same in the registers and in the
// project file (IDs, retries, times, the baud rate and the bits, the serial
// port);
// nothing for a choice or a value whose forms differ.
std::optional<std::string> sameInBothForms(const RadioSettings& s, int param);

// Whether a Set Radio writes the row for s: a master's lock register and,
// on model 2, the master ID of a roaming radio or a master are left as the
// radio has them.
bool sendWrites(const RadioSettings& s, const RegisterRow& row);

struct RegisterText {
  int reg;
  int param;
  std::string text;
};
// The registers of s's model that hold its settings (every row but the
// status registers), in the order of the model's map: what a radio holds
// once configured with s. A Set Radio writes those sendWrites lets through.
std::vector<RegisterText> registerImage(const RadioSettings& s);

// Takes one register reply into s. value is the reply read as a number (-1
// when it is none), text the reply without surrounding blanks. The master ID
// comes from the lock register of a radio locked to its master, and from
// register 12 of a roaming radio or of any model-2 radio; a reply that gives
// no value (a status register, a number out of range, an unknown word where
// only some words count) leaves s as it was, and false comes back.
bool applyRegister(RadioSettings& s, int param, int value, const std::string& text);

// --- Tenths -------------------------------------------------------------

// The tenths a decimal text gives ("1200" -> 12000, "915.7" -> 9157), read
// under any locale; kNoTenths for a text that is empty or no number, or
// that gives fewer than none.
long tenthsOfText(const std::string& text);
// A flush time as the file and the panel show it, in seconds with the tenth
// when it has one ("1200", "1200.5"); "" for kNoTenths.
std::string flushTimeText(long tenths);
// A blocked frequency as the file and the panel show it, in MHz with one
// decimal ("915.7"); "" for 0, none blocked.
std::string blockedText(long tenths);
// A blocked frequency's tenths from its text; 0 (none) for a text that
// gives none.
long blockedOfText(const std::string& text);

// The repeaters or re-broadcast reply: "N..." is No, anything else Yes.
YesNo yesNoOfReply(const std::string& text);

// --- Numbers ------------------------------------------------------------

// A decimal number's text, blanks and points aside, to its number ("010"
// -> 10, "1.0" -> 10, as a send has always written it); kNoNumber for a
// text that is empty, signed, longer than nine digits or no number. Read
// under any locale.
int numberOfText(const std::string& text);
// A number as the file, the panel and a register show it; "" for kNoNumber.
std::string numberText(int n);
// Main serial port's number from the file's or the panel's text: "RS485"
// and "485" are 485.
int serialPortNumber(const std::string& text);
// The data or stop bits to the item of their key and back: a number that is
// none of the key's texts has item -1 (kNoNumber as well), an item outside
// them gives the number the key writes for it, or kNoNumber.
int itemOfBits(const ProjectKey& key, int bits);
int bitsOfItem(const ProjectKey& key, int item);

// --- Project sections -------------------------------------------------

// "Radio" + radio ID: the section of a radio.
std::string radioSection(int id);
// A model key's text to model index: the brand's second name (also the
// default) is model 1, its third model 2, anything else model 0.
int modelOfName(const std::string& name, const BrandModels& models);

GroupSettings readGroup(const ProjectSections& file);
// The writes below return false when one of them failed (the file's own
// error then says why); they write every key nonetheless.
// The six group keys (not the blocked frequencies).
bool writeGroup(ProjectSections& file, const GroupSettings& g);
// The blocked frequencies "s30" to "s41".
bool writeBlocked(ProjectSections& file, const GroupSettings& g);

// Section "Radio<slot>" (its group left at the defaults): a missing Radio ID
// reads as the slot's number, the model-E keys count only for model E, the
// bits are read as numbers ("08" is 8), a baud rate of the selector's reads
// as the selector shows it.
RadioSettings readRadio(const ProjectSections& file, int slot, const BrandModels& models);
// Every key of s as the project file's texts, trimmed, in a fixed order (the
// group's keys, the radio's, its model's, the blocked frequencies as
// "Blocked MHz <n>"): two settings compare equal exactly when these do.
std::vector<std::pair<std::string, std::string>> fileTexts(const RadioSettings& s,
                                                           const BrandModels& models);
// Writes s into "Radio<slot>": a choice with no item is written as its
// fallback text or left out, model E writes its keys and every other model
// drops the emulation mode, a model the brand lacks writes no model key.
bool writeRadio(ProjectSections& file, int slot, const RadioSettings& s, const BrandModels& models);

}  // namespace codec
}  // namespace tessel

// The INI reader on any file, and the promises of its writer: a write reads
// back as written, what it does not touch stays byte for byte.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_file.h"
#include "model/ini_file.h"
#include "model/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzFilePath("ini.vro");
  putFile(path, data, size);
  const std::string original(reinterpret_cast<const char*>(data), size);
  tessel::IniFile ini(path);
  for (const std::string& s : ini.sectionNames())
    for (const std::string& k : ini.keyNames(s)) (void)ini.readInteger(s, k, 0);

  // A value taken from the input itself, NULs and line breaks included.
  const std::string value = original.substr(0, std::min<size_t>(original.size(), 12));
  const std::string before = ini.readString("Radio7", "Radio Name", "\x01");
  if (ini.writeString("Radio7", "Radio Name", value)) {
    if (ini.readString("Radio7", "Radio Name", "") !=
        tessel::IniFile(path).readString("Radio7", "Radio Name", "\x01"))
      __builtin_trap();
  }
  // Writing back what a key reads changes nothing.
  if (before != "\x01") {
    tessel::IniFile again(path);
    const std::string now = getFile(path);
    again.writeString("Radio7", "Radio Name", again.readString("Radio7", "Radio Name", ""));
    if (getFile(path) != now) __builtin_trap();
  }
  ::unlink(path.c_str());
  return 0;
}

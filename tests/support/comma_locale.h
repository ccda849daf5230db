#pragma once

// Puts the C library's numbers under a locale whose decimal mark is a comma
// (German), as a desktop set to it runs the window, for the life of the
// object. A system without that locale gets one generated from the locale
// sources of the "locales" package into a folder of the temporary
// directory, which LOCPATH then names. Windows has the locale built in,
// under its own name.
#ifndef _WIN32
#include <unistd.h>
#endif

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace tessel::testing {

class CommaLocale {
 public:
#ifdef _WIN32
  CommaLocale() : before_(std::setlocale(LC_NUMERIC, nullptr)) {
    if (!take("de-DE")) take("German_Germany.1252");
  }
  ~CommaLocale() {
    std::setlocale(LC_NUMERIC, before_.c_str());
  }
#else
  CommaLocale() : before_(std::setlocale(LC_NUMERIC, nullptr)) {
    if (take(kName)) return;
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "tessel-locales";
    if (!fs::exists(dir / kName)) {
      // Generated apart, then moved into place: tests running at once never
      // see half a locale.
      const fs::path part = dir / (std::string(kName) + ".part" + std::to_string(::getpid()));
      std::error_code ec;
      fs::create_directories(dir, ec);
      const std::string command = "localedef -i de_DE -f UTF-8 '" + part.string() + "' 2>/dev/null";
      if (std::system(command.c_str()) == 0) fs::rename(part, dir / kName, ec);
      fs::remove_all(part, ec);
    }
    ::setenv("LOCPATH", dir.c_str(), 1);
    take(kName);
  }
  ~CommaLocale() {
    std::setlocale(LC_NUMERIC, before_.c_str());
    ::unsetenv("LOCPATH");
  }
#endif
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

  // Whether numbers now have a comma for their decimal mark.
  bool active() const {
    return active_;
  }

 private:
  static constexpr const char* kName = "de_DE.UTF-8";

  bool take(const char* name) {
    active_ = std::setlocale(LC_NUMERIC, name) != nullptr &&
              std::string(std::localeconv()->decimal_point) == ",";
    return active_;
  }

  std::string before_;
  bool active_ = false;
};

}  // namespace tessel::testing

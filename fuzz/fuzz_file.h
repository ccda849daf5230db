#pragma once

// A file of this process for the input, on a memory file system when there
// is one, so the readers that take a path can be fed.
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

inline std::string fuzzFilePath(const char* name) {
  static const std::string dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return dir + "/tessel-fuzz-" + std::to_string(::getpid()) + "-" + name;
}

inline void putFile(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

inline std::string getFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files.h"

namespace tessel::testing {

// A temporary folder for fake /dev, /sys and /proc trees; removed at the end.
class TempTree {
 public:
  // base: where the folder is made (/dev/shm for many cheap files); the
  // system's folder for temporary files unless given.
  explicit TempTree(const std::string& base = std::string()) {
    if (base.empty()) {
      root_ = platform::makeTempFolder("tessel-tree-");
      return;
    }
    for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
      const std::string name = base + "/tessel-tree-" + std::to_string(std::rand());
      std::error_code ec;
      if (std::filesystem::create_directory(name, ec)) root_ = name;
    }
  }
  ~TempTree() {
    std::error_code ec;
    if (!root_.empty()) std::filesystem::remove_all(root_, ec);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& root() const { return root_; }
  std::string path(const std::string& rel) const { return root_ + "/" + rel; }

  // A file with content, its folders made on the way.
  void file(const std::string& rel, const std::string& content) const {
    std::filesystem::create_directories(std::filesystem::path(path(rel)).parent_path());
    std::ofstream(path(rel)) << content;
  }
  // A symbolic link rel -> target, its folders made on the way.
  void link(const std::string& rel, const std::string& target) const {
    std::filesystem::create_directories(std::filesystem::path(path(rel)).parent_path());
    std::filesystem::create_symlink(target, path(rel));
  }
  void dir(const std::string& rel) const { std::filesystem::create_directories(path(rel)); }

 private:
  std::string root_;
};

}  // namespace tessel::testing

#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tessel::testing {

// A temporary folder for fake /dev, /sys and /proc trees; removed at the end.
class TempTree {
 public:
  // base: where the folder is made; /dev/shm for many cheap files.
  explicit TempTree(const std::string& base = "/tmp") {
    std::string tmpl = base + "/tessel-tree-XXXXXX";
    root_ = ::mkdtemp(tmpl.data()) ? tmpl : "";
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

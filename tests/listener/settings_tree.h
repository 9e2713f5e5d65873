// A root folder of a test's own holding system files (/sys, /etc) as the readiness check reads them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>

// The files (absolute paths under the root, with their contents) and symbolic links (path,
// target) are made at construction; everything goes at destruction.
struct SettingsTree {
  std::filesystem::path root;
  explicit SettingsTree(const std::map<std::string, std::string>& files,
                        const std::map<std::string, std::string>& links = {}) {
    namespace fs = std::filesystem;
    static int serial = 0;
    root = fs::temp_directory_path() / ("tidewake-settings-" + std::to_string(++serial) + "-" +
                                        std::to_string(reinterpret_cast<std::uintptr_t>(this) & 0xFFFFFF));
    fs::remove_all(root);
    fs::create_directories(root);
    for (const auto& file : files) {
      const fs::path path = root / file.first.substr(1);
      fs::create_directories(path.parent_path());
      if (file.first.back() != '/') std::ofstream(path, std::ios::binary) << file.second;
    }
    for (const auto& link : links) {
      const fs::path path = root / link.first.substr(1);
      fs::create_directories(path.parent_path());
      fs::create_symlink(link.second, path);
    }
  }
  ~SettingsTree() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  std::string text() const { return root.string(); }
  std::string read(const std::string& path) const {
    std::ifstream in(root / path.substr(1), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
};

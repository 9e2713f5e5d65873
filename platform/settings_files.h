// Small system files under a root folder (sysfs, /etc): read whole, folders listed, link targets named.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// Every path here is a root folder followed by an absolute path such as "/sys/class/net": the
// root is "" for the system's own files, or a folder of a test's own that holds a tree like it.

enum class FileStatus { kDone, kMissing, kDenied, kFailed };

// Reads ROOT PATH into `text` whole, or its first `limit` bytes (settings files are small; a
// sysfs attribute is at most a page). kMissing when nothing is there, kDenied when it may not
// be read (a NetworkManager profile is root's alone).
FileStatus read_settings_file(const char* root, const char* path, std::string* text, std::size_t limit = 64 * 1024);

// The first line of ROOT PATH without its line end (a sysfs attribute's value); empty when the
// file cannot be read.
std::string read_settings_line(const char* root, const char* path);

// The names in the folder ROOT PATH, without "." and "..", sorted bytewise.
FileStatus list_settings_folder(const char* root, const char* path, std::vector<std::string>* names);

// Whether ROOT PATH exists, as anything (a link is not followed).
bool settings_path_exists(const char* root, const char* path);

// The last component of the target of the symbolic link ROOT PATH ("e1000e" for a driver link
// to .../drivers/e1000e); false when PATH is no link.
bool settings_link_name(const char* root, const char* path, std::string* name);

// Writes `text` to the existing file ROOT PATH in one write, never creating it (a sysfs
// attribute takes one value per write). Sets last_error() on failure.
FileStatus write_settings_file(const char* root, const char* path, const char* text);

}  // namespace platform

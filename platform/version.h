// Version resources: the size query, the read and the value query of Windows' version API.
#pragma once

#include <cstdint>

namespace platform {

// The fixed part of a version resource, laid out as Windows' VS_FIXEDFILEINFO.
struct FixedFileInfo {
  std::uint32_t signature;           // 0xFEEF04BD
  std::uint32_t struct_version;
  std::uint32_t file_version_ms;     // major << 16 | minor
  std::uint32_t file_version_ls;     // build << 16 | revision
  std::uint32_t product_version_ms;
  std::uint32_t product_version_ls;
  std::uint32_t file_flags_mask;
  std::uint32_t file_flags;
  std::uint32_t file_os;
  std::uint32_t file_type;
  std::uint32_t file_subtype;
  std::uint32_t file_date_ms;
  std::uint32_t file_date_ls;
};

constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

// One entry of a resource's string table.
struct VersionString {
  const char* name;
  const char* value;
};

// A program's version resource as a neutral record: one language and code page, the
// fixed file and product versions (four parts each, most significant first) and the
// string table of that language.
struct VersionResource {
  std::uint16_t language;
  std::uint16_t code_page;
  std::uint16_t file_version[4];
  std::uint16_t product_version[4];
  const VersionString* strings;
  int string_count;
};

// Where the platform has no resources in its executable files, each program compiles its
// record into itself under this name; the reader serves it for the program's own file.
extern const VersionResource kProgramVersion;

// The number of bytes the version information of `path` needs, 0 when the file has none
// (GetFileVersionInfoSizeA). `handle`, when given, is set to 0.
unsigned long file_version_info_size(const char* path, unsigned long* handle);

// Reads the version information of `path` into the caller's block of `size` bytes
// (GetFileVersionInfoA). False when the file has none or the block is too small.
bool file_version_info(const char* path, unsigned long handle, unsigned long size, void* block);

// Looks a value up in a block filled by file_version_info (VerQueryValueA):
//   "\"                                  the FixedFileInfo, length in bytes;
//   "\VarFileInfo\Translation"           pairs of 16-bit values (language, code page),
//                                        length in bytes;
//   "\StringFileInfo\llllcccc\Name"      the text of a string, length in characters with
//                                        the terminator (llll language, cccc code page, hex).
// Keys are compared without regard to case. `value` points into the block.
bool version_query_value(const void* block, const char* sub_block, const void** value,
                         unsigned* length);

}  // namespace platform

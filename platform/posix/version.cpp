// POSIX version resources: the record compiled into the program, served for its own file.
#include "platform/version.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/system.h"

namespace platform {

// Weak, so that a test executable that links no program record still links; the reader
// then finds no version information, as for a file without a resource.
extern const VersionResource kProgramVersion __attribute__((weak));

namespace {

// The block a caller receives: this header, then for each string its name and its value,
// each with a terminator. Every value the query returns points into the block.
struct BlockHeader {
  std::uint32_t magic;
  std::uint32_t size;
  FixedFileInfo fixed;
  std::uint16_t translation[2];   // language, code page
  std::uint32_t string_count;
};

constexpr std::uint32_t kBlockMagic = 0x52565754;   // "TWVR"
constexpr std::uint32_t kFixedStructVersion = 0x00010000;
constexpr std::uint32_t kFileOsNtWindows32 = 0x00040004;
constexpr std::uint32_t kFileTypeApplication = 0x1;
constexpr unsigned long kErrorInsufficientBuffer = ENOBUFS;
constexpr unsigned long kErrorNoResource = ENOENT;

bool same_text_ignoring_case(const char* a, std::size_t a_length, const char* b) {
  std::size_t b_length = std::strlen(b);
  if (a_length != b_length) return false;
  for (std::size_t i = 0; i < a_length; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The record is served for the program's own file, named by any path that resolves to
// it, or by its bare file name in any case with or without ".exe" (the name under which
// the program is known on Windows).
const VersionResource* resource_for(const char* path) {
  const VersionResource* record = &kProgramVersion;
  if (record == nullptr || path == nullptr || path[0] == '\0') return nullptr;
  char self[PATH_MAX];
  if (realpath("/proc/self/exe", self) == nullptr) return nullptr;
  if (std::strchr(path, '/') == nullptr) {
    const char* self_name = std::strrchr(self, '/');
    self_name = self_name != nullptr ? self_name + 1 : self;
    std::size_t length = std::strlen(path);
    if (same_text_ignoring_case(path, length, self_name)) return record;
    if (length > 4 && same_text_ignoring_case(path + length - 4, 4, ".exe") &&
        same_text_ignoring_case(path, length - 4, self_name)) {
      return record;
    }
    return nullptr;
  }
  char resolved[PATH_MAX];
  if (realpath(path, resolved) == nullptr) return nullptr;
  return std::strcmp(resolved, self) == 0 ? record : nullptr;
}

unsigned long block_size(const VersionResource& record) {
  unsigned long size = sizeof(BlockHeader);
  for (int i = 0; i < record.string_count; ++i) {
    size += std::strlen(record.strings[i].name) + 1 + std::strlen(record.strings[i].value) + 1;
  }
  return size;
}

std::uint32_t pack(std::uint16_t high, std::uint16_t low) {
  return static_cast<std::uint32_t>(high) << 16 | low;
}

// The next component of a backslash-separated key; empty components are skipped.
const char* next_component(const char* p, std::size_t* length) {
  while (*p == '\\') ++p;
  const char* end = p;
  while (*end != '\0' && *end != '\\') ++end;
  *length = static_cast<std::size_t>(end - p);
  return p;
}

}  // namespace

unsigned long file_version_info_size(const char* path, unsigned long* handle) {
  if (handle != nullptr) *handle = 0;
  const VersionResource* record = resource_for(path);
  if (record == nullptr) {
    set_last_error(kErrorNoResource);
    return 0;
  }
  return block_size(*record);
}

bool file_version_info(const char* path, unsigned long, unsigned long size, void* block) {
  const VersionResource* record = resource_for(path);
  if (record == nullptr) {
    set_last_error(kErrorNoResource);
    return false;
  }
  unsigned long needed = block_size(*record);
  if (block == nullptr || size < needed) {
    set_last_error(kErrorInsufficientBuffer);
    return false;
  }
  BlockHeader header{};
  header.magic = kBlockMagic;
  header.size = static_cast<std::uint32_t>(needed);
  header.fixed.signature = kFixedFileInfoSignature;
  header.fixed.struct_version = kFixedStructVersion;
  header.fixed.file_version_ms = pack(record->file_version[0], record->file_version[1]);
  header.fixed.file_version_ls = pack(record->file_version[2], record->file_version[3]);
  header.fixed.product_version_ms = pack(record->product_version[0], record->product_version[1]);
  header.fixed.product_version_ls = pack(record->product_version[2], record->product_version[3]);
  header.fixed.file_os = kFileOsNtWindows32;
  header.fixed.file_type = kFileTypeApplication;
  header.translation[0] = record->language;
  header.translation[1] = record->code_page;
  header.string_count = static_cast<std::uint32_t>(record->string_count);
  char* out = static_cast<char*>(block);
  std::memcpy(out, &header, sizeof header);
  char* p = out + sizeof header;
  for (int i = 0; i < record->string_count; ++i) {
    std::size_t n = std::strlen(record->strings[i].name) + 1;
    std::memcpy(p, record->strings[i].name, n);
    p += n;
    n = std::strlen(record->strings[i].value) + 1;
    std::memcpy(p, record->strings[i].value, n);
    p += n;
  }
  return true;
}

bool version_query_value(const void* block, const char* sub_block, const void** value,
                         unsigned* length) {
  if (block == nullptr || sub_block == nullptr || value == nullptr) return false;
  const char* base = static_cast<const char*>(block);
  const BlockHeader* header = static_cast<const BlockHeader*>(block);
  if (header->magic != kBlockMagic) return false;

  std::size_t n1, n2, n3, n4;
  const char* first = next_component(sub_block, &n1);
  if (n1 == 0) {
    *value = &header->fixed;
    if (length != nullptr) *length = sizeof(FixedFileInfo);
    return true;
  }
  const char* second = next_component(first + n1, &n2);
  const char* third = next_component(second + n2, &n3);
  next_component(third + n3, &n4);
  if (n4 != 0) return false;

  if (same_text_ignoring_case(first, n1, "VarFileInfo") &&
      same_text_ignoring_case(second, n2, "Translation") && n3 == 0) {
    *value = header->translation;
    if (length != nullptr) *length = sizeof header->translation;
    return true;
  }
  if (!same_text_ignoring_case(first, n1, "StringFileInfo") || n3 == 0) return false;
  char key[16];
  std::snprintf(key, sizeof key, "%04x%04x", header->translation[0], header->translation[1]);
  if (!same_text_ignoring_case(second, n2, key)) return false;
  const char* p = base + sizeof(BlockHeader);
  for (std::uint32_t i = 0; i < header->string_count; ++i) {
    const char* name = p;
    const char* text = name + std::strlen(name) + 1;
    p = text + std::strlen(text) + 1;
    if (same_text_ignoring_case(third, n3, name)) {
      *value = text;
      if (length != nullptr) *length = static_cast<unsigned>(std::strlen(text) + 1);
      return true;
    }
  }
  return false;
}

}  // namespace platform

// A program file's version information as a neutral record: the texts and numbers the programs show.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

constexpr std::size_t kVersionTextRoom = 128;

// What the programs show of a file's version information. A string the information lacks is
// empty and marked missing; a string longer than its room is cut.
struct VersionRecord {
  std::uint16_t file_version[4];               // the fixed file version, most significant first
  char file_version_text[kVersionTextRoom];    // the FileVersion string as written ("2. 0. 0. 4")
  bool has_file_version_text;
  char legal_copyright[kVersionTextRoom];      // the LegalCopyright string
  bool has_legal_copyright;
};

// Reads the version information of the program file `path` (a bare file name is searched for
// as the platform searches for programs). Where a file lists several languages, the strings of
// the last one that has them win. False when the file has no version information.
bool read_version_record(const char* path, VersionRecord* out);

// Where program files carry no version information of their own (POSIX), each program
// compiles its record in under this name, and the reader serves it for the program's own file
// (named by any path that resolves to it, or by its bare name in any case, with or without
// ".exe", the name under which the program is known on Windows). Windows reads the resource.
extern const VersionRecord kProgramVersion;

}  // namespace platform

// Files for their owner alone (the relay's keys): made new without access for others, read with who else may reach them.
#pragma once

#include <cstddef>

namespace platform {

// Who may reach a file besides its owner, as its permissions say. "Others" are everyone but
// the owner and the system's administrators, who can reach any file anyway: on POSIX the
// group and other permission bits (root is not counted); on Windows every trustee of the
// file's access list but its owner, the SYSTEM account and the Administrators group.
struct FileAccess {
  bool owned_by_user;            // the owner is the user the process runs as
  bool owned_by_administrator;   // POSIX: root; Windows: SYSTEM or the Administrators group
  bool others_can_read;
  bool others_can_write;         // also: change its permissions or owner (Windows)
};

// The fix for a file that others may reach: a command that leaves it to its owner alone,
// with %s for the path.
extern const char kOwnerOnlyFormat[];

// Creates `path`, which must not exist (a link there counts as existing and is not followed),
// reachable by its owner alone (POSIX: mode 0600; Windows: an access list of the user and
// SYSTEM, nothing inherited), and writes `length` bytes into it. False with last_error() set
// on failure; kErrorAlreadyExists (platform/system.h) when something
// exists there. A file that could not be written whole is removed again.
bool write_new_private_file(const char* path, const char* data, std::size_t length);

// Reads the whole regular file `path` (a link is followed, as to any configuration file)
// into `buffer`, at most `room` bytes, its length into *length, and who may reach it into
// *access, all from the one opened file. False with last_error() set when it cannot be
// read, is not a regular file, or is larger than `room`.
bool read_private_file(const char* path, char* buffer, std::size_t room, std::size_t* length,
                       FileAccess* access);

}  // namespace platform

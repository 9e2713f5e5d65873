// Relay key files for both programs: the system's cryptography opened, and a key file read only when no one else may reach it.
#pragma once

#include <cstddef>
#include <cstdio>

#include "common/relay_key.h"

namespace wake {

// Opens the system's cryptography; false after one line on `err`, naming `program`, saying why not.
bool OpenRelayCrypto(const char* program, FILE* err);

// Reads the keys of the key file `path` into `ring`. A file that others may read or write,
// or that belongs to another user (but root or the administrators), is refused as ssh refuses
// such a private key: false after one line on `err` naming `program`, the file and the fix.
bool LoadRelayKeys(const char* path, const char* program, RelayKeyRing* ring, FILE* err);

// Overwrites key material before its memory is given back or reused.
void WipeSecret(void* p, std::size_t n);

// The system's text for the last error (platform::last_error; "error N" when the system has
// none) in `buffer`, which it returns.
const char* LastErrorText(char* buffer, std::size_t size);

}  // namespace wake

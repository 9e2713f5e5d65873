// pilvorne's relay keys: -NewKey=FILE makes one, and a key file is read only when no one else may reach it.
#pragma once

#include <cstdio>

#include "common/relay_key.h"

namespace listener {

// Opens the system's cryptography; false after one line on `err` saying why not.
bool OpenRelayCrypto(FILE* err);

// -NewKey=FILE: writes a new random key (and identifier) into a new file that only its owner
// may reach, and says so on `out`. An existing file is left alone. Returns the exit code.
int WriteNewRelayKey(const char* path, FILE* out, FILE* err);

// Reads the keys of the key file `path` into `ring`. A file that others may read or write,
// or that belongs to another user (but root or the administrators), is refused as ssh refuses
// such a private key: false after one line on `err` naming `program`, the file and the fix.
bool LoadRelayKeys(const char* path, const char* program, wake::RelayKeyRing* ring, FILE* err);

}  // namespace listener

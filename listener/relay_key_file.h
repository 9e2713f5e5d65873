// pilvorne -NewKey=FILE: a new relay key, written for its owner alone.
#pragma once

#include <cstdio>

namespace listener {

// Writes a new random key (and identifier) into a new file that only its owner may reach,
// and says so on `out`. An existing file is left alone. Returns the exit code.
int WriteNewRelayKey(const char* path, FILE* out, FILE* err);

}  // namespace listener

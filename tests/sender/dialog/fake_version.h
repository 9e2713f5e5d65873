// Test control of the fake version-information service.
#pragma once

namespace fake_version {

// Whether the program has version information, and its two strings the dialog reads
// (nullptr: the string is missing from the table).
void Set(bool present, const char* legal_copyright, const char* file_version);
// The file name the dialog last asked about.
const char* LastPath();

}  // namespace fake_version

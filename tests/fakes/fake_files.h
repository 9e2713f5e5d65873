// Fake file service for tests: real files, with forced rename failures and a chosen temp dir.
#pragma once

namespace fake_files {

extern int renames;            // calls of rename_file
extern int rename_failures;    // the next renames that fail (the file stays where it is)
extern char default_directory[512];  // what default_log_directory() returns

}  // namespace fake_files

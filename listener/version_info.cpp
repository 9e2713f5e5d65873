// pilvorne's version information: its version record, program name and build date.
#include "listener/listener.h"
#include "platform/version.h"

namespace listener {

const char kProgramName[] = "pilvorne";
const char kBuildDate[] = "(May 12 2005)";

}  // namespace listener

namespace platform {

namespace {
const VersionString kStrings[] = {
    {"Comments", ""},
    {"CompanyName", "Tidewake Project"},
    {"FileDescription", "pilvorne"},
    {"FileVersion", "1, 0, 1, 2"},
    {"InternalName", "pilvorne"},
    {"LegalCopyright", "Copyright (C) 2005-2026 Tidewake Project"},
    {"LegalTrademarks", ""},
    {"OriginalFilename", "pilvorne.exe"},
    {"PrivateBuild", ""},
    {"ProductName", "pilvorne"},
    {"ProductVersion", "1, 0, 1, 0"},
    {"SpecialBuild", ""},
};
}  // namespace

// English (United Kingdom), Unicode.
const VersionResource kProgramVersion = {
    0x0809, 0x04B0, {1, 0, 1, 2}, {1, 0, 1, 0}, kStrings,
    static_cast<int>(sizeof kStrings / sizeof kStrings[0]),
};

}  // namespace platform

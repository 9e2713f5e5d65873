// kestrava's version record, read back by the dialog for its version and copyright texts.
#include "platform/version.h"

namespace platform {

namespace {
const VersionString kStrings[] = {
    {"Comments", ""},
    {"CompanyName", "Tidewake Project"},
    {"FileDescription", "kestrava"},
    {"FileVersion", "2. 0. 0. 4"},
    {"InternalName", "kestrava"},
    {"LegalCopyright", "Copyright (C) 2005-2026 Tidewake Project"},
    {"LegalTrademarks", ""},
    {"OriginalFilename", "kestrava.exe"},
    {"PrivateBuild", ""},
    {"ProductName", "Tidewake"},
    {"ProductVersion", "2. 0. 0. 0"},
    {"SpecialBuild", ""},
};
}  // namespace

// English (United Kingdom), Unicode.
const VersionResource kProgramVersion = {
    0x0809, 0x04B0, {2, 0, 0, 4}, {2, 0, 0, 0}, kStrings,
    static_cast<int>(sizeof kStrings / sizeof kStrings[0]),
};

}  // namespace platform

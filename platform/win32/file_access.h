// Windows-only: who besides its owner may reach a file, judged from its security descriptor.
#pragma once

#include <windows.h>

#include "platform/private_file.h"

namespace platform {

// Fills *access from `descriptor` (its owner and access list) for the process's `user`. False
// when the descriptor's parts cannot be read.
bool file_access_from_descriptor(PSECURITY_DESCRIPTOR descriptor, PSID user, FileAccess* access);

}  // namespace platform

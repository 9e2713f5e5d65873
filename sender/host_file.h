// kestrava's names for the hosts-file reader both programs share (common/host_file.h).
#pragma once

#include "common/host_file.h"
#include "sender/address.h"

using wake::BadHostLine;
using wake::kMaxFileHosts;
using wake::kMaxHostFileBytes;
using wake::ParseHostText;
using wake::ReadHostFile;
using wake::WakeTarget;

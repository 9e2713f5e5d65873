// Linux wake settings of a card: SIOCETHTOOL with ETHTOOL_GWOL and ETHTOOL_SWOL, and CAP_NET_ADMIN.
#include "platform/wake_settings.h"

#include <cerrno>
#include <cstring>
#include <linux/capability.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

static_assert(WAKE_MAGIC == kWakeMagic && WAKE_MAGICSECURE == kWakeMagicSecure && WAKE_FILTER == kWakeFilter,
              "the wake mode bits are the kernel's");
static_assert(sizeof(ethtool_wolinfo{}.sopass) == kWakePasswordLength, "SecureOn passwords are 6 bytes");

WakeAccess access_of(int error) {
  // A driver without get_wol or set_wol (veth, most virtual cards) answers EOPNOTSUPP.
  if (error == EOPNOTSUPP) return WakeAccess::kNotSupported;
  if (error == EPERM || error == EACCES) return WakeAccess::kNoPermission;
  if (error == ENODEV || error == ENXIO) return WakeAccess::kNoDevice;
  return WakeAccess::kFailed;
}

// One ethtool request on interface `name`; 0 or the errno of its failure.
int ethtool_request(const char* name, ethtool_wolinfo* info) {
  ifreq request{};
  if (std::strlen(name) >= sizeof request.ifr_name) return ENODEV;
  std::strncpy(request.ifr_name, name, sizeof request.ifr_name - 1);
  request.ifr_data = reinterpret_cast<char*>(info);
  // Any socket carries the ethtool ioctl; a datagram one needs no privilege to open.
  const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return errno;
  const int error = ioctl(s, SIOCETHTOOL, &request) == 0 ? 0 : errno;
  close(s);
  return error;
}

}  // namespace

WakeAccess read_wake_settings(const NetworkCard& card, WakeSettings* out, unsigned long* error) {
  *out = WakeSettings{};
  *error = 0;
  ethtool_wolinfo info{};
  info.cmd = ETHTOOL_GWOL;
  const int failure = ethtool_request(card.name.c_str(), &info);
  if (failure != 0) {
    *error = static_cast<unsigned long>(failure);
    return access_of(failure);
  }
  out->from_kernel = true;
  out->supported = info.supported;
  out->enabled = info.wolopts;
  std::memcpy(out->password, info.sopass, kWakePasswordLength);
  return WakeAccess::kDone;
}

WakeAccess write_wake_modes(const char* name, std::uint32_t enabled, const std::uint8_t* password,
                            unsigned long* error) {
  *error = 0;
  ethtool_wolinfo info{};
  info.cmd = ETHTOOL_SWOL;
  info.wolopts = enabled;
  if (password != nullptr) std::memcpy(info.sopass, password, kWakePasswordLength);
  const int failure = ethtool_request(name, &info);
  if (failure == 0) return WakeAccess::kDone;
  *error = static_cast<unsigned long>(failure);
  return access_of(failure);
}

bool may_change_wake_settings() {
  // capget rather than libcap: one system call, and the kernel checks the same effective set
  // when the ioctl arrives.
  __user_cap_header_struct header{};
  header.version = _LINUX_CAPABILITY_VERSION_3;
  header.pid = 0;
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  return (data[CAP_NET_ADMIN / 32].effective & (1u << (CAP_NET_ADMIN % 32))) != 0;
}

}  // namespace platform

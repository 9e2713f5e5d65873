// The readiness verdict: a card's wake facts in, the verdict line, its causes and the exit status out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "listener/readiness.h"

namespace {

using listener::CardFacts;
using listener::Keeping;
using listener::Readiness;
using platform::DeviceWakeup;
using platform::WakeAccess;

constexpr std::uint32_t kPumbg = platform::kWakePhy | platform::kWakeUnicast | platform::kWakeMulticast |
                                 platform::kWakeBroadcast | platform::kWakeMagic;

// A Linux card whose driver answered: supported and enabled modes, the device wakeup flag.
CardFacts Linux(std::uint32_t supported, std::uint32_t enabled, DeviceWakeup wakeup,
                std::vector<listener::PersistenceFinding> persistence = {}) {
  CardFacts f;
  f.card.name = "eth0";
  f.card.device_wakeup = wakeup;
  f.access = WakeAccess::kDone;
  f.wake.from_kernel = true;
  f.wake.supported = supported;
  f.wake.enabled = enabled;
  f.persistence = persistence;
  return f;
}

CardFacts Failed(WakeAccess access, const char* text, const char* id = "") {
  CardFacts f;
  f.card.name = "Ethernet 2";
  f.card.id = id;
  f.access = access;
  f.error_text = text;
  return f;
}

// A Windows adapter whose key was found: *WakeOnMagicPacket (-1 absent) and whether it is armed.
CardFacts Windows(long magic_packet, DeviceWakeup armed) {
  CardFacts f;
  f.card.name = "Ethernet 2";
  f.card.id = "{4A1B2C3D-0000-4000-8000-000000000001}";
  f.card.device_wakeup = armed;
  f.access = WakeAccess::kDone;
  f.wake.from_registry = true;
  f.wake.key = "0007";
  f.wake.magic_packet = magic_packet;
  return f;
}

const listener::PersistenceFinding kNmKeeps{"NetworkManager profile \"Wired 1\"", "/etc/x", "wake-on-lan=64",
                                            Keeping::kKeeps, ""};
const listener::PersistenceFinding kLinkLeaves{"systemd link file 99-default.link", "/usr/lib/y",
                                               "no WakeOnLan=", Keeping::kLeavesAlone, ""};
const listener::PersistenceFinding kTlpTurnsOff{"TLP", "/etc/tlp.conf", "WOL_DISABLE=Y", Keeping::kTurnsOff,
                                                "set WOL_DISABLE=N in /etc/tlp.conf"};

TEST(Readiness, VerdictLineFromTheFacts) {
  platform::PowerStates linux_power;
  platform::PowerStates fast_off;
  fast_off.fast_startup = 0;
  platform::PowerStates fast_on;
  fast_on.fast_startup = 1;
  const struct {
    const char* what;
    CardFacts facts;
    platform::PowerStates power;
    Readiness readiness;
    std::string line;
  } cases[] = {
      {"magic packet on, kept by a profile",
       Linux(kPumbg, platform::kWakeMagic, DeviceWakeup::kEnabled, {kLinkLeaves, kNmKeeps}), linux_power,
       Readiness::kCanWake,
       "eth0: can wake by magic packet (Wake-on: g; device wakeup enabled; kept by NetworkManager profile \"Wired "
       "1\")"},
      {"nothing keeps it, no wakeup flag shown",
       Linux(kPumbg, platform::kWakeMagic, DeviceWakeup::kNotShown, {kLinkLeaves}), linux_power, Readiness::kCanWake,
       "eth0: can wake by magic packet (Wake-on: g; nothing keeps it across a reboot)"},
      {"SecureOn",
       Linux(kPumbg | platform::kWakeMagicSecure, platform::kWakeMagic | platform::kWakeMagicSecure,
             DeviceWakeup::kEnabled),
       linux_power, Readiness::kCanWake,
       "eth0: can wake by magic packet (Wake-on: gs; SecureOn password set: the magic packet must carry it; device "
       "wakeup "
       "enabled; nothing keeps it across a reboot)"},
      {"off", Linux(kPumbg, 0, DeviceWakeup::kEnabled), linux_power, Readiness::kCannotWake,
       "eth0: cannot wake: Wake-on: d (supported: pumbg); run pilvorne -Enable -Interface=eth0 as root"},
      {"other modes on", Linux(kPumbg, platform::kWakePhy, DeviceWakeup::kEnabled), linux_power, Readiness::kCannotWake,
       "eth0: cannot wake: Wake-on: p (supported: pumbg); run pilvorne -Enable -Interface=eth0 as root"},
      {"wakeup flag off", Linux(kPumbg, platform::kWakeMagic, DeviceWakeup::kDisabled), linux_power,
       Readiness::kCannotWake,
       "eth0: cannot wake: device wakeup disabled (/sys/class/net/eth0/device/power/wakeup); run pilvorne -Enable "
       "-Interface=eth0 as root"},
      {"no magic packet", Linux(platform::kWakePhy | platform::kWakeUnicast, 0, DeviceWakeup::kEnabled), linux_power,
       Readiness::kCannotWake, "eth0: cannot wake: the card does not support wake by magic packet (supported: pu)"},
      {"driver says none", Linux(0, 0, DeviceWakeup::kNotShown), linux_power, Readiness::kCannotWake,
       "eth0: cannot wake: the card does not support Wake-on-LAN, so this interface cannot wake the machine"},
      {"TLP undoes it", Linux(kPumbg, platform::kWakeMagic, DeviceWakeup::kEnabled, {kNmKeeps, kTlpTurnsOff}),
       linux_power, Readiness::kCannotWake,
       "eth0: cannot wake: TLP turns it off at every start (WOL_DISABLE=Y in /etc/tlp.conf); set WOL_DISABLE=N in "
       "/etc/tlp.conf"},
      {"EOPNOTSUPP", Failed(WakeAccess::kNotSupported, "Operation not supported"), linux_power, Readiness::kCannotWake,
       "Ethernet 2: cannot wake: the card does not support Wake-on-LAN, so this interface cannot wake the machine"},
      {"ioctl error", Failed(WakeAccess::kFailed, "Input/output error"), linux_power, Readiness::kNotKnown,
       "Ethernet 2: cannot tell whether it can wake: the wake settings cannot be read (Input/output error)"},
      {"not root", Failed(WakeAccess::kNoPermission, "Operation not permitted"), linux_power, Readiness::kNotKnown,
       "Ethernet 2: cannot tell whether it can wake: the kernel shows a card's wake modes only to a process with the "
       "CAP_NET_ADMIN capability: run pilvorne -Check as root"},
      {"keyword on", Windows(1, DeviceWakeup::kNotKnown), fast_off, Readiness::kCanWake,
       "Ethernet 2: can wake by magic packet (*WakeOnMagicPacket 1; armed to wake: cannot be read here; Fast Startup "
       "off)"},
      {"keyword off", Windows(0, DeviceWakeup::kEnabled), fast_off, Readiness::kCannotWake,
       "Ethernet 2: cannot wake: wake by magic packet is off (*WakeOnMagicPacket 0); pilvorne -Enable "
       "-Interface=\"Ethernet 2\" prints an administrator's commands"},
      {"not armed", Windows(1, DeviceWakeup::kDisabled), fast_off, Readiness::kCannotWake,
       "Ethernet 2: cannot wake: the device is not armed to wake the computer; pilvorne -Enable "
       "-Interface=\"Ethernet 2\" prints an administrator's commands"},
      {"no keyword", Windows(-1, DeviceWakeup::kNotKnown), fast_off, Readiness::kCannotWake,
       "Ethernet 2: cannot wake: the adapter's driver offers no wake by magic packet (no *WakeOnMagicPacket in "
       "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972-e325-11ce-bfc1-08002be10318}\\0007)"},
      {"Fast Startup", Windows(1, DeviceWakeup::kEnabled), fast_on, Readiness::kCannotWake,
       "Ethernet 2: cannot wake: Fast Startup is on: after Shut down this machine may not wake; wake from sleep or "
       "hibernation still works"},
      {"no key", Failed(WakeAccess::kNoDevice, "not found", "{4A1B2C3D-0000-4000-8000-000000000001}"), fast_on,
       Readiness::kNotKnown,
       "Ethernet 2: cannot tell whether it can wake: no key under "
       "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972-e325-11ce-bfc1-08002be10318} has NetCfgInstanceId "
       "{4A1B2C3D-0000-4000-8000-000000000001}, so the adapter's settings cannot be read"},
  };
  for (const auto& c : cases) {
    const listener::Verdict v = listener::JudgeReadiness(c.facts, c.power);
    EXPECT_EQ(v.readiness, c.readiness) << c.what;
    EXPECT_EQ(v.line, c.line) << c.what;
    EXPECT_EQ(v.causes.empty(), c.readiness == Readiness::kCanWake) << c.what;
  }
}

TEST(Readiness, ExitStatusOverAllCards) {
  const auto verdict = [](Readiness r) {
    listener::Verdict v;
    v.readiness = r;
    return v;
  };
  const struct {
    std::vector<listener::Verdict> verdicts;
    int status;
  } cases[] = {
      {{verdict(Readiness::kCanWake), verdict(Readiness::kCanWake)}, 0},
      {{verdict(Readiness::kCanWake), verdict(Readiness::kNotKnown)}, 2},
      {{verdict(Readiness::kNotKnown), verdict(Readiness::kCannotWake)}, 5},
      {{verdict(Readiness::kCannotWake), verdict(Readiness::kCanWake)}, 5},
  };
  for (const auto& c : cases) EXPECT_EQ(listener::ReadinessExitStatus(c.verdicts), c.status);
}

TEST(Readiness, CardsCheckedWithoutInterface) {
  const struct {
    bool ethernet, has_device, wireless, checked;
  } cases[] = {
      {true, true, false, true},    // a card on a bus
      {true, false, false, false},  // veth, bridge, bond, VLAN
      {true, true, true, false},    // Wi-Fi looks like Ethernet to the kernel
      {false, true, false, false},  // loopback, InfiniBand
  };
  for (const auto& c : cases) {
    platform::NetworkCard card;
    card.ethernet = c.ethernet;
    card.has_device = c.has_device;
    card.wireless = c.wireless;
    EXPECT_EQ(listener::CheckedByDefault(card), c.checked);
  }
}

}  // namespace

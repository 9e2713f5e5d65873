// What acts on a card's wake setting at every start, read from a tree of /etc and /usr/lib made in a temporary folder.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "listener/readiness.h"
#include "tests/listener/settings_tree.h"

namespace {

platform::NetworkCard Eth0() {
  platform::NetworkCard card;
  card.name = "eth0";
  card.driver = "e1000e";
  card.ethernet = card.has_device = card.mac_known = true;
  const std::uint8_t mac[6] = {0x02, 0x54, 0x57, 0x00, 0x00, 0x14};
  std::copy(mac, mac + 6, card.mac);
  return card;
}

const char* const kKeepingNames[] = {"keeps", "turns off", "leaves", "not applied", "unreadable"};

// Each finding as "by: setting: what it does".
std::vector<std::string> Findings(const std::map<std::string, std::string>& files) {
  SettingsTree tree(files);
  std::vector<std::string> out;
  for (const listener::PersistenceFinding& f : listener::FindPersistence(tree.text().c_str(), Eth0())) {
    out.push_back(f.by + ": " + f.setting + ": " + kKeepingNames[static_cast<int>(f.keeping)]);
  }
  return out;
}

const std::string kNm = "/etc/NetworkManager/system-connections/";
std::string Profile(const char* id, const char* match, const char* wake) {
  return std::string("[connection]\nid=") + id + "\ntype=ethernet\n" + match + "\n\n[ethernet]\n" + wake + "\n";
}

TEST(ReadinessFiles, NetworkManagerProfiles) {
  const struct {
    const char* what;
    std::map<std::string, std::string> files;
    std::vector<std::string> findings;
  } cases[] = {
      {"magic",
       {{kNm + "Wired 1.nmconnection", Profile("Wired 1", "interface-name=eth0", "wake-on-lan=64")}},
       {"NetworkManager profile \"Wired 1\": wake-on-lan=64: keeps"}},
      {"none",
       {{kNm + "w.nmconnection", Profile("Office", "interface-name=eth0", "wake-on-lan=0")}},
       {"NetworkManager profile \"Office\": wake-on-lan=0: turns off"}},
      {"phy only",
       {{kNm + "w.nmconnection", Profile("Office", "", "wake-on-lan=2")}},
       {"NetworkManager profile \"Office\": wake-on-lan=2: turns off"}},
      {"default, none configured",
       {{kNm + "w.nmconnection", Profile("Office", "", "wake-on-lan=1")}},
       {"NetworkManager profile \"Office\": wake-on-lan=1: leaves"}},
      {"absent, default configured",
       {{kNm + "w.nmconnection", Profile("Office", "", "mtu=1500")},
        {"/etc/NetworkManager/conf.d/wol.conf", "[connection]\nethernet.wake-on-lan=64\n"}},
       {"NetworkManager profile \"Office\": wake-on-lan not set, so ethernet.wake-on-lan=64 of NetworkManager's "
        "configuration: keeps"}},
      {"ignore",
       {{kNm + "w.nmconnection", Profile("Office", "", "wake-on-lan=32768")}},
       {"NetworkManager profile \"Office\": wake-on-lan=32768: leaves"}},
      {"bound to this MAC",
       {{kNm + "w.nmconnection", Profile("Desk", "", "mac-address=02:54:57:00:00:14\nwake-on-lan=64")}},
       {"NetworkManager profile \"Desk\": wake-on-lan=64: keeps"}},
      {"another card's",
       {{kNm + "a.nmconnection", Profile("A", "interface-name=eth1", "wake-on-lan=0")},
        {kNm + "b.nmconnection", Profile("B", "", "mac-address=02:54:57:00:00:99\nwake-on-lan=0")},
        {kNm + "c.nmconnection", "[connection]\nid=Wifi\ntype=wifi\n[wifi]\nssid=x\n"}},
       {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Findings(c.files), c.findings) << c.what;
}

const std::string kEtc = "/etc/systemd/network/";
const std::string kLib = "/usr/lib/systemd/network/";
const std::string kDefault = "[Match]\nOriginalName=*\n\n[Link]\nNamePolicy=keep kernel\n";

TEST(ReadinessFiles, SystemdLinkFilesTheFirstMatchApplies) {
  const struct {
    const char* what;
    std::map<std::string, std::string> files;
    std::vector<std::string> findings;
  } cases[] = {
      {"by MAC, before the default",
       {{kEtc + "50-wol.link", "[Match]\nMACAddress=02-54-57-00-00-14\n[Link]\nWakeOnLan=magic\n"},
        {kLib + "99-default.link", kDefault}},
       {"systemd link file 50-wol.link: WakeOnLan=magic: keeps"}},
      {"after the default",
       {{kLib + "99-default.link", kDefault},
        {kEtc + "wol.link", "[Match]\nOriginalName=eth0\n[Link]\nWakeOnLan=magic\n"}},
       {"systemd link file 99-default.link: no WakeOnLan=: leaves",
        "systemd link file wol.link: WakeOnLan=magic, but 99-default.link comes first and applies: not applied"}},
      {"off",
       {{kEtc + "10-x.link", "[Match]\nDriver=e1000*\nType=ether\n[Link]\nWakeOnLan=phy unicast\n"}},
       {"systemd link file 10-x.link: WakeOnLan=phy unicast: turns off"}},
      {"no match",
       {{kEtc + "10-a.link", "[Match]\nOriginalName=enp*\n[Link]\nWakeOnLan=off\n"},
        {kEtc + "10-b.link", "[Match]\nOriginalName=!eth*\n[Link]\nWakeOnLan=off\n"},
        {kEtc + "10-c.link", "[Match]\nMACAddress=02:54:57:00:00:15 02:54:57:00:00:16\n[Link]\nWakeOnLan=off\n"},
        {kEtc + "10-d.link", "[Match]\nType=wlan\n[Link]\nWakeOnLan=off\n"}},
       {}},
      {"masked in /etc", {{kEtc + "10-wol.link", ""}, {kLib + "10-wol.link", "[Link]\nWakeOnLan=off\n"}}, {}},
      {"an unchecked condition",
       {{kEtc + "10-a.link", "[Match]\nPath=pci-0000:00:1f.6\n[Link]\nWakeOnLan=magic secureon\n"}},
       {"systemd link file 10-a.link: WakeOnLan=magic secureon (Path= not checked): keeps"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Findings(c.files), c.findings) << c.what;
}

TEST(ReadinessFiles, TlpAndPilvornesUnit) {
  const struct {
    const char* what;
    std::map<std::string, std::string> files;
    std::vector<std::string> findings;
  } cases[] = {
      {"TLP's default",
       {{"/etc/tlp.conf", "TLP_ENABLE=1\n#WOL_DISABLE=N\n"}},
       {"TLP: WOL_DISABLE not set, and TLP's default is Y: turns off"}},
      {"TLP told not to", {{"/etc/tlp.conf", "WOL_DISABLE=\"N\"  \n"}}, {"TLP: WOL_DISABLE=N: leaves"}},
      {"tlp.conf wins over tlp.d",
       {{"/etc/tlp.d/10-wol.conf", "WOL_DISABLE=N\n"}, {"/etc/tlp.conf", "WOL_DISABLE=Y # off\n"}},
       {"TLP: WOL_DISABLE=Y: turns off"}},
      {"no TLP", {{"/etc/other.conf", "WOL_DISABLE=Y\n"}}, {}},
      {"unit enabled",
       {{"/etc/systemd/system/multi-user.target.wants/pilvorne-wake@eth0.service", ""}},
       {"pilvorne-wake@eth0.service: enabled: keeps"}},
      {"another card's unit", {{"/etc/systemd/system/multi-user.target.wants/pilvorne-wake@eth1.service", ""}}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Findings(c.files), c.findings) << c.what;
}

TEST(ReadinessFiles, GlobMatch) {
  const struct {
    const char* pattern;
    const char* text;
    bool matches;
  } cases[] = {
      {"*", "eth0", true},        {"eth*", "eth0", true},       {"eth?", "eth10", false},
      {"e*0", "enp3s0", true},    {"e*1", "enp3s0", false},     {"[ep]th0", "pth0", true},
      {"[!e]th0", "eth0", false}, {"en[a-q]*", "enp3s0", true}, {"en[r-z]*", "enp3s0", false},
      {"eth0", "eth0x", false},   {"[eth0", "[eth0", true},     {"**0", "eth0", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(listener::GlobMatch(c.pattern, c.text), c.matches) << c.pattern << " " << c.text;
}

}  // namespace

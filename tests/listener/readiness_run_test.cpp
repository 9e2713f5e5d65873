// -Check and -Enable over a sysfs and /etc tree in a temporary folder and a fake ethtool.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "listener/readiness.h"
#include "tests/fakes/fake_wake_settings.h"
#include "tests/listener/settings_tree.h"

namespace {

using platform::WakeAccess;

constexpr std::uint32_t kPumbg = 0x2F;
constexpr std::uint32_t kMagic = platform::kWakeMagic;

// A machine with one PCI card (eth0, wake off, device wakeup disabled), a veth, loopback and a
// Wi-Fi card, and a NetworkManager profile for eth0 that asks for the magic packet.
const std::map<std::string, std::string> kMachine = {
    {"/sys/class/net/bonding_masters", ""},
    {"/sys/class/net/eth0/type", "1\n"},
    {"/sys/class/net/eth0/address", "02:54:57:00:00:14\n"},
    {"/sys/class/net/eth0/operstate", "up\n"},
    {"/sys/class/net/eth0/device/power/wakeup", "disabled\n"},
    {"/sys/class/net/veth0/type", "1\n"},
    {"/sys/class/net/veth0/address", "02:54:57:00:00:15\n"},
    {"/sys/class/net/veth0/operstate", "up\n"},
    {"/sys/class/net/lo/type", "772\n"},
    {"/sys/class/net/wlan0/type", "1\n"},
    {"/sys/class/net/wlan0/device/", ""},
    {"/sys/class/net/wlan0/wireless/", ""},
    {"/sys/power/state", "freeze mem disk\n"},
    {"/sys/power/mem_sleep", "s2idle [deep]\n"},
    {"/etc/NetworkManager/system-connections/Wired 1.nmconnection",
     "[connection]\nid=Wired 1\ntype=ethernet\ninterface-name=eth0\n[ethernet]\nwake-on-lan=64\n"},
};
const std::map<std::string, std::string> kDriverLink = {
    {"/sys/class/net/eth0/device/driver", "../../../bus/pci/drivers/e1000e"}};

struct Outcome {
  int status;
  std::string out, err;
};

std::string Contents(FILE* f) {
  std::string text;
  std::rewind(f);
  for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
  std::fclose(f);
  return text;
}

// -Check (name empty: every card) or -Enable over the tree.
Outcome RunIt(const SettingsTree& tree, bool enable, const char* name, bool json = false) {
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  const std::string root = tree.text();
  const int status = enable ? listener::RunEnable(root.c_str(), name, json, out, err)
                            : listener::RunCheck(root.c_str(), *name != '\0' ? name : nullptr, json, out, err);
  return {status, Contents(out), Contents(err)};
}

class ReadinessRun : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_wake_settings_reset();
    fake_wake_settings_set("eth0", WakeAccess::kDone, kPumbg, 0);
    fake_wake_settings_set("veth0", WakeAccess::kNotSupported, 0, 0, 95);
  }
};

TEST_F(ReadinessRun, CheckListsTheCardsWithADeviceAndTellsEachFact) {
  const SettingsTree tree(kMachine, kDriverLink);
  const Outcome r = RunIt(tree, false, "");
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "eth0: cannot wake: Wake-on: d (supported: pumbg); device wakeup disabled "
            "(/sys/class/net/eth0/device/power/wakeup); run pilvorne -Enable -Interface=eth0 as root\n"
            "  wake modes supported: pumbg (phy, unicast, multicast, broadcast, magic packet)\n"
            "  wake modes enabled: d (none)\n"
            "  device wakeup: disabled (/sys/class/net/eth0/device/power/wakeup)\n"
            "  driver: e1000e; link: up; MAC 02:54:57:00:00:14\n"
            "  across a reboot: NetworkManager profile \"Wired 1\" (/etc/NetworkManager/system-connections/Wired "
            "1.nmconnection): wake-on-lan=64, keeps wake by magic packet\n"
            "this machine: sleep states freeze mem disk; mem sleep s2idle [deep]\n");
}

TEST_F(ReadinessRun, NamedCardsAndNone) {
  std::map<std::string, std::string> no_card = kMachine;
  for (auto it = no_card.begin(); it != no_card.end();)
    it = it->first.find("/eth0/") != std::string::npos ? no_card.erase(it) : std::next(it);
  const SettingsTree machine(kMachine);
  const SettingsTree lab(no_card);
  const struct {
    const SettingsTree& tree;
    const char* name;
    int status;
    std::string first_line;
    std::string err;
  } cases[] = {
      {machine, "veth0", 5,
       "veth0: cannot wake: the card does not support Wake-on-LAN, so this interface cannot wake the machine\n", ""},
      {machine, "ETH0", 5, "eth0: cannot wake: Wake-on: d (supported: pumbg); device wakeup disabled", ""},
      {machine, "eth9", 2, "", "pilvorne: -Interface=eth9: no network interface has that name\n"},
      {machine, "../../../etc", 2, "", "pilvorne: -Interface=../../../etc: no network interface has that name\n"},
      {lab, "", 5, "", "pilvorne: no Ethernet card to check (left out: veth0, wlan0); name one with -Interface=NAME\n"},
  };
  for (const auto& c : cases) {
    const Outcome r = RunIt(c.tree, false, c.name);
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_EQ(r.out.substr(0, c.first_line.size()), c.first_line) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
  }
}

TEST_F(ReadinessRun, EnableTurnsMagicOnKeepsTheOtherModesAndChecksAgain) {
  const SettingsTree tree(kMachine);
  fake_wake_settings_set("eth0", WakeAccess::kDone, kPumbg, platform::kWakePhy);
  fake_wake_settings_allow(true);
  const Outcome r = RunIt(tree, true, "eth0");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(fake_wake_settings_writes(), "eth0=" + std::to_string(platform::kWakePhy | kMagic));
  EXPECT_EQ(tree.read("/sys/class/net/eth0/device/power/wakeup"), "enabled");
  EXPECT_EQ(
      r.out.substr(0, r.out.find('\n')),
      "eth0: can wake by magic packet (Wake-on: pg; device wakeup enabled; kept by NetworkManager profile \"Wired "
      "1\")");
  EXPECT_EQ(r.status, 0);
}

TEST_F(ReadinessRun, EnableRefusals) {
  const SettingsTree tree(kMachine);
  const struct {
    const char* what;
    const char* name;
    bool allowed;
    int status;
    std::string err;
  } cases[] = {
      {"no capability", "eth0", false, 2,
       "pilvorne: -Enable needs the CAP_NET_ADMIN capability to change wake settings: run it as root\n"},
      {"no wake support", "veth0", true, 5,
       "pilvorne: veth0: the card does not support wake by magic packet; nothing was changed\n"},
      {"no such card", "eth9", true, 2, "pilvorne: -Interface=eth9: no network interface has that name\n"},
  };
  for (const auto& c : cases) {
    fake_wake_settings_allow(c.allowed);
    const Outcome r = RunIt(tree, true, c.name);
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
    EXPECT_EQ(r.out, "") << c.what;
    EXPECT_EQ(fake_wake_settings_writes(), "") << c.what;
  }
  EXPECT_EQ(tree.read("/sys/class/net/eth0/device/power/wakeup"), "disabled\n");
}

TEST_F(ReadinessRun, JsonObjectPerCard) {
  const SettingsTree tree(kMachine, kDriverLink);
  fake_wake_settings_set("eth0", WakeAccess::kDone, kPumbg, kMagic);
  const Outcome r = RunIt(tree, false, "eth0", true);
  ASSERT_EQ(r.out.back(), '\n');
  const nlohmann::ordered_json j = nlohmann::ordered_json::parse(r.out);
  std::vector<std::string> keys;
  for (const auto& item : j.items()) keys.push_back(item.key());
  EXPECT_EQ(keys,
            (std::vector<std::string>{"name", "supported", "enabled", "password", "device_wakeup", "driver", "link",
                                      "persistence", "adapter", "sleep_states", "fast_startup", "verdict", "causes"}));
  EXPECT_EQ(j["supported"], "pumbg");
  EXPECT_EQ(j["enabled"], "g");
  EXPECT_EQ(j["password"], false);
  EXPECT_EQ(j["device_wakeup"], "disabled");
  EXPECT_EQ(j["driver"], "e1000e");
  EXPECT_EQ(j["persistence"][0]["by"], "NetworkManager profile \"Wired 1\"");
  EXPECT_EQ(j["persistence"][0]["effect"], "keeps");
  EXPECT_TRUE(j["adapter"].is_null());
  EXPECT_TRUE(j["fast_startup"].is_null());
  EXPECT_EQ(j["verdict"], "cannot wake");
  EXPECT_EQ(j["causes"],
            nlohmann::ordered_json::array({"device wakeup disabled (/sys/class/net/eth0/device/power/wakeup)"}));
  EXPECT_EQ(r.status, 5);
}

}  // namespace

// The main dialog's procedure driven through the fake host: initialisation, commands, sends, lookups.
#include "sender/dialog/dialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/wake_packet.h"
#include "fake_dialog_host.h"
#include "fake_version.h"
#include "sender/address.h"
#include "sender/dialog/layout.h"
#include "sender/program.h"
#include "sender/wake_packet.h"

namespace {

using namespace dialog;
using fake_dialog::g_record;
using fake_dialog::Text;

constexpr unsigned kWarningBox = 0x30;

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_dialog::Reset();
    fake_version::Set(false, nullptr, nullptr);
  }
  void TearDown() override { fake_dialog::Restore(); }

  // The operator's fields before a send.
  void Fill(const char* ip, const char* mask, const char* mac, const char* port = "1778") {
    g_record.texts[kIdIpAddress] = ip;
    g_record.texts[kIdSubnetMask] = mask;
    g_record.texts[kIdMacAddress] = mac;
    g_record.texts[kIdPortNumber] = port;
  }
};

// ----- initialisation

TEST_F(DialogTest, InitialisationFillsCaptionMaskPortAndDecorations) {
  struct Case {
    const char* title_word;
    std::uint32_t mask;
    std::int32_t port;
    const char* caption;
    const char* mask_text;
    const char* port_text;
  };
  const Case cases[] = {
      {nullptr, ParseIpAddress("255.255.255.0"), 1778, "Tidewake ", "255.255.255.0", "1778"},
      {"Lab1", ParseIpAddress("255.255.0.0"), 1778, "Tidewake Lab1", "255.255.0.0", "1778"},
      {"x", 0, 9, "Tidewake x", "0.0.0.0", "9"},
  };
  for (const Case& c : cases) {
    fake_dialog::Reset();
    g_program.title_word = c.title_word;
    g_program.startup_netmask = c.mask;
    g_program.sender.port = c.port;
    EXPECT_EQ(kTrue, fake_dialog::Send(kWmInitDialog));
    EXPECT_EQ(c.caption, g_record.caption);
    EXPECT_EQ(c.mask_text, Text(kIdSubnetMask));
    EXPECT_EQ(c.port_text, Text(kIdPortNumber));
    EXPECT_EQ(" Tidewake", Text(kIdBanner));
    EXPECT_EQ(kIdBanner, g_record.banner_font_id);
    EXPECT_EQ(kIdHelp, g_record.bitmap_button_id);
    EXPECT_EQ(kBitmapHelp, g_record.bitmap);
    EXPECT_EQ(kIconMain, g_record.class_icon);
    EXPECT_TRUE(g_record.boxes.empty());
    EXPECT_TRUE(g_record.sends.empty());
  }
}

// A command line that ended early opens the dialog with the token that ended it named in the
// status line, from the parse through the program record to the initialisation.
TEST_F(DialogTest, StatusLineNamesWhatEndedTheCommandLine) {
  const struct {
    const char* line;
    const char* status;
  } cases[] = {
      {"/IP=192.0.2.20 /MAC=02:54:57:00:0a:14 /Verbos", "/Verbos: not an option; nothing was sent"},
      {"/x /IP=192.0.2.20 /MAC=02:54:57:00:0a:14", "/x: not an option; nothing was sent"},
      {"Lab1 /MAC=02:54:57:00:0a:14 Lab2 /IP=192.0.2.20", "Lab2: a second title word; nothing was sent"},
      {"Lab1 /Debug=1 /MAC=02:54:57:00:0a:14", ""},
  };
  for (const auto& c : cases) {
    fake_dialog::Reset();
    std::string text = c.line;
    ApplyCommandLine(ParseCommandLine(&text[0]));
    fake_dialog::Send(kWmInitDialog);
    EXPECT_EQ(c.status, Text(kIdStatus)) << c.line;
    // The focus that comes and goes as the dialog appears leaves it; typing clears it.
    for (int id : {kIdTargetName, kIdMacAddress, kIdSubnetMask}) {
      for (unsigned code : {kEnSetFocus, kEnKillFocus}) fake_dialog::Send(kWmCommand, MakeCommandParam(id, code));
    }
    EXPECT_EQ(c.status, Text(kIdStatus)) << c.line;
    g_record.texts[kIdMacAddress] = "02-54-57-00-0A-14";
    fake_dialog::Send(kWmCommand, MakeCommandParam(kIdMacAddress, kEnChange));
    fake_dialog::Send(kWmCommand, MakeCommandParam(kIdTargetName, kEnSetFocus));
    EXPECT_EQ("", Text(kIdStatus)) << c.line;
  }
}

TEST_F(DialogTest, AboutTextComesFromTheVersionInformation) {
  struct Case {
    bool present;
    const char* copyright;
    const char* version;
    const char* about;
  };
  const Case cases[] = {
      {true, "Copyright (C) 2005-2026 Tidewake Project", "2. 0. 0. 4",
       "Copyright (C) 2005-2026 Tidewake Project\nVersion 2. 0. 0. 4"},
      {true, nullptr, "2. 0. 0. 4", "(null)\nVersion 2. 0. 0. 4"},
      {true, "Notice", nullptr, "Notice\nVersion (null)"},
      {false, nullptr, nullptr, kAboutNotice},
  };
  for (const Case& c : cases) {
    fake_dialog::Reset();
    fake_version::Set(c.present, c.copyright, c.version);
    fake_dialog::Send(kWmInitDialog);
    EXPECT_EQ(c.about, Text(kIdAbout));
    EXPECT_STREQ("Kestrava.exe", fake_version::LastPath());
  }
}

// ----- the command table, except sends and lookups

TEST_F(DialogTest, CommandTableRows) {
  struct Case {
    const char* name;
    int id;
    unsigned code;
    bool clears_status;
    bool clears_ip_and_mac;
    bool posts_close;
    bool opens_help;
  };
  const Case cases[] = {
      {"cancel", kIdCancel, kBnClicked, false, false, true, false},
      {"ok", kIdOk, kBnClicked, false, false, false, false},
      {"target name typed", kIdTargetName, kEnChange, true, true, false, false},
      {"target name focused", kIdTargetName, kEnSetFocus, true, false, false, false},
      {"ip address", kIdIpAddress, kEnChange, false, false, false, false},
      {"mac address", kIdMacAddress, kEnChange, true, false, false, false},
      {"subnet mask", kIdSubnetMask, kEnChange, true, false, false, false},
      {"port number", kIdPortNumber, kEnChange, false, false, false, false},
      {"help", kIdHelp, kBnClicked, false, false, false, true},
      {"unknown id", 4242, kBnClicked, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake_dialog::Reset();
    Fill("198.51.100.7", "255.255.255.0", "00-0C-29-AA-BB-CC");
    g_record.texts[kIdTargetName] = "pc7";
    g_record.texts[kIdStatus] = "Pkt. sent to 198.51.100.255";
    EXPECT_EQ(kFalse, fake_dialog::Send(kWmCommand, MakeCommandParam(c.id, c.code)));
    EXPECT_EQ(c.clears_status ? "" : "Pkt. sent to 198.51.100.255", Text(kIdStatus));
    EXPECT_EQ(c.clears_ip_and_mac ? "" : "198.51.100.7", Text(kIdIpAddress));
    EXPECT_EQ(c.clears_ip_and_mac ? "" : "00-0C-29-AA-BB-CC", Text(kIdMacAddress));
    EXPECT_EQ("pc7", Text(kIdTargetName));
    ASSERT_EQ(c.posts_close ? 1u : 0u, g_record.posted.size());
    if (c.posts_close) {
      EXPECT_EQ(kWmSysCommand, g_record.posted[0].message);
      EXPECT_EQ(kScClose, g_record.posted[0].wparam);
    }
    ASSERT_EQ(c.opens_help ? 1u : 0u, g_record.opened_files.size());
    if (c.opens_help) {
      EXPECT_EQ("Tidewake.chm", g_record.opened_files[0]);
    }
    EXPECT_TRUE(g_record.sends.empty());
    EXPECT_TRUE(g_record.boxes.empty());
    EXPECT_EQ(0, g_record.destroyed);
  }
}

// ----- sends

TEST_F(DialogTest, SendButtonsSendTheirKindToTheFieldsAddresses) {
  struct Case {
    int id;
    int send_flags;
    std::int32_t debug_flags;
    const char* status;  // after the send
  };
  const Case cases[] = {
      {kIdSendMagic, wake::kSendBroadcastMagic, 1, "Pkt. sent to 192.168.1.255"},
      {kIdSendShortUnsuspend, wake::kSendShortUnsuspend, 1, "Pkt. sent to 192.168.1.20"},
      {kIdSendDirect, wake::kSendDirectMagic, 1, "Pkt. sent to 192.168.1.20"},
      {kIdSendMagic, wake::kSendBroadcastMagic, 17, "Pkt. sent to 192.168.1.255"},
      {kIdSendMagic, wake::kSendBroadcastMagic, 0, "old"},
      {kIdSendDirect, wake::kSendDirectMagic, 16, "old"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    fake_dialog::Reset();
    g_program.debug_flags = c.debug_flags;
    // The send itself goes to the fake: these addresses only appear as computed texts.
    Fill("192.168.1.20", "255.255.255.0", "00-0C-29-AA-BB-CC");
    g_record.texts[kIdStatus] = "old";
    fake_dialog::Click(c.id);
    ASSERT_EQ(1u, g_record.sends.size());
    const fake_dialog::SendCall& sent = g_record.sends[0];
    EXPECT_EQ(c.send_flags, sent.send_flags);
    EXPECT_EQ(ParseIpAddress("192.168.1.20"), sent.address);
    EXPECT_EQ(ParseIpAddress("255.255.255.0"), sent.mask);
    const std::uint8_t mac[6] = {0x00, 0x0C, 0x29, 0xAA, 0xBB, 0xCC};
    EXPECT_EQ(0, std::memcmp(mac, sent.mac, 6));
    EXPECT_EQ(c.status, Text(kIdStatus));
    EXPECT_TRUE(g_record.boxes.empty());
  }
}

TEST_F(DialogTest, UnknownMacStopsEverySend) {
  const char* macs[] = {"", "00:00:00:00:00:00", "00-00-00-00-00-00", "zz-zz", "0"};
  const int buttons[] = {kIdSendMagic, kIdSendShortUnsuspend, kIdSendDirect};
  for (const char* mac : macs) {
    for (int id : buttons) {
      SCOPED_TRACE(std::string(mac) + " " + std::to_string(id));
      fake_dialog::Reset();
      g_program.debug_flags = 1;
      Fill("127.0.0.1", "255.255.255.255", mac, "9");
      fake_dialog::Click(id);
      EXPECT_TRUE(g_record.sends.empty());
      ASSERT_EQ(1u, g_record.boxes.size());
      EXPECT_EQ(kUnknownMacText, g_record.boxes[0].text);
      EXPECT_EQ("Tidewake", g_record.boxes[0].caption);
      EXPECT_EQ(kWarningBox, g_record.boxes[0].type);
      // Refused before the status line and the port are touched.
      EXPECT_EQ("", Text(kIdStatus));
      EXPECT_EQ(wake::kDefaultPort, g_program.sender.port);
    }
  }
}

TEST_F(DialogTest, DashAndColonMacsSendTheSameBytes) {
  const char* macs[] = {"00-0C-29-AA-BB-CC", "00:0C:29:AA:BB:CC", "00:0c:29:aa:bb:cc"};
  for (const char* mac : macs) {
    Fill("127.0.0.1", "255.255.255.255", mac);
    fake_dialog::Click(kIdSendDirect);
  }
  ASSERT_EQ(3u, g_record.sends.size());
  for (const fake_dialog::SendCall& sent : g_record.sends) {
    const std::uint8_t expected[6] = {0x00, 0x0C, 0x29, 0xAA, 0xBB, 0xCC};
    EXPECT_EQ(0, std::memcmp(expected, sent.mac, 6));
  }
}

TEST_F(DialogTest, PortFieldIsKeptForLaterSends) {
  Fill("127.0.0.1", "255.255.255.255", "02:00:00:00:00:01", "9");
  fake_dialog::Click(kIdSendMagic);
  EXPECT_EQ(9, g_program.sender.port);
  fake_dialog::Click(kIdSendDirect);
  // The field is changed by the operator; the next send reads it again (atoi rules).
  Fill("127.0.0.1", "255.255.255.255", "02:00:00:00:00:01", " 12abc");
  fake_dialog::Click(kIdSendShortUnsuspend);
  ASSERT_EQ(3u, g_record.sends.size());
  EXPECT_EQ(9, g_record.sends[0].port);
  EXPECT_EQ(9, g_record.sends[1].port);
  EXPECT_EQ(12, g_record.sends[2].port);
  EXPECT_EQ(12, g_program.sender.port);

  // A refused send leaves the port as it was.
  Fill("127.0.0.1", "255.255.255.255", "", "4000");
  fake_dialog::Click(kIdSendMagic);
  EXPECT_EQ(12, g_program.sender.port);
}

// ----- Resolve IP

TEST_F(DialogTest, ResolveIp) {
  struct Case {
    const char* name;
    bool known;
    const char* ip_after;
    const char* box;  // nullptr: none
    const char* remembered_name;
    bool looked_up;
  };
  const Case cases[] = {
      {"pc7", true, "198.51.100.7", nullptr, "pc7", true},
      {"nosuchhost", false, "keep", kUnresolvedIpText, "", true},
      {"", false, "keep", nullptr, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake_dialog::Reset();
    fake_dialog::g_known_hosts["pc7"] = ParseIpAddress("198.51.100.7");
    g_record.texts[kIdTargetName] = c.name;
    g_record.texts[kIdIpAddress] = "keep";
    g_record.texts[kIdStatus] = "old";
    fake_dialog::Click(kIdResolveIp);
    EXPECT_EQ(c.ip_after, Text(kIdIpAddress));
    EXPECT_EQ("", Text(kIdStatus));
    EXPECT_STREQ(c.remembered_name, g_dialog.target_name);
    EXPECT_EQ(c.looked_up ? 1u : 0u, g_record.host_lookups.size());
    EXPECT_EQ(c.looked_up ? 1 : 0, g_record.wait_cursors);
    if (c.box == nullptr) {
      EXPECT_TRUE(g_record.boxes.empty());
    } else {
      ASSERT_EQ(1u, g_record.boxes.size());
      EXPECT_EQ(c.box, g_record.boxes[0].text);
      EXPECT_EQ("Tidewake", g_record.boxes[0].caption);
      EXPECT_EQ(kWarningBox, g_record.boxes[0].type);
    }
  }
}

TEST_F(DialogTest, ResolveIpTakesAtMost127CharactersOfTheName) {
  std::string name(200, 'a');
  g_record.texts[kIdTargetName] = name;
  fake_dialog::Click(kIdResolveIp);
  ASSERT_EQ(1u, g_record.host_lookups.size());
  EXPECT_EQ(name.substr(0, 127), g_record.host_lookups[0]);
}

// ----- Get MacAddress

TEST_F(DialogTest, ResolveMac) {
  struct Case {
    const char* what;
    const char* name;
    const char* ip;
    const char* found;       // the lookup's MAC text, "" for none
    bool looked_up;
    const char* mac_field;   // after the command
    const char* box;         // nullptr: none
  };
  const Case cases[] = {
      {"dotted ip, no name", "", "198.51.100.7", "00:0C:29:AA:BB:CC", true, "00-0C-29-AA-BB-CC",
       nullptr},
      {"name and ip", "pc7", "198.51.100.7", "02:00:5E:10:00:01", true, "02-00-5E-10-00-01",
       nullptr},
      {"not found", "", "198.51.100.9", "", true, "", kUnresolvedMacText},
      {"name without ip", "pc7", "", "", true, "", kUnresolvedMacText},
      {"both empty", "", "", "00:0C:29:AA:BB:CC", false, "typed", kDetailsRequiredText},
      {"ip not a dotted quad", "", "198.51.100", "00:0C:29:AA:BB:CC", false, "typed",
       kDetailsRequiredText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fake_dialog::Reset();
    fake_dialog::g_lookup_mac_result = c.found;
    g_record.texts[kIdTargetName] = c.name;
    g_record.texts[kIdIpAddress] = c.ip;
    g_record.texts[kIdMacAddress] = "typed";
    g_record.texts[kIdStatus] = "old";
    fake_dialog::Click(kIdResolveMac);
    ASSERT_EQ(c.looked_up ? 1u : 0u, g_record.mac_lookups.size());
    if (c.looked_up) {
      EXPECT_EQ(c.ip, g_record.mac_lookups[0]);
      EXPECT_EQ(c.ip, Text(kIdIpAddress));
      EXPECT_EQ("", Text(kIdStatus));
    } else {
      EXPECT_EQ("old", Text(kIdStatus));
    }
    EXPECT_EQ(c.mac_field, Text(kIdMacAddress));
    if (c.box == nullptr) {
      EXPECT_TRUE(g_record.boxes.empty());
    } else {
      ASSERT_EQ(1u, g_record.boxes.size());
      EXPECT_EQ(c.box, g_record.boxes[0].text);
      EXPECT_EQ("Tidewake", g_record.boxes[0].caption);
      EXPECT_EQ(kWarningBox, g_record.boxes[0].type);
    }
    EXPECT_TRUE(g_record.sends.empty());
  }
}

// ----- typing, close and quit, activation

TEST_F(DialogTest, TypingATargetNameEmptiesTheResolvedFields) {
  Fill("198.51.100.7", "255.255.255.0", "00-0C-29-AA-BB-CC");
  fake_dialog::Type(kIdTargetName, "p");
  EXPECT_EQ("", Text(kIdIpAddress));
  EXPECT_EQ("", Text(kIdMacAddress));
  EXPECT_EQ("255.255.255.0", Text(kIdSubnetMask));
}

TEST_F(DialogTest, EscapeClosesTheDialogAndEndsTheLoop) {
  fake_dialog::Click(kIdCancel);
  EXPECT_EQ(0, g_record.destroyed);  // only posted so far
  fake_dialog::DeliverPosted();
  EXPECT_EQ(1, g_record.destroyed);
  ASSERT_EQ(1u, g_record.quit_codes.size());
  EXPECT_EQ(0, g_record.quit_codes[0]);
}

TEST_F(DialogTest, SystemCommands) {
  struct Case {
    WParam command;
    int destroyed;
  };
  const Case cases[] = {{kScClose, 1}, {kScClose | 0x2, 1}, {0xF020 /* minimise */, 0},
                        {0xF100 /* key menu */, 0}};
  for (const Case& c : cases) {
    fake_dialog::Reset();
    EXPECT_EQ(kFalse, fake_dialog::Send(kWmSysCommand, c.command));
    EXPECT_EQ(c.destroyed, g_record.destroyed);
    EXPECT_EQ(static_cast<std::size_t>(c.destroyed), g_record.quit_codes.size());
  }
}

TEST_F(DialogTest, ActivationTracksTheActiveDialog) {
  struct Case {
    unsigned message;
    WParam wparam;
    platform::Window before;
    platform::Window after;
  };
  int other = 0;
  const Case cases[] = {
      {kWmActivate, 1, nullptr, fake_dialog::kDialog},
      {kWmActivate, 2, &other, fake_dialog::kDialog},
      {kWmActivate, kWaInactive, nullptr, nullptr},
      {kWmActivate, 0x10000 | kWaInactive, &other, &other},  // minimised flag in the high word
      {kWmActivateApp, 1, nullptr, fake_dialog::kDialog},
      {kWmActivateApp, 1, &other, &other},
  };
  for (const Case& c : cases) {
    g_program.active_dialog = c.before;
    EXPECT_EQ(kFalse, fake_dialog::Send(c.message, c.wparam));
    EXPECT_EQ(c.after, g_program.active_dialog);
  }
}

}  // namespace

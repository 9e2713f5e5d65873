// Will this machine wake? The facts about its own wake settings, the verdict over them, and -Check and -Enable.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "common/printf_format.h"
#include "platform/network_cards.h"
#include "platform/power_states.h"
#include "platform/wake_settings.h"

namespace listener {

struct ListenerCommandLine;

// Exit statuses of -Check and -Enable: 0 every card checked can wake the machine by magic packet.
constexpr int kExitReadinessUnknown = 2;  // the facts cannot be read, or -Enable cannot change them
constexpr int kExitCannotWake = 5;

// What something that runs at every start does to the card's wake setting.
enum class Keeping {
  kKeeps,        // turns wake by magic packet on
  kTurnsOff,     // sets wake modes without the magic packet
  kLeavesAlone,  // applies to the card but leaves its wake setting as it is
  kNotApplied,   // would set it, but another file comes first
  kNotReadable,  // could not be read
};

// One thing found that acts on the card's wake setting at every start.
struct PersistenceFinding {
  std::string by;       // NetworkManager profile "Wired 1", systemd link file 50-wol.link, TLP, ...
  std::string where;    // the file, as the system names it (without a test's root)
  std::string setting;  // wake-on-lan=64, WakeOnLan=magic, WOL_DISABLE=Y, ...
  Keeping keeping = Keeping::kLeavesAlone;
  std::string fix;  // how to make it keep wake by magic packet; empty when none is needed
};

// Everything known about one card.
struct CardFacts {
  platform::NetworkCard card;
  platform::WakeAccess access = platform::WakeAccess::kFailed;
  unsigned long error = 0;  // the system's code when `access` is not kDone
  std::string error_text;   // and its text
  platform::WakeSettings wake;
  std::vector<PersistenceFinding> persistence;
};

enum class Readiness { kCanWake, kCannotWake, kNotKnown };

struct Verdict {
  Readiness readiness = Readiness::kNotKnown;
  std::vector<std::string> causes;  // why it cannot wake, or why that cannot be told
  std::string line;                 // the whole verdict line, "eth0: can wake by magic packet (...)"
};

// The verdict over one card's facts and the machine's power states; a pure function.
Verdict JudgeReadiness(const CardFacts& facts, const platform::PowerStates& power);

// The exit status of a run over these verdicts: 5 when one cannot wake, else 2 when one cannot
// be told, else 0.
int ReadinessExitStatus(const std::vector<Verdict>& verdicts);

// Whether a card is checked when no -Interface names one: an Ethernet card with a device behind
// it, so not loopback, a bridge, a bond, a veth, a VLAN, a tunnel or a wireless card.
bool CheckedByDefault(const platform::NetworkCard& card);

// printf into a string, for the texts of this module.
std::string FormatText(const char* format, ...) TIDEWAKE_PRINTF(1, 2);

// ethtool's letters for a set of wake modes (p u m b a g s f), "d" for none.
std::string WakeModeLetters(std::uint32_t modes);

// --- The files that act at every start (readiness_files.cpp) ---

// One "key=value" of an INI-style file (NetworkManager keyfiles and configuration, systemd units).
struct IniEntry {
  std::string section;
  std::string key;
  std::string value;
};
std::vector<IniEntry> ParseIni(const std::string& text);

// A shell-style assignment file (TLP): the value of the last "NAME=value", quotes removed;
// false when NAME is not assigned.
bool ShellAssignment(const std::string& text, const char* name, std::string* value);

// Whether `text` matches the shell glob `pattern` (*, ? and [...] with ranges and "!").
bool GlobMatch(const char* pattern, const char* text);

// A NetworkManager profile's effect on `card`; false when the profile is not an Ethernet one
// for this card. `default_wake` is the configured default, -1 when none.
bool JudgeNetworkManagerProfile(const std::string& text, const std::string& where, const platform::NetworkCard& card,
                                long default_wake, PersistenceFinding* finding);

// Whether a systemd .link file's [Match] section matches `card`; *unchecked names the
// conditions that cannot be checked here and are taken to match.
bool LinkFileMatches(const std::vector<IniEntry>& entries, const platform::NetworkCard& card, std::string* unchecked);

// Everything under `root` that acts on the card's wake setting at every start: NetworkManager
// profiles, systemd .link files, TLP, and pilvorne-wake@NAME.service.
std::vector<PersistenceFinding> FindPersistence(const char* root, const platform::NetworkCard& card);

// --- The run (readiness_run.cpp) ---

// The facts of the cards to check: `only` names one (any card, found by its name), else those
// CheckedByDefault. 0, or the exit status with *problem set (a line for standard error) when
// the cards cannot be listed, `only` names none, or no card is there to check.
int GatherReadiness(const char* root, const char* only, std::vector<CardFacts>* cards, std::string* problem);

// The text of one card's verdict and facts, and its -Json object (one line, no line end).
std::string ReadinessText(const CardFacts& facts, const Verdict& verdict);
std::string ReadinessJson(const CardFacts& facts, const Verdict& verdict, const platform::PowerStates& power);
std::string PowerStatesText(const platform::PowerStates& power);

// -Check and -Enable with the system's files under `root` ("" on a real machine). Returns the
// exit status.
int RunCheck(const char* root, const char* only, bool json, FILE* out, FILE* err);
int RunEnable(const char* root, const char* name, bool json, FILE* out, FILE* err);
int RunReadiness(const ListenerCommandLine& line);

}  // namespace listener

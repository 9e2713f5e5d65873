// What acts on a card's wake setting at every start: NetworkManager, systemd .link files, TLP, pilvorne's unit.
#include <cstdlib>
#include <cstring>
#include <map>

#include "common/number.h"
#include "listener/readiness.h"
#include "listener/readiness_texts.h"
#include "platform/settings_files.h"

namespace listener {

namespace {

// NetworkManager's wake-on-lan flags (NMSettingWiredWakeOnLan).
constexpr long kNmWakeDefault = 0x1;  // the configured default, else leave it alone
constexpr long kNmWakeMagic = 0x40;
constexpr long kNmWakeIgnore = 0x8000;  // leave it alone

// Where each kind of file lives, the first folder winning over the later ones for a name.
const char* const kNmProfileFolders[] = {"/etc/NetworkManager/system-connections",
                                         "/run/NetworkManager/system-connections",
                                         "/usr/lib/NetworkManager/system-connections"};
const char* const kNmConfFolders[] = {"/etc/NetworkManager/conf.d", "/run/NetworkManager/conf.d",
                                      "/usr/lib/NetworkManager/conf.d"};
constexpr char kNmMainConf[] = "/etc/NetworkManager/NetworkManager.conf";
const char* const kLinkFolders[] = {"/etc/systemd/network", "/run/systemd/network", "/usr/local/lib/systemd/network",
                                    "/usr/lib/systemd/network", "/lib/systemd/network"};
constexpr char kTlpDefaults[] = "/usr/share/tlp/defaults.conf";
constexpr char kTlpFolder[] = "/etc/tlp.d";
constexpr char kTlpConf[] = "/etc/tlp.conf";
constexpr char kUnitFolder[] = "/etc/systemd/system";

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The lines of a settings file, each without its surrounding blanks.
std::vector<std::string> TrimmedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(Trim(text.substr(at, end - at)));
    at = end + 1;
  }
  return lines;
}

bool EndsWith(const std::string& text, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

// The last value of KEY in SECTION (or in any of `sections`), empty and false when none.
bool IniValue(const std::vector<IniEntry>& entries, std::initializer_list<const char*> sections, const char* key,
              std::string* value) {
  bool found = false;
  for (const IniEntry& e : entries) {
    if (e.key != key) continue;
    for (const char* section : sections) {
      if (e.section == section) {
        *value = e.value;
        found = true;
      }
    }
  }
  return found;
}

// The files of `folders` whose names pass `wanted`, one per name (the first folder's), sorted by
// name: the order in which NetworkManager and udev take them. `denied` gets the folders that
// may not be read.
std::map<std::string, std::string> MergedFiles(const char* root, const char* const* folders, std::size_t count,
                                               bool (*wanted)(const std::string&), std::vector<std::string>* denied) {
  std::map<std::string, std::string> files;
  for (std::size_t i = 0; i < count; ++i) {
    std::vector<std::string> names;
    const platform::FileStatus status = platform::list_settings_folder(root, folders[i], &names);
    if (status == platform::FileStatus::kDenied && denied != nullptr) denied->push_back(folders[i]);
    for (const std::string& name : names) {
      if (wanted(name)) files.emplace(name, std::string(folders[i]) + "/" + name);
    }
  }
  return files;
}

// NetworkManager reads every profile file but hidden ones and editors' leftovers.
bool IsProfileName(const std::string& name) {
  return !name.empty() && name[0] != '.' && !EndsWith(name, "~") && !EndsWith(name, ".swp") && !EndsWith(name, ".tmp");
}
bool IsConfName(const std::string& name) { return EndsWith(name, ".conf"); }
bool IsLinkName(const std::string& name) { return EndsWith(name, ".link"); }

// NetworkManager's ethernet.wake-on-lan default from its configuration, -1 when not set.
long NetworkManagerDefaultWake(const char* root) {
  std::vector<std::string> paths = {kNmMainConf};
  for (const auto& file : MergedFiles(root, kNmConfFolders, 3, IsConfName, nullptr)) paths.push_back(file.second);
  long value = -1;
  for (const std::string& path : paths) {
    std::string text;
    if (platform::read_settings_file(root, path.c_str(), &text) != platform::FileStatus::kDone) continue;
    std::string setting;
    if (IniValue(ParseIni(text), {"connection"}, "ethernet.wake-on-lan", &setting)) {
      value = std::strtol(setting.c_str(), nullptr, 0);
    }
  }
  return value;
}

void FindNetworkManager(const char* root, const platform::NetworkCard& card, std::vector<PersistenceFinding>* out) {
  std::vector<std::string> denied;
  const auto files = MergedFiles(root, kNmProfileFolders, 3, IsProfileName, &denied);
  for (const std::string& folder : denied) {
    out->push_back({kByNetworkManagerFolder, folder, kSettingNmUnreadable, Keeping::kNotReadable, ""});
  }
  if (files.empty()) return;
  const long default_wake = NetworkManagerDefaultWake(root);
  for (const auto& file : files) {
    std::string text;
    const platform::FileStatus status = platform::read_settings_file(root, file.second.c_str(), &text);
    if (status == platform::FileStatus::kDenied) {
      out->push_back({kByNetworkManagerFolder, file.second, kSettingNmUnreadable, Keeping::kNotReadable, ""});
      continue;
    }
    PersistenceFinding finding;
    if (status == platform::FileStatus::kDone &&
        JudgeNetworkManagerProfile(text, file.second, card, default_wake, &finding)) {
      out->push_back(finding);
    }
  }
}

std::string LinkWakeOnLan(const std::vector<IniEntry>& entries, bool* set) {
  std::string value;
  *set = IniValue(entries, {"Link"}, "WakeOnLan", &value) && !value.empty();
  return value;
}

// The first .link file that matches a card is the one udev applies; the rest are not looked at.
void FindLinkFiles(const char* root, const platform::NetworkCard& card, std::vector<PersistenceFinding>* out) {
  std::string applied;
  for (const auto& file : MergedFiles(root, kLinkFolders, 5, IsLinkName, nullptr)) {
    std::string text;
    if (platform::read_settings_file(root, file.second.c_str(), &text) != platform::FileStatus::kDone) continue;
    // An empty file (or a link to /dev/null) of the same name masks the ones after it.
    if (Trim(text).empty()) continue;
    const std::vector<IniEntry> entries = ParseIni(text);
    std::string unchecked;
    if (!LinkFileMatches(entries, card, &unchecked)) continue;
    bool set = false;
    const std::string wake = LinkWakeOnLan(entries, &set);
    PersistenceFinding f;
    f.by = FormatText(kByLinkFileFormat, file.first.c_str());
    f.where = file.second;
    if (!applied.empty()) {
      if (!set) continue;
      f.setting = FormatText(kSettingLinkShadowedFormat, wake.c_str(), applied.c_str());
      f.keeping = Keeping::kNotApplied;
    } else {
      applied = file.first;
      f.setting = set ? FormatText(kSettingLinkFormat, wake.c_str()) : std::string(kSettingLinkUnset);
      // WakeOnLan= takes a list of words; without "magic" the card is set to wake by others only.
      const bool magic = (" " + wake + " ").find(" magic ") != std::string::npos;
      f.keeping = !set ? Keeping::kLeavesAlone : magic ? Keeping::kKeeps : Keeping::kTurnsOff;
      if (f.keeping == Keeping::kTurnsOff) f.fix = FormatText(kFixLinkFormat, file.second.c_str());
    }
    if (!unchecked.empty()) f.setting = FormatText(kSettingUncheckedFormat, f.setting.c_str(), unchecked.c_str());
    out->push_back(f);
  }
}

// TLP turns every Ethernet card's wake off at each start unless WOL_DISABLE=N; its own
// defaults, then /etc/tlp.d, then /etc/tlp.conf, the last assignment winning.
void FindTlp(const char* root, std::vector<PersistenceFinding>* out) {
  std::vector<std::string> paths = {kTlpDefaults};
  std::vector<std::string> names;
  if (platform::list_settings_folder(root, kTlpFolder, &names) == platform::FileStatus::kDone) {
    for (const std::string& name : names) {
      if (IsConfName(name)) paths.push_back(std::string(kTlpFolder) + "/" + name);
    }
  }
  paths.push_back(kTlpConf);
  bool present = false;
  std::string value;
  std::string where;
  for (const std::string& path : paths) {
    std::string text;
    if (platform::read_settings_file(root, path.c_str(), &text) != platform::FileStatus::kDone) continue;
    present = true;
    if (where.empty()) where = path;
    std::string v;
    if (ShellAssignment(text, "WOL_DISABLE", &v)) {
      value = v;
      where = path;
    }
  }
  if (!present) return;
  PersistenceFinding f;
  f.by = kByTlp;
  f.where = where;
  f.setting = value.empty() ? std::string(kSettingTlpDefault) : FormatText(kSettingTlpFormat, value.c_str());
  f.keeping = (value.empty() || value == "Y" || value == "y") ? Keeping::kTurnsOff : Keeping::kLeavesAlone;
  if (f.keeping == Keeping::kTurnsOff) f.fix = FormatText(kFixTlpFormat, kTlpConf);
  out->push_back(f);
}

// pilvorne-wake@NAME.service, enabled: a link to it in a .wants folder of a target.
void FindWakeUnit(const char* root, const platform::NetworkCard& card, std::vector<PersistenceFinding>* out) {
  const std::string unit = FormatText(kByWakeUnitFormat, card.name.c_str());
  std::vector<std::string> names;
  if (platform::list_settings_folder(root, kUnitFolder, &names) != platform::FileStatus::kDone) return;
  for (const std::string& name : names) {
    if (!EndsWith(name, ".wants")) continue;
    const std::string path = std::string(kUnitFolder) + "/" + name + "/" + unit;
    if (platform::settings_path_exists(root, path.c_str())) {
      out->push_back({unit, path, kSettingUnitEnabled, Keeping::kKeeps, ""});
      return;
    }
  }
}

// A .link [Match] condition: does any word of `list` match `text` (as a glob, or as a MAC)?
bool AnyWordMatches(const std::string& list, const std::string& text, bool as_mac, const platform::NetworkCard& card) {
  std::size_t at = 0;
  while (at < list.size()) {
    const std::size_t end = std::min(list.find_first_of(" \t", at), list.size());
    const std::string word = list.substr(at, end - at);
    at = end + 1;
    if (word.empty()) continue;
    if (as_mac) {
      std::uint8_t mac[6];
      if (card.mac_known && wake::ReadMacText(word.c_str(), mac) && std::memcmp(mac, card.mac, 6) == 0) return true;
    } else if (GlobMatch(word.c_str(), text.c_str())) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::vector<IniEntry> ParseIni(const std::string& text) {
  std::vector<IniEntry> entries;
  std::string section;
  for (const std::string& line : TrimmedLines(text)) {
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line[0] == '[') {
      const std::size_t close = line.find(']');
      section = close == std::string::npos ? std::string() : line.substr(1, close - 1);
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    entries.push_back({section, Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))});
  }
  return entries;
}

bool ShellAssignment(const std::string& text, const char* name, std::string* value) {
  const std::string prefix = std::string(name) + "=";
  bool found = false;
  for (const std::string& line : TrimmedLines(text)) {
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    std::string v = line.substr(prefix.size());
    if (!v.empty() && (v[0] == '"' || v[0] == '\'')) {
      const std::size_t close = v.find(v[0], 1);
      v = v.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else {
      v = Trim(v.substr(0, v.find('#')));
    }
    *value = v;
    found = true;
  }
  return found;
}

bool GlobMatch(const char* pattern, const char* text) {
  // Backtracking over the last "*" only: linear enough for interface and driver names.
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*text != '\0') {
    if (*pattern == '*') {
      star = pattern++;
      resume = text;
      continue;
    }
    bool one = false;
    const char* next = pattern + 1;
    if (*pattern == '?') {
      one = true;
    } else if (*pattern == '[') {
      const char* p = pattern + 1;
      const bool negate = (*p == '!' || *p == '^');
      if (negate) ++p;
      bool in = false;
      bool first = true;
      for (; *p != '\0' && (first || *p != ']'); ++p, first = false) {
        if (p[1] == '-' && p[2] != ']' && p[2] != '\0') {
          in = in || (*text >= p[0] && *text <= p[2]);
          p += 2;
        } else {
          in = in || *text == *p;
        }
      }
      if (*p == ']') {
        one = in != negate;
        next = p + 1;
      } else {
        one = *text == '[';  // no closing bracket: a plain "["
      }
    } else {
      one = *pattern != '\0' && *pattern == *text;
    }
    if (one) {
      pattern = next;
      ++text;
    } else if (star != nullptr) {
      pattern = star + 1;
      text = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

bool JudgeNetworkManagerProfile(const std::string& text, const std::string& where, const platform::NetworkCard& card,
                                long default_wake, PersistenceFinding* finding) {
  const std::vector<IniEntry> entries = ParseIni(text);
  std::string type, id, interface_name, mac_text, wake_text;
  IniValue(entries, {"connection"}, "type", &type);
  if (type != "ethernet" && type != "802-3-ethernet") return false;
  // A profile bound to an interface name or a MAC address is that card's; one bound to neither
  // may be brought up on any Ethernet card.
  if (IniValue(entries, {"connection"}, "interface-name", &interface_name) && !interface_name.empty() &&
      interface_name != card.name) {
    return false;
  }
  std::uint8_t mac[6];
  if (IniValue(entries, {"ethernet", "802-3-ethernet"}, "mac-address", &mac_text) && !mac_text.empty() &&
      (!card.mac_known || !wake::ReadMacText(mac_text.c_str(), mac) || std::memcmp(mac, card.mac, 6) != 0)) {
    return false;
  }
  if (!IniValue(entries, {"connection"}, "id", &id) || id.empty()) {
    id = where.substr(where.rfind('/') + 1);
  }
  long wake = -1;
  if (IniValue(entries, {"ethernet", "802-3-ethernet"}, "wake-on-lan", &wake_text)) {
    wake = std::strtol(wake_text.c_str(), nullptr, 0);
  }

  *finding = PersistenceFinding{};
  finding->by = FormatText(kByNetworkManagerFormat, id.c_str());
  finding->where = where;
  finding->setting = wake < 0 ? std::string(kSettingNmUnset) : FormatText(kSettingNmFormat, wake);
  long effective = wake;
  if (wake < 0 || wake == kNmWakeDefault) {
    effective = default_wake;
    if (default_wake >= 0)
      finding->setting = FormatText(kSettingNmDefaultFormat, finding->setting.c_str(), default_wake);
  }
  // No setting, "default" without a configured default, and "ignore" leave the card as it is;
  // 0 ("none") and any modes without the magic packet turn wake by magic packet off.
  if (effective < 0 || effective == kNmWakeDefault || (effective & kNmWakeIgnore) != 0) {
    finding->keeping = Keeping::kLeavesAlone;
  } else if ((effective & kNmWakeMagic) != 0) {
    finding->keeping = Keeping::kKeeps;
  } else {
    finding->keeping = Keeping::kTurnsOff;
    finding->fix = FormatText(kFixNmFormat, id.c_str());
  }
  return true;
}

bool LinkFileMatches(const std::vector<IniEntry>& entries, const platform::NetworkCard& card, std::string* unchecked) {
  // Assignments of one key add to its list, an empty one clears it; a list that starts with
  // "!" matches what its words do not.
  std::map<std::string, std::string> lists;
  for (const IniEntry& e : entries) {
    if (e.section != "Match") continue;
    std::string& list = lists[e.key];
    list = e.value.empty() ? std::string() : (list.empty() ? e.value : list + " " + e.value);
  }
  unchecked->clear();
  const std::string type = card.wireless ? "wlan" : card.ethernet ? "ether" : "";
  for (const auto& condition : lists) {
    std::string list = condition.second;
    if (list.empty()) continue;
    const bool negate = list[0] == '!';
    if (negate) list.erase(0, 1);
    const std::string& key = condition.first;
    bool matches;
    // OriginalName is the kernel's name before udev renames the card; the name it has now
    // stands for it (the two differ only where the kernel's names are replaced).
    if (key == "MACAddress" || key == "PermanentMACAddress") {
      matches = AnyWordMatches(list, "", true, card);
    } else if (key == "OriginalName") {
      matches = AnyWordMatches(list, card.name, false, card);
    } else if (key == "Driver") {
      matches = AnyWordMatches(list, card.driver, false, card);
    } else if (key == "Type") {
      matches = AnyWordMatches(list, type, false, card);
    } else {
      // Path=, Property=, Host=, Virtualization= and the like: taken to match, and named.
      if (!unchecked->empty()) *unchecked += ", ";
      *unchecked += key + "=";
      continue;
    }
    if (matches == negate) return false;
  }
  return true;
}

std::vector<PersistenceFinding> FindPersistence(const char* root, const platform::NetworkCard& card) {
  std::vector<PersistenceFinding> findings;
  FindWakeUnit(root, card, &findings);
  FindNetworkManager(root, card, &findings);
  FindLinkFiles(root, card, &findings);
  FindTlp(root, &findings);
  return findings;
}

}  // namespace listener

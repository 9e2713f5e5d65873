// What -Check prints of a card: the verdict line and the facts under it, or one JSON object.
#include <cstring>

#include "common/address_text.h"
#include "listener/inspect.h"
#include "listener/readiness.h"
#include "listener/readiness_texts.h"

namespace listener {

namespace {

// The JSON tokens of Keeping, in its order.
constexpr char kKeepingJson[5][12] = {"keeps", "turns_off", "leaves", "not_applied", "unreadable"};

std::string MacText(const platform::NetworkCard& card) {
  if (!card.mac_known) return kNotKnown;
  char text[wake::kMacTextRoom];
  wake::FormatMacText(card.mac, text);
  return text;
}

std::string ModeWords(std::uint32_t modes) {
  std::string words;
  for (int bit = 0; bit < platform::kWakeModeCount; ++bit) {
    if ((modes & (1u << bit)) == 0) continue;
    if (!words.empty()) words += ", ";
    words += kModeWords[bit];
  }
  return words.empty() ? std::string(kNoModesWord) : words;
}

bool PasswordSet(const platform::WakeSettings& w) {
  for (std::uint8_t byte : w.password) {
    if (byte != 0) return true;
  }
  return false;
}

bool KeptByNone(const CardFacts& f) {
  for (const PersistenceFinding& p : f.persistence) {
    if (p.keeping == Keeping::kKeeps) return false;
  }
  return true;
}

void AppendKernelFacts(const CardFacts& f, std::string* text) {
  const platform::WakeSettings& w = f.wake;
  const char* name = f.card.name.c_str();
  if (f.access == platform::WakeAccess::kNotSupported) {
    *text += FormatText(kFactNoModesFormat, f.error_text.c_str());
  } else if (f.access == platform::WakeAccess::kNoPermission) {
    *text += kFactModesNeedCapNetAdmin;
  } else if (f.access != platform::WakeAccess::kDone) {
    *text += FormatText(kFactModesUnreadableFormat, f.error_text.c_str());
  } else {
    *text += FormatText(kFactSupportedFormat, WakeModeLetters(w.supported).c_str(), ModeWords(w.supported).c_str());
    *text += FormatText(kFactEnabledFormat, WakeModeLetters(w.enabled).c_str(), ModeWords(w.enabled).c_str());
    if ((w.supported & platform::kWakeMagicSecure) != 0) *text += PasswordSet(w) ? kFactPasswordSet : kFactPasswordNone;
  }
  switch (f.card.device_wakeup) {
    case platform::DeviceWakeup::kEnabled:
    case platform::DeviceWakeup::kDisabled:
      *text += FormatText(kFactDeviceWakeupFormat, kWakeupWords[static_cast<int>(f.card.device_wakeup)], name);
      break;
    case platform::DeviceWakeup::kNotShown:
      *text += kFactDeviceWakeupNotShown;
      break;
    case platform::DeviceWakeup::kNotKnown:
      *text += kFactDeviceWakeupNotKnown;
      break;
  }
  const std::string port = f.card.master.empty() ? std::string() : FormatText(kFactPortOfFormat, f.card.master.c_str());
  *text += FormatText(kFactDriverFormat, f.card.driver.empty() ? kNotKnown : f.card.driver.c_str(),
                      kLinkWords[static_cast<int>(f.card.link)], MacText(f.card).c_str(), port.c_str());
  if (!w.from_kernel) return;
  for (const PersistenceFinding& p : f.persistence) {
    const std::string what =
        FormatText(kFactPersistenceSettingFormat, p.setting.c_str(), kKeepingWords[static_cast<int>(p.keeping)]);
    *text += FormatText(kFactPersistenceFormat, p.by.c_str(), p.where.c_str(), what.c_str());
  }
  if (KeptByNone(f)) *text += kFactNothingKeeps;
}

void AppendKeyword(const char* name, long value, std::string* text) {
  *text += value < 0 ? FormatText(kFactKeywordAbsentFormat, name) : FormatText(kFactKeywordFormat, name, value);
}

void AppendRegistryFacts(const CardFacts& f, std::string* text) {
  const platform::WakeSettings& w = f.wake;
  *text += FormatText(kFactAdapterFormat, f.card.description.c_str(), f.card.id.c_str(),
                      kLinkWords[static_cast<int>(f.card.link)], MacText(f.card).c_str());
  if (!w.from_registry) {
    *text += FormatText(kFactKeyMissingFormat, kNetworkClassKey, f.card.id.c_str());
  } else {
    *text += FormatText(kFactKeyFormat, kNetworkClassKey, w.key.c_str());
    AppendKeyword("*WakeOnMagicPacket", w.magic_packet, text);
    AppendKeyword("*WakeOnPattern", w.pattern, text);
    // Bit 0x8 clears "Allow the computer to turn off this device to save power".
    *text += w.pnp_capabilities < 0 ? std::string(kFactPnpAbsent)
                                    : FormatText(kFactPnpFormat, w.pnp_capabilities,
                                                 (w.pnp_capabilities & 0x8) != 0 ? kPnpMayNotTurnOff : kPnpMayTurnOff);
  }
  const platform::DeviceWakeup armed = f.card.device_wakeup;
  *text += FormatText(kFactArmedFormat, armed == platform::DeviceWakeup::kEnabled    ? kArmedYes
                                        : armed == platform::DeviceWakeup::kDisabled ? kArmedNo
                                                                                     : kArmedNotKnown);
}

// A JSON string (escaped as the inspector's are), or null for an empty text when `null_if_empty`.
std::string Json(const std::string& value, bool null_if_empty = false) {
  if (null_if_empty && value.empty()) return "null";
  std::vector<char> buffer(value.size() * 6 + 3);  // every byte at worst \u00XX, and the quotes
  TextLine line{buffer.data(), buffer.size(), 0};
  AppendJsonString(&line, value.c_str());
  return std::string(line.data, line.length);
}

std::string JsonNumber(long value) { return value < 0 ? std::string("null") : FormatText("%ld", value); }

}  // namespace

std::string ReadinessText(const CardFacts& facts, const Verdict& verdict) {
  std::string text = verdict.line + "\n";
  if (!facts.card.id.empty()) {
    AppendRegistryFacts(facts, &text);
  } else {
    AppendKernelFacts(facts, &text);
  }
  return text;
}

std::string PowerStatesText(const platform::PowerStates& power) {
  const std::string mem =
      power.mem_sleep.empty() ? std::string() : FormatText(kPowerMemSleepFormat, power.mem_sleep.c_str());
  const std::string fast =
      power.fast_startup < 0
          ? std::string()
          : FormatText(kPowerFastStartupFormat, power.fast_startup == 0 ? "off" : "on", power.fast_startup);
  return FormatText(kPowerFormat, power.offered.empty() ? kNotKnown : power.offered.c_str(), mem.c_str(), fast.c_str());
}

std::string ReadinessJson(const CardFacts& f, const Verdict& verdict, const platform::PowerStates& power) {
  const platform::WakeSettings& w = f.wake;
  const bool modes = f.access == platform::WakeAccess::kDone && w.from_kernel;
  const platform::DeviceWakeup wakeup = f.card.device_wakeup;
  std::string j = "{\"name\":" + Json(f.card.name);
  j += ",\"supported\":" + (modes ? Json(WakeModeLetters(w.supported)) : std::string("null"));
  j += ",\"enabled\":" + (modes ? Json(WakeModeLetters(w.enabled)) : std::string("null"));
  j += ",\"password\":" + (modes ? std::string(PasswordSet(w) ? "true" : "false") : std::string("null"));
  j +=
      ",\"device_wakeup\":" + (wakeup == platform::DeviceWakeup::kEnabled || wakeup == platform::DeviceWakeup::kDisabled
                                   ? Json(kWakeupWords[static_cast<int>(wakeup)])
                                   : std::string("null"));
  j += ",\"driver\":" + Json(f.card.driver, true);
  j += ",\"link\":" + (f.card.link == platform::LinkState::kNotKnown ? std::string("null")
                                                                     : Json(kLinkWords[static_cast<int>(f.card.link)]));
  j += ",\"persistence\":[";
  for (std::size_t i = 0; i < f.persistence.size(); ++i) {
    const PersistenceFinding& p = f.persistence[i];
    j += (i == 0 ? "{" : ",{");
    j += "\"by\":" + Json(p.by) + ",\"file\":" + Json(p.where) + ",\"setting\":" + Json(p.setting);
    j += ",\"effect\":" + Json(kKeepingJson[static_cast<int>(p.keeping)]) + "}";
  }
  j += "],\"adapter\":";
  if (f.card.id.empty()) {
    j += "null";
  } else {
    j += "{\"id\":" + Json(f.card.id) + ",\"description\":" + Json(f.card.description);
    j += ",\"key\":" + Json(w.key, true) + ",\"WakeOnMagicPacket\":" + JsonNumber(w.magic_packet);
    j += ",\"WakeOnPattern\":" + JsonNumber(w.pattern) + ",\"PnPCapabilities\":" + JsonNumber(w.pnp_capabilities) + "}";
  }
  j += ",\"sleep_states\":" + Json(power.offered, true);
  j += ",\"fast_startup\":" +
       (power.fast_startup < 0 ? std::string("null") : std::string(power.fast_startup ? "true" : "false"));
  j += ",\"verdict\":" + Json(kVerdictWords[static_cast<int>(verdict.readiness)]) + ",\"causes\":[";
  for (std::size_t i = 0; i < verdict.causes.size(); ++i) j += (i == 0 ? "" : ",") + Json(verdict.causes[i]);
  return j + "]}";
}

}  // namespace listener

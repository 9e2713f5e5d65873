// The readiness verdict: one card's wake facts in, whether it can wake the machine by magic packet and why not out.
#include "listener/readiness.h"

#include <cstdarg>

#include "listener/readiness_texts.h"

namespace listener {

namespace {

std::string Join(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += "; ";
    text += part;
  }
  return text;
}

// The name as a command line takes it: a name with a blank ("Ethernet 2") in quotes.
std::string CommandLineName(const std::string& name) {
  return name.find(' ') == std::string::npos ? name : "\"" + name + "\"";
}

// The causes of a card whose driver gave its modes (Linux). `enable_helps`: -Enable mends one.
void JudgeKernelModes(const CardFacts& f, std::vector<std::string>* causes, std::vector<std::string>* details,
                      bool* enable_helps) {
  const platform::WakeSettings& w = f.wake;
  if (w.supported == 0) {
    causes->push_back(kCauseNoWakeSupport);
  } else if ((w.supported & platform::kWakeMagic) == 0) {
    causes->push_back(FormatText(kCauseNoMagicFormat, WakeModeLetters(w.supported).c_str()));
  } else if ((w.enabled & platform::kWakeMagic) == 0) {
    causes->push_back(
        FormatText(kCauseWakeOffFormat, WakeModeLetters(w.enabled).c_str(), WakeModeLetters(w.supported).c_str()));
    *enable_helps = true;
  }
  details->push_back(FormatText(kDetailWakeOnFormat, WakeModeLetters(w.enabled).c_str()));
  // With SecureOn on, only a magic packet that carries the password wakes the card.
  if ((w.enabled & platform::kWakeMagicSecure) != 0) details->push_back(kDetailPassword);

  switch (f.card.device_wakeup) {
    case platform::DeviceWakeup::kDisabled:
      causes->push_back(FormatText(kCauseDeviceWakeupOffFormat, f.card.name.c_str()));
      *enable_helps = true;
      break;
    case platform::DeviceWakeup::kEnabled:
      details->push_back(kDetailDeviceWakeup);
      break;
    case platform::DeviceWakeup::kNotKnown:
      details->push_back(kDetailDeviceWakeupNotKnown);
      break;
    case platform::DeviceWakeup::kNotShown:
      break;
  }

  // The kernel forgets the setting when the driver is loaded again: what runs at every start
  // decides whether it is there after the next one.
  const PersistenceFinding* keeper = nullptr;
  for (const PersistenceFinding& p : f.persistence) {
    if (p.keeping == Keeping::kTurnsOff) {
      std::string cause = FormatText(kCauseTurnedOffFormat, p.by.c_str(), p.setting.c_str(), p.where.c_str());
      if (!p.fix.empty()) cause = FormatText(kCauseFixFormat, cause.c_str(), p.fix.c_str());
      causes->push_back(cause);
    } else if (p.keeping == Keeping::kKeeps && keeper == nullptr) {
      keeper = &p;
    }
  }
  details->push_back(keeper != nullptr ? FormatText(kDetailKeptByFormat, keeper->by.c_str())
                                       : std::string(kDetailNothingKeeps));
}

// The causes of an adapter whose registry keywords were read (Windows).
void JudgeRegistryKeywords(const CardFacts& f, std::vector<std::string>* causes, std::vector<std::string>* details,
                           bool* enable_helps) {
  const platform::WakeSettings& w = f.wake;
  if (w.magic_packet < 0) {
    causes->push_back(FormatText(kCauseNoMagicKeywordFormat, kNetworkClassKey, w.key.c_str()));
  } else if (w.magic_packet == 0) {
    causes->push_back(FormatText(kCauseMagicKeywordOffFormat, w.magic_packet));
    *enable_helps = true;
  }
  if (w.magic_packet >= 0) details->push_back(FormatText(kDetailMagicKeywordFormat, w.magic_packet));
  switch (f.card.device_wakeup) {
    case platform::DeviceWakeup::kDisabled:
      causes->push_back(kCauseNotArmed);
      *enable_helps = true;
      break;
    case platform::DeviceWakeup::kEnabled:
      details->push_back(kDetailArmed);
      break;
    case platform::DeviceWakeup::kNotKnown:
    case platform::DeviceWakeup::kNotShown:
      details->push_back(kDetailArmedNotKnown);
      break;
  }
}

}  // namespace

std::string FormatText(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list copy;
  va_copy(copy, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(&text[0], text.size(), format, arguments);
    text.resize(static_cast<std::size_t>(length));
  }
  va_end(arguments);
  return text;
}

std::string WakeModeLetters(std::uint32_t modes) {
  std::string letters;
  for (int bit = 0; bit < platform::kWakeModeCount; ++bit) {
    if ((modes & (1u << bit)) != 0) letters += kModeLetters[bit];
  }
  return letters.empty() ? std::string(kNoModesLetter) : letters;
}

bool CheckedByDefault(const platform::NetworkCard& card) { return card.ethernet && card.has_device && !card.wireless; }

Verdict JudgeReadiness(const CardFacts& f, const platform::PowerStates& power) {
  Verdict v;
  std::vector<std::string> details;
  bool enable_helps = false;
  const char* name = f.card.name.c_str();
  if (f.access == platform::WakeAccess::kNotSupported) {
    v.causes.push_back(kCauseNoWakeSupport);
  } else if (f.access != platform::WakeAccess::kDone) {
    // The adapter list names a GUID that no key of the network class holds (Windows), or the
    // system refused to answer.
    if (!f.card.id.empty() && f.access == platform::WakeAccess::kNoDevice) {
      v.causes.push_back(FormatText(kCauseNoAdapterKeyFormat, kNetworkClassKey, f.card.id.c_str()));
    } else if (f.card.id.empty() && f.access == platform::WakeAccess::kNoPermission) {
      v.causes.push_back(kCauseNeedsCapNetAdmin);
    } else {
      v.causes.push_back(FormatText(kCauseUnreadableFormat, f.error_text.c_str()));
    }
    v.readiness = Readiness::kNotKnown;
    v.line = FormatText(kVerdictCannotTellFormat, name, Join(v.causes).c_str());
    return v;
  } else if (f.wake.from_registry) {
    JudgeRegistryKeywords(f, &v.causes, &details, &enable_helps);
  } else {
    JudgeKernelModes(f, &v.causes, &details, &enable_helps);
  }

  // Fast Startup is a hibernation that Windows calls Shut down: many cards are not armed for it.
  if (power.fast_startup == 1) v.causes.push_back(kCauseFastStartup);
  if (power.fast_startup == 0) details.push_back(kDetailFastStartupOff);

  if (v.causes.empty()) {
    v.readiness = Readiness::kCanWake;
    v.line = FormatText(kVerdictCanWakeFormat, name, Join(details).c_str());
    return v;
  }
  v.readiness = Readiness::kCannotWake;
  v.line = FormatText(kVerdictCannotWakeFormat, name, Join(v.causes).c_str());
  if (enable_helps) {
    v.line += FormatText(f.wake.from_registry ? kRemedyWindowsFormat : kRemedyEnableFormat,
                         CommandLineName(f.card.name).c_str());
  }
  return v;
}

int ReadinessExitStatus(const std::vector<Verdict>& verdicts) {
  bool unknown = false;
  for (const Verdict& v : verdicts) {
    if (v.readiness == Readiness::kCannotWake) return kExitCannotWake;
    if (v.readiness == Readiness::kNotKnown) unknown = true;
  }
  return unknown ? kExitReadinessUnknown : 0;
}

}  // namespace listener

// pilvorne -Check and -Enable: the cards' facts gathered, the verdicts printed, magic-packet wake turned on.
#include <cstring>

#include "common/ascii.h"
#include "listener/listener.h"
#include "listener/readiness.h"
#include "listener/readiness_texts.h"
#include "platform/system.h"

namespace listener {

namespace {

std::string ErrorText(unsigned long code) {
  char* message = platform::system_message_alloc(code);
  std::string text = message != nullptr ? std::string(message) : FormatText(kUnknownError, code);
  platform::free_system_message(message);
  return text;
}

// The card named `name`: by its exact name, else by the one name that equals it in any case
// (Windows' adapter names ignore case). Only a listed card is taken, so a name never becomes
// a path of its own under /sys.
const platform::NetworkCard* FindCard(const std::vector<platform::NetworkCard>& cards, const char* name) {
  const platform::NetworkCard* found = nullptr;
  int folded = 0;
  for (const platform::NetworkCard& card : cards) {
    if (card.name == name) return &card;
    if (wake::EqualsNoCase(card.name.c_str(), name)) {
      found = &card;
      ++folded;
    }
  }
  return folded == 1 ? found : nullptr;
}

CardFacts FactsOf(const char* root, const platform::NetworkCard& card) {
  CardFacts f;
  f.card = card;
  f.access = platform::read_wake_settings(card, &f.wake, &f.error);
  if (f.access != platform::WakeAccess::kDone) f.error_text = ErrorText(f.error);
  // What the kernel holds is gone when the driver loads again: look for what sets it then.
  if (f.access == platform::WakeAccess::kDone && f.wake.from_kernel) f.persistence = FindPersistence(root, card);
  return f;
}

bool Print(const std::string& text, FILE* out) { return WriteOutput(text.data(), text.size(), out); }

void PrintProblem(const std::string& text, FILE* err) {
  std::fputs(text.c_str(), err);
  std::fflush(err);
}

}  // namespace

int GatherReadiness(const char* root, const char* only, std::vector<CardFacts>* facts, std::string* problem) {
  facts->clear();
  std::vector<platform::NetworkCard> cards;
  if (!platform::list_network_cards(root, &cards)) {
    *problem = FormatText(kCannotListCards, ErrorText(platform::last_error()).c_str());
    return kExitReadinessUnknown;
  }
  if (only != nullptr) {
    const platform::NetworkCard* card = FindCard(cards, only);
    if (card == nullptr) {
      *problem = FormatText(kNoSuchInterfaceFormat, only);
      return kExitReadinessUnknown;
    }
    facts->push_back(FactsOf(root, *card));
    return 0;
  }
  std::string left_out;
  for (const platform::NetworkCard& card : cards) {
    if (CheckedByDefault(card)) {
      facts->push_back(FactsOf(root, card));
    } else if (card.ethernet) {
      left_out += (left_out.empty() ? "" : ", ") + card.name;
    }
  }
  if (!facts->empty()) return 0;
  // Nothing here can wake the machine by magic packet, so this is no success.
  *problem = FormatText(kNoCardFormat,
                        left_out.empty() ? kNoCardNone : FormatText(kNoCardLeftOutFormat, left_out.c_str()).c_str());
  return kExitCannotWake;
}

int RunCheck(const char* root, const char* only, bool json, FILE* out, FILE* err) {
  std::vector<CardFacts> facts;
  std::string problem;
  const int status = GatherReadiness(root, only, &facts, &problem);
  if (status != 0) {
    PrintProblem(problem, err);
    return status;
  }
  platform::PowerStates power;
  platform::read_power_states(root, &power);
  std::vector<Verdict> verdicts;
  for (const CardFacts& f : facts) {
    verdicts.push_back(JudgeReadiness(f, power));
    const std::string text = json ? ReadinessJson(f, verdicts.back(), power) + "\n" : ReadinessText(f, verdicts.back());
    if (!Print(text, out)) return kExitUsage;
  }
  if (!json && !Print(PowerStatesText(power), out)) return kExitUsage;
  return ReadinessExitStatus(verdicts);
}

int RunEnable(const char* root, const char* name, bool json, FILE* out, FILE* err) {
  std::vector<CardFacts> facts;
  std::string problem;
  const int status = GatherReadiness(root, name, &facts, &problem);
  if (status != 0) {
    PrintProblem(problem, err);
    return status;
  }
  const CardFacts& f = facts.front();
  const char* card = f.card.name.c_str();
  // A Windows adapter: the administrator's commands, and nothing changed.
  if (!f.card.id.empty()) {
    platform::PowerStates power;
    platform::read_power_states(root, &power);
    std::string text = FormatText(kEnableWindowsFormat, card, f.card.description.c_str(), card);
    if (power.fast_startup == 1) text += kEnableWindowsFastStartup;
    PrintProblem(text, err);
    return kExitReadinessUnknown;
  }
  if (!platform::may_change_wake_settings()) {
    PrintProblem(kNeedsCapNetAdmin, err);
    return kExitReadinessUnknown;
  }
  const bool supported = f.access == platform::WakeAccess::kDone && (f.wake.supported & platform::kWakeMagic) != 0;
  if (f.access == platform::WakeAccess::kNotSupported || (f.access == platform::WakeAccess::kDone && !supported)) {
    PrintProblem(FormatText(kEnableNotSupportedFormat, card), err);
    return kExitCannotWake;
  }
  if (f.access != platform::WakeAccess::kDone) {
    PrintProblem(FormatText(kEnableUnreadableFormat, card, f.error_text.c_str()), err);
    return kExitReadinessUnknown;
  }
  if ((f.wake.enabled & platform::kWakeMagic) == 0) {
    // The modes already on stay on, the SecureOn password with them.
    unsigned long error = 0;
    const platform::WakeAccess done =
        platform::write_wake_modes(card, f.wake.enabled | platform::kWakeMagic, f.wake.password, &error);
    if (done == platform::WakeAccess::kNoPermission) {
      PrintProblem(kNeedsCapNetAdmin, err);
      return kExitReadinessUnknown;
    }
    if (done == platform::WakeAccess::kNotSupported) {
      PrintProblem(FormatText(kEnableNotSupportedFormat, card), err);
      return kExitCannotWake;
    }
    if (done != platform::WakeAccess::kDone) {
      PrintProblem(FormatText(kEnableFailedFormat, card, ErrorText(error).c_str()), err);
      return kExitReadinessUnknown;
    }
  }
  if (f.card.device_wakeup == platform::DeviceWakeup::kDisabled && !platform::enable_device_wakeup(root, card)) {
    PrintProblem(FormatText(kEnableWakeupFailedFormat, card, card, ErrorText(platform::last_error()).c_str()), err);
    return kExitReadinessUnknown;
  }
  return RunCheck(root, card, json, out, err);
}

int RunReadiness(const ListenerCommandLine& line) {
  const InspectOptions& o = line.options;
  if (line.enable) return RunEnable("", o.interface_name, o.json, stdout, stderr);
  return RunCheck("", o.interface_name, o.json, stdout, stderr);
}

}  // namespace listener

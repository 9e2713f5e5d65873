// Every text of pilvorne's -Check and -Enable, in one place.
#pragma once

namespace listener {

// The verdict line: the card's name, then what it comes to.
constexpr char kVerdictCanWakeFormat[] = "%s: can wake by magic packet (%s)";
constexpr char kVerdictCannotWakeFormat[] = "%s: cannot wake: %s";
constexpr char kVerdictCannotTellFormat[] = "%s: cannot tell whether it can wake: %s";
constexpr char kVerdictWords[3][16] = {"can wake", "cannot wake", "cannot tell"};

// What a card that can wake has going for it.
constexpr char kDetailWakeOnFormat[] = "Wake-on: %s";
constexpr char kDetailPassword[] = "SecureOn password set: the magic packet must carry it";
constexpr char kDetailDeviceWakeup[] = "device wakeup enabled";
constexpr char kDetailDeviceWakeupNotKnown[] = "device wakeup not known";
constexpr char kDetailKeptByFormat[] = "kept by %s";
constexpr char kDetailNothingKeeps[] = "nothing keeps it across a reboot";
constexpr char kDetailMagicKeywordFormat[] = "*WakeOnMagicPacket %ld";
constexpr char kDetailArmed[] = "armed to wake";
constexpr char kDetailArmedNotKnown[] = "armed to wake: cannot be read here";
constexpr char kDetailFastStartupOff[] = "Fast Startup off";

// Why a card cannot wake, or why that cannot be told.
constexpr char kCauseNoWakeSupport[] =
    "the card does not support Wake-on-LAN, so this interface cannot wake the machine";
constexpr char kCauseNoMagicFormat[] = "the card does not support wake by magic packet (supported: %s)";
constexpr char kCauseWakeOffFormat[] = "Wake-on: %s (supported: %s)";
constexpr char kCauseDeviceWakeupOffFormat[] = "device wakeup disabled (/sys/class/net/%s/device/power/wakeup)";
constexpr char kCauseTurnedOffFormat[] = "%s turns it off at every start (%s in %s)";
constexpr char kCauseFixFormat[] = "%s; %s";
constexpr char kCauseUnreadableFormat[] = "the wake settings cannot be read (%s)";
constexpr char kCauseNeedsCapNetAdmin[] =
    "the kernel shows a card's wake modes only to a process with the CAP_NET_ADMIN capability: run "
    "pilvorne -Check as root";
constexpr char kCauseNoAdapterKeyFormat[] =
    "no key under HKLM\\%s has NetCfgInstanceId %s, so the adapter's settings cannot be read";
constexpr char kCauseNoMagicKeywordFormat[] =
    "the adapter's driver offers no wake by magic packet (no *WakeOnMagicPacket in HKLM\\%s\\%s)";
constexpr char kCauseMagicKeywordOffFormat[] = "wake by magic packet is off (*WakeOnMagicPacket %ld)";
constexpr char kCauseNotArmed[] = "the device is not armed to wake the computer";
constexpr char kCauseFastStartup[] =
    "Fast Startup is on: after Shut down this machine may not wake; wake from sleep or hibernation still works";
constexpr char kRemedyEnableFormat[] = "; run pilvorne -Enable -Interface=%s as root";
constexpr char kRemedyWindowsFormat[] = "; pilvorne -Enable -Interface=%s prints an administrator's commands";
constexpr char kNetworkClassKey[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972-e325-11ce-bfc1-08002be10318}";

// The facts under the verdict line, two blanks in.
constexpr char kFactSupportedFormat[] = "  wake modes supported: %s (%s)\n";
constexpr char kFactEnabledFormat[] = "  wake modes enabled: %s (%s)\n";
constexpr char kFactNoModesFormat[] = "  wake modes: none, the driver has no Wake-on-LAN (%s)\n";
constexpr char kFactModesUnreadableFormat[] = "  wake modes: cannot be read (%s)\n";
constexpr char kFactModesNeedCapNetAdmin[] = "  wake modes: shown only with CAP_NET_ADMIN\n";
constexpr char kFactPasswordSet[] = "  SecureOn password: set\n";
constexpr char kFactPasswordNone[] = "  SecureOn password: none\n";
constexpr char kFactDeviceWakeupFormat[] = "  device wakeup: %s (/sys/class/net/%s/device/power/wakeup)\n";
constexpr char kFactDeviceWakeupNotShown[] = "  device wakeup: not shown (the device has no wakeup flag)\n";
constexpr char kFactDeviceWakeupNotKnown[] = "  device wakeup: cannot be read\n";
constexpr char kFactDriverFormat[] = "  driver: %s; link: %s; MAC %s%s\n";
constexpr char kFactPortOfFormat[] = "; port of %s";
constexpr char kFactPersistenceFormat[] = "  across a reboot: %s (%s): %s\n";
constexpr char kFactPersistenceSettingFormat[] = "%s, %s";
constexpr char kFactNothingKeeps[] = "  across a reboot: nothing keeps it\n";
constexpr char kFactAdapterFormat[] = "  adapter: %s, GUID %s; link: %s; MAC %s\n";
constexpr char kFactKeyFormat[] = "  registry key: HKLM\\%s\\%s\n";
constexpr char kFactKeyMissingFormat[] = "  registry key: none under HKLM\\%s has NetCfgInstanceId %s\n";
constexpr char kFactKeywordFormat[] = "  %s: %ld\n";
constexpr char kFactKeywordAbsentFormat[] = "  %s: absent\n";
constexpr char kFactPnpFormat[] = "  PnPCapabilities: %ld (%s)\n";
constexpr char kFactPnpAbsent[] = "  PnPCapabilities: absent (Windows may turn the device off to save power)\n";
constexpr char kPnpMayTurnOff[] = "Windows may turn the device off to save power";
constexpr char kPnpMayNotTurnOff[] = "Windows may not turn the device off";
constexpr char kFactArmedFormat[] = "  armed to wake: %s\n";
constexpr char kArmedYes[] = "yes";
constexpr char kArmedNo[] = "no";
constexpr char kArmedNotKnown[] = "cannot be read here (the power API's device query is missing)";
constexpr char kPowerFormat[] = "this machine: sleep states %s%s%s\n";
constexpr char kPowerMemSleepFormat[] = "; mem sleep %s";
constexpr char kPowerFastStartupFormat[] = "; Fast Startup %s (HiberbootEnabled %ld)";
constexpr char kNotKnown[] = "not known";

// What a file found does at every start, as the facts name it.
constexpr char kKeepingWords[5][40] = {"keeps wake by magic packet", "turns it off", "leaves it as it is",
                                       "not applied", "cannot be read"};
constexpr char kLinkWords[3][12] = {"not known", "up", "down"};
constexpr char kWakeupWords[4][12] = {"not shown", "enabled", "disabled", "not known"};

// Wake mode words, bit by bit as the kernel numbers them.
constexpr char kModeLetters[] = "pumbagsf";
constexpr char kModeWords[8][20] = {"phy", "unicast",      "multicast",         "broadcast",
                                    "arp", "magic packet", "SecureOn password", "filter"};
constexpr char kNoModesLetter[] = "d";
constexpr char kNoModesWord[] = "none";

// The things that act at every start.
constexpr char kByNetworkManagerFormat[] = "NetworkManager profile \"%s\"";
constexpr char kByNetworkManagerFolder[] = "NetworkManager profiles";
constexpr char kByLinkFileFormat[] = "systemd link file %s";
constexpr char kByTlp[] = "TLP";
constexpr char kByWakeUnitFormat[] = "pilvorne-wake@%s.service";
constexpr char kSettingNmFormat[] = "wake-on-lan=%ld";
constexpr char kSettingNmDefaultFormat[] = "%s, so ethernet.wake-on-lan=%ld of NetworkManager's configuration";
constexpr char kSettingNmUnset[] = "wake-on-lan not set";
constexpr char kSettingNmUnreadable[] = "cannot be read by this user: run pilvorne -Check as root to see them";
constexpr char kSettingLinkFormat[] = "WakeOnLan=%s";
constexpr char kSettingLinkUnset[] = "no WakeOnLan=";
constexpr char kSettingLinkShadowedFormat[] = "WakeOnLan=%s, but %s comes first and applies";
constexpr char kSettingUncheckedFormat[] = "%s (%s not checked)";
constexpr char kSettingTlpFormat[] = "WOL_DISABLE=%s";
constexpr char kSettingTlpDefault[] = "WOL_DISABLE not set, and TLP's default is Y";
constexpr char kSettingUnitEnabled[] = "enabled";
constexpr char kFixNmFormat[] = "nmcli connection modify \"%s\" 802-3-ethernet.wake-on-lan magic";
constexpr char kFixLinkFormat[] = "set WakeOnLan=magic in %s";
constexpr char kFixTlpFormat[] = "set WOL_DISABLE=N in %s";

// -Check and -Enable's own lines.
constexpr char kNoCardFormat[] = "pilvorne: no Ethernet card to check (%s); name one with -Interface=NAME\n";
constexpr char kNoCardNone[] = "none is listed";
constexpr char kNoCardLeftOutFormat[] = "left out: %s";
constexpr char kCannotListCards[] = "pilvorne: the network cards cannot be listed: %s\n";
constexpr char kNoSuchInterfaceFormat[] = "pilvorne: -Interface=%s: no network interface has that name\n";
constexpr char kNeedsCapNetAdmin[] =
    "pilvorne: -Enable needs the CAP_NET_ADMIN capability to change wake settings: run it as root\n";
constexpr char kEnableNotSupportedFormat[] =
    "pilvorne: %s: the card does not support wake by magic packet; nothing was changed\n";
constexpr char kEnableUnreadableFormat[] = "pilvorne: %s: the wake settings cannot be read: %s\n";
constexpr char kEnableFailedFormat[] = "pilvorne: %s: the wake settings cannot be changed: %s\n";
constexpr char kEnableWakeupFailedFormat[] =
    "pilvorne: %s: the device wakeup flag cannot be set (/sys/class/net/%s/device/power/wakeup): %s\n";
constexpr char kEnableWindowsFormat[] =
    "pilvorne: on Windows pilvorne changes no settings; an administrator turns wake by magic packet on for %s\n"
    "with powercfg in a command prompt and with PowerShell:\n"
    "  powercfg /deviceenablewake \"%s\"\n"
    "  Set-NetAdapterPowerManagement -Name \"%s\" -WakeOnMagicPacket Enabled\n";
constexpr char kEnableWindowsFastStartup[] =
    "  reg add \"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Power\" /v HiberbootEnabled /t REG_DWORD "
    "/d 0 /f\n";
constexpr char kUnknownError[] = "error %lu";

}  // namespace listener

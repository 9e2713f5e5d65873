// kestrava's process-wide state in one record, its command line as a parsed record, and its run.
#pragma once

#include <cstdint>

#include "platform/ui.h"
#include "sender/address.h"
#include "sender/error_text.h"
#include "sender/message_box.h"
#include "sender/send_options.h"
#include "sender/wake_packet.h"

// Debug flag bits. Bit 0 is the only one the program acts on: the dialog's status text after a
// send. QuickPing logs its tries under bit 4 of the flags it is given, but the MAC lookup gives
// it flags of its own (0); only QuickPingWithDebugFlags hands it the process's flags.
constexpr std::int32_t kDebugStatusText = 0x1;
constexpr std::int32_t kDebugQuickPing = 0x10;

// The first value of the ping counter that seeds each echo payload.
constexpr std::int32_t kFirstPingCounter = 85;

// Everything kestrava keeps for the life of the process, apart from the dialog's and the log's
// own records. ResetProgramState() puts it back to these initial values.
struct ProgramState {
  // Set from the command line.
  const char* title_word = nullptr;       // first bare word, or nullptr
  std::int32_t debug_flags = 0;           // Debug= value
  char* command_line_text = nullptr;      // the joined arguments the parse refers into (owned)
  const char* ended_at = nullptr;         // the token that ended the command line early, or nullptr
  const char* end_reason = nullptr;       // why it ended there (send_texts::kEnded...)
  // /Wait and its options: the dialog watches the target of each of its sends when given.
  WaitOptions wait = {};
  // The settings of every send (port, header length).
  SenderSettings sender = {kDefaultSenderPort, kDefaultHeaderLength};
  // Interactive start-up.
  std::uint32_t startup_netmask = 0;      // network byte order, from GetLocalNetmask
  void* instance = nullptr;               // program instance handle (HINSTANCE on Windows)
  platform::Window main_dialog = nullptr; // owner of the send failures' message boxes
  platform::Window active_dialog = nullptr;
  bool console_allocated = false;
  // Seeds the echo payloads; only FillPingPayload reads or writes it.
  std::int32_t ping_counter = kFirstPingCounter;
  // The host that shows message boxes while the dialog exists (nullptr: the platform's).
  MessageBoxHost message_box_host = nullptr;
  // The formatters' own result buffers.
  AddressTexts address_texts = {};
  ErrorTexts error_texts = {};
};
extern ProgramState g_program;

// Frees what the record owns and puts it back to its initial values.
void ResetProgramState();

// ---- The command line ------------------------------------------------------------------

// The argument table: entry 0 stands for the program name (an empty text), entries 1 to 255
// hold the tokens. Tokens after the 255th are not taken.
constexpr int kArgumentTableSize = 256;

// What the command line asks the program to do.
enum class ProgramAction {
  kDialog,      // open the dialog (no target to wake, or the parse ended early)
  kSilentSend,  // wake the target (IP= or /To= or /Ether with MAC=) and the hosts of /File=
  kHelp,        // --help, -h, /? (or -?): print the command line summary
  kVersion,     // --version: print the version line
  kBadOption,   // an option's value cannot be read, or two options do not fit together
};

// The result of one parse. Texts point into the parsed command-line text.
struct CommandLine {
  ProgramAction action = ProgramAction::kDialog;
  const char* title_word = nullptr;       // first bare word, or nullptr
  std::int32_t debug_flags = 0;           // the last Debug= value (0 without one)
  bool no_header = false;                 // nohdr was given
  const char* target_ip_text = nullptr;   // IP= value, or nullptr
  const char* target_mac_text = nullptr;  // MAC= value, or nullptr
  SendOptions send;                       // /Port=, /Kind=, /To=, /File=, ...
  const char* bad_token = nullptr;        // kBadOption: the option refused, as given
  const char* bad_reason = nullptr;       // kBadOption: why
  // An option kestrava does not know, or a second bare word, ends the parse at once; this is
  // that token as given, and why it ended the line (the dialog's status line and the
  // no-display line name it, since nothing after it was read and nothing is sent).
  const char* ended_at = nullptr;
  const char* end_reason = nullptr;
};

// Whether the command line names a target of its own: MAC= with an address to send to (IP=
// or /To=) or with /Ether, whose frame needs none.
inline bool HasCommandLineTarget(const CommandLine& line) {
  return line.target_mac_text != nullptr && (line.target_ip_text != nullptr || line.send.to_token != nullptr ||
                                            line.send.ether || line.send.relay_token != nullptr);
}

// Splits the text in place at spaces (only the space character separates) into `table`:
// entry 0 the empty text, then the tokens; returns the number of entries filled (at least 1).
int SplitCommandLine(char* text, const char* table[kArgumentTableSize]);

// The command-line text of a program started with argv: the arguments after the program name
// joined by single spaces, kept in the program record (the parse keeps references into it);
// a further call replaces the text of the one before. Never nullptr.
char* JoinArguments(int argc, const char* const* argv);

// Parses the command-line text in place (it is modified). Sends nothing and changes no state:
// the caller applies the record (ApplyCommandLine) and acts on it.
CommandLine ParseCommandLine(char* command_line);

// Makes the parse's settings the process's: the title word, the debug flags, the header
// length (0 with nohdr), the port (/Port=), which the dialog's sends use too, /Wait and its
// options, which the dialog's wait uses, and the token that ended the command line early.
void ApplyCommandLine(const CommandLine& command_line);

// How a silent send ended.
enum class SendOutcome {
  kAllSent,     // every datagram or frame went out
  kSomeFailed,  // at least one did not, or a hosts-file line could not be read
  kRefused,     // an option names nothing usable (no such interface or file); nothing was sent
  kAllAwake,    // /Wait: every wake went out, and every watched target came up (or was up)
  kNotAllAwake, // /Wait: every wake went out, and at least one watched target did not come up
};

// The silent send, after ApplyCommandLine: everything is settled (hosts file, interfaces,
// scopes, the raw-frame socket) before the first datagram goes out; then every target gets
// /Count datagrams (or frames), /Interval apart; then the socket layer's clean-up and a pause
// of 10 ms. Without send options: one broadcast magic packet to the subnet-directed broadcast
// address of IP= under the local netmask. Socket failures show as the sender's message boxes,
// owned by no window; a failed interface-list query sends nothing. Each refusal and each bad
// hosts-file line is one line on standard error (Windows without one: a message box). With
// /Wait the targets are probed before and watched after the wakes (SendAndWait, send_plan.h).
SendOutcome SilentSend(const CommandLine& line);

// The line that refuses a kBadOption command line: "kestrava: <option>: <why>".
void ReportRefusedOption(const CommandLine& line);

// The texts of --help and --version, shown on standard output (a message box on Windows).
const char* HelpText();
void ShowHelp();
void ShowVersion();

// Exit codes after a silent send (-1, which the shell shows as 255), after one that failed (so
// that scripts can tell them apart), after a refused option value (before anything is sent),
// and after --help or --version.
constexpr int kSilentSendExitCode = -1;
constexpr int kSilentSendFailedExitCode = 1;
constexpr int kBadOptionExitCode = 2;
constexpr int kInformationExitCode = 0;
// With /Wait: every watched target came up; at least one did not.
constexpr int kWaitAllAwakeExitCode = 0;
constexpr int kWaitNotAwakeExitCode = 3;

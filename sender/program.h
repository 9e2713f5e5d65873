// Process-wide state of kestrava set at start-up and read by the dialog and the sender.
#pragma once

#include <cstdint>

#include "platform/ui.h"

// Command-line results.
extern const char* g_title_word;         // first bare word, or nullptr
extern std::int32_t g_debug_flags;       // Debug= value; bit 0: status text after a send
extern const char* g_target_ip_text;     // IP= value, or nullptr (reset by every parse)
extern const char* g_target_mac_text;    // MAC= value, or nullptr (reset by every parse)

// Interactive start-up.
extern std::uint32_t g_startup_netmask;  // network byte order, from GetLocalNetmask
extern void* g_instance;                 // program instance handle (HINSTANCE on Windows)
extern platform::Window g_main_dialog;   // owner of the send failures' message boxes
extern platform::Window g_active_dialog;
extern bool g_console_allocated;

// Debug flag bits. Bit 0 is the only one the program acts on: the dialog's status text after a
// send. QuickPing logs its tries under bit 4 of the flags it is given, but the MAC lookup gives
// it flags of its own (0); only QuickPingWithDebugFlags hands it the process's flags.
constexpr std::int32_t kDebugStatusText = 0x1;
constexpr std::int32_t kDebugQuickPing = 0x10;

// The argument table: entry 0 stands for the program name (an empty text), entries 1 to 255
// hold the tokens. Tokens after the 255th are not taken.
constexpr int kArgumentTableSize = 256;

// Return value of ParseCommandLine after a silent send.
constexpr int kSilentSendDone = 99;

// Splits the text in place at spaces (only the space character separates) into `table`:
// entry 0 the empty text, then the tokens; returns the number of entries filled (at least 1).
int SplitCommandLine(char* text, const char* table[kArgumentTableSize]);

// The command-line text of a program started with argv: the arguments after the program name
// joined by single spaces, in storage that lives as long as the process (the parse keeps
// references into it); a further call replaces the text of the one before. Never nullptr.
char* JoinArguments(int argc, const char* const* argv);

// Parses the command-line text in place (it is modified) and, when it names both IP= and
// MAC=, sends one broadcast magic packet. Returns 99 after that silent send, 0 otherwise.
int ParseCommandLine(char* command_line);

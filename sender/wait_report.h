// What the wait tells: one line or one JSON object per settled target, the status line rewritten in place on a terminal.
#pragma once

#include <cstddef>

#include "sender/wait.h"

// Room that always holds one line, one JSON object or the status text (names are one word of
// a hosts-file line, shorter than a line of the file).
constexpr std::size_t kWaitReportRoom = 1024;

// How the lines name target `index`: "192.0.2.20 (nas)", or the address alone. Returns its length.
int FormatWaitSubject(const WaitRun& run, int index, char* out, std::size_t room);

// The line of settled target `index`, without a line end, for example
// "192.0.2.20 (nas) is awake after 14.2 s: ping reply from 02:54:57:00:0a:14 (2 wakes sent)".
// Returns its length; the text is cut to fit `room`.
int FormatWaitLine(const WaitRun& run, int index, char* out, std::size_t room);

// The same as one JSON object on one line: target, name, mac, address, outcome, seconds,
// probe, answer, answered_mac, wakes_sent, identity.
int FormatWaitJson(const WaitRun& run, int index, char* out, std::size_t room);

// The status while waiting: how many targets are still awaited and the time passed.
int FormatWaitStatus(const WaitRun& run, char* out, std::size_t room);

// The note that ping cannot be used (said once), with the reason's text: the wait then relies
// on the ports, or, without any, has nothing that could see a target wake.
int FormatEchoUnavailable(const WaitRun& run, const char* reason, char* out, std::size_t room);

// The status line on standard error, only where that is a terminal: each show overwrites the
// last one; clear it before a line of its own goes to the same screen.
constexpr std::size_t kWaitStatusRoom = 128;

struct WaitStatusLine {
  bool terminal;
  int shown;                    // characters on screen now
  char text[kWaitStatusRoom];   // what they say: the same text is not written again
};

void WaitStatusOpen(WaitStatusLine* line);
void WaitStatusShow(WaitStatusLine* line, const char* text);
void WaitStatusClear(WaitStatusLine* line);

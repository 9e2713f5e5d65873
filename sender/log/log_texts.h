// Texts and fixed sizes of the diagnostic log, in one place.
#pragma once

#include "platform/system.h"

namespace log_texts {

// Every record begins with it; the writer strips it.
constexpr char kSeparator[] = "\r\n";
constexpr int kSeparatorLength = 2;
// The end of a record that did not fit its buffer (five characters and a terminator).
constexpr char kOverflowMark[] = "...\r\n";

// Date-time texts.
constexpr char kDateTime[] = "%s %02d:%02d:%02d";
constexpr char kDateTimeMs[] = "%s %02d:%02d:%02d.%03d";
constexpr int kDateField = 20;
constexpr int kDateTimeBuffer = 40;

// Indentation under a date-time prefix of width w: w + 2 spaces, or 21 from width 24 on.
constexpr char kIndentField[] = "%%%d.%ds  ";
constexpr char kIndentFixed[] = "%19.19s  ";
constexpr int kIndentFixedFromWidth = 24;

// Stamped style.
constexpr char kTimeStamp[] = "<%.19s.%03d %4.4s %ls>";
constexpr char kThreadTag[] = "<thread=%ld (0x%lX)>";
constexpr char kStampTail[] = " $$<%s>%s%s\n";
constexpr int kRecordPrefixField = 80;

// Writer.
constexpr int kRecordBuffer = 1024;
constexpr int kPathField = static_cast<int>(platform::kPathRoom);
constexpr int kMutexNameField = 100;
constexpr char kMutexName[] = "%s_QELOG";
constexpr char kLogExtension[] = ".LOG";
constexpr char kBackupLastCharacter = '_';
constexpr char kNoFilePath[] = "-";
constexpr char kMutexTimeout[] = "\r\nMutex Timeout %08lx\r\n";
constexpr char kMutexReleaseErrors[] = "%T: MutexReleaseErrors = %d (%08lx)\n";
constexpr char kLogRenameErrors[] = "%T: LogRenameErrors = %d\n";

}  // namespace log_texts

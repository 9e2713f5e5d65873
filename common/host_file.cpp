// Hosts files: the whole file read into memory, then split into lines and fields in place.
#include "common/host_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/ascii.h"
#include "common/number.h"
#include "common/relay_request.h"
#include "platform/files.h"

namespace wake {

namespace {

constexpr int kMaxFields = 4;  // MAC, address, name, relay
constexpr char kRelayField[] = "relay=";
constexpr char kCommentMark = '#';
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A field that is meant as an address: an IPv6 one has a ':', an IPv4 one digits and dots alone.
bool MeantAsAddress(const char* field) {
  if (std::strchr(field, ':') != nullptr) return true;
  return field[std::strspn(field, "0123456789.")] == '\0';
}

// Splits one line in place into at most kMaxFields + 1 fields (one more than a good line has,
// so that a line with too many is seen); returns how many.
int SplitFields(char* line, char* fields[kMaxFields + 1]) {
  int count = 0;
  char* p = line;
  while (count <= kMaxFields) {
    while (IsBlank(*p)) ++p;
    if (*p == '\0') break;
    fields[count++] = p;
    while (*p != '\0' && !IsBlank(*p)) ++p;
    if (*p != '\0') *p++ = '\0';
  }
  return count;
}

// Reads one line's fields into `host`. nullptr when they are good; else why not, with the
// field at fault in *field.
const char* ReadHostLine(char* fields[], int count, WakeTarget* host, const char** field) {
  *host = WakeTarget{{}, {AddressFamily::kNone, 0, {}, nullptr}, 0, nullptr, 0, nullptr};
  *field = fields[0];
  if (!ReadMacText(fields[0], host->mac)) return host_texts::kLineBadMac;
  // The relay field first, wherever it stands, so that the fields left are read as before.
  int kept = 1;
  for (int i = 1; i < count; ++i) {
    if (!StartsWithNoCase(fields[i], kRelayField)) {
      fields[kept++] = fields[i];
      continue;
    }
    *field = fields[i];
    if (host->relay != nullptr) return host_texts::kLineSecondRelay;
    host->relay = fields[i] + sizeof kRelayField - 1;
    RelayEndpointText endpoint;
    if (!ReadRelayText(host->relay, &endpoint)) return host_texts::kLineBadRelay;
  }
  count = kept;
  int next = 1;
  if (next < count && MeantAsAddress(fields[next])) {
    *field = fields[next];
    if (!ReadWakeAddress(fields[next], &host->address)) return host_texts::kBadAddress;
    ++next;
  }
  if (next < count) host->name = fields[next++];
  if (next < count) {
    *field = fields[next];
    return host_texts::kLineTooManyFields;
  }
  return nullptr;
}

}  // namespace

bool ReadRelayText(const char* text, RelayEndpointText* out) {
  if (text == nullptr) return false;
  const char* colon = std::strchr(text, ':');
  out->host = text;
  out->host_length = colon != nullptr ? static_cast<std::size_t>(colon - text) : std::strlen(text);
  out->port = kRelayPort;
  if (out->host_length == 0) return false;
  return colon == nullptr || ReadNumber(colon + 1, 1, 65535, &out->port);
}

int ParseHostText(char* text, WakeTarget* hosts, int room, BadHostLine bad_line, void* context) {
  int count = 0;
  int number = 0;
  // A file written by a Windows editor may start with UTF-8's byte-order mark.
  if (std::strncmp(text, kByteOrderMark, sizeof kByteOrderMark - 1) == 0) text += sizeof kByteOrderMark - 1;
  for (char* line = text; *line != '\0';) {
    ++number;
    char* end = line + std::strcspn(line, "\n");
    char* next = *end == '\0' ? end : end + 1;
    *end = '\0';
    if (end > line && end[-1] == '\r') end[-1] = '\0';  // a file written on Windows
    char* comment = std::strchr(line, kCommentMark);
    if (comment != nullptr) *comment = '\0';
    char* fields[kMaxFields + 1];
    const int field_count = SplitFields(line, fields);
    if (field_count > 0) {
      const char* field = fields[0];
      const char* reason = count == room ? host_texts::kLineTooManyHosts
                                         : ReadHostLine(fields, field_count, &hosts[count], &field);
      if (reason == nullptr) {
        hosts[count++].line = number;
      } else if (bad_line != nullptr) {
        bad_line(context, number, reason, field);
      }
    }
    line = next;
  }
  return count;
}

char* ReadHostFile(const char* path, const char** reason) {
  *reason = nullptr;
  bool not_regular = false;
  std::FILE* file = platform::open_regular_file(path, &not_regular);
  if (file == nullptr) {
    *reason = not_regular ? host_texts::kFileNotRegular : std::strerror(errno);
    return nullptr;
  }
  // One byte more than a file may have, so that a larger one is seen without reading it all.
  const std::size_t room = static_cast<std::size_t>(kMaxHostFileBytes) + 1;
  char* text = static_cast<char*>(std::malloc(room + 1));
  std::size_t length = 0;
  if (text == nullptr) {
    *reason = std::strerror(ENOMEM);
  } else {
    length = std::fread(text, 1, room, file);
    if (std::ferror(file) != 0) {
      *reason = std::strerror(errno);
    } else if (length == room) {
      *reason = host_texts::kFileTooLarge;
    } else if (std::memchr(text, '\0', length) != nullptr) {
      *reason = host_texts::kFileNotText;
    }
  }
  std::fclose(file);
  if (*reason != nullptr) {
    std::free(text);
    return nullptr;
  }
  text[length] = '\0';
  return text;
}

}  // namespace wake

// What the inspector prints of one observation: the two lines, the -Explain line, the -Json object.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/address_text.h"
#include "listener/inspect.h"
#include "listener/listener.h"
#include "listener/texts.h"

namespace listener {

namespace {

constexpr std::size_t kUdpHeaderLength = 8;

// The destination as -Explain and -Json show it; false when it is not known.
bool FormatDestination(const Observation& o, char* text, std::size_t size) {
  if (o.via == Via::kEtherType) {
    if (!o.to_mac_known) return false;
    char mac[wake::kMacTextRoom];
    wake::FormatMacText(o.to_mac, mac);
    std::snprintf(text, size, "%s", mac);
    return true;
  }
  wake::FormatIpText(o.to, text, size);
  return o.to.family != 0;
}

// The SecureOn password as hexadecimal pairs joined by colons.
void FormatPassword(const WakeAnalysis& a, char* text, std::size_t size) {
  TextLine password{text, size, 0};
  text[0] = '\0';
  for (std::size_t i = 0; i < a.password_length; ++i) Append(&password, i == 0 ? "%02X" : ":%02X", a.password[i]);
}

void AppendPayloadPart(TextLine* line, const WakeAnalysis& a) {
  char target[wake::kMacTextRoom], other[wake::kMacTextRoom];
  wake::FormatMacText(a.target, target);
  switch (a.verdict) {
    case MagicVerdict::kNone:
      Append(line, kExplainNotWake);
      return;
    case MagicVerdict::kShortUnsuspend:
      Append(line, kExplainShortFormat, target, a.sync_offset);
      return;
    case MagicVerdict::kValid:
      Append(line, kExplainValidFormat, target, a.sync_offset);
      break;
    case MagicVerdict::kBroken:
      if (a.copies == 0) {
        Append(line, kExplainNoCopyFormat, a.sync_offset);
        return;
      }
      Append(line, kExplainBrokenFormat, target, a.sync_offset);
      if (a.bad_copy != 0) {
        wake::FormatMacText(a.bad_copy_mac, other);
        Append(line, kExplainBadCopyFormat, a.bad_copy, other);
      }
      if (a.copies < wake::kMacRepeats) Append(line, kExplainEndsAfterFormat, a.bad_copy != 0 ? "," : "", a.copies);
      break;
  }
  if (a.password_length != 0) {
    char password[3 * wake::kLongPasswordLength];
    FormatPassword(a, password, sizeof password);
    Append(line, kExplainPasswordFormat, password);
  } else if (a.trailing != 0) {
    Append(line, kExplainTrailingFormat, a.trailing);
  }
}

void AppendJsonStringOrNull(TextLine* line, const char* text) {
  if (text == nullptr) {
    Append(line, "null");
  } else {
    AppendJsonString(line, text);
  }
}

// A port: null when there is none (-1).
void AppendJsonNumber(TextLine* line, int value) {
  if (value < 0) {
    Append(line, "null");
  } else {
    Append(line, "%d", value);
  }
}

void AppendJsonMac(TextLine* line, const std::uint8_t* mac) {
  char text[wake::kMacTextRoom];
  wake::FormatMacText(mac, text);
  AppendJsonString(line, text);
}

// The "magic" member: null without a sync stream.
void AppendJsonMagic(TextLine* line, const WakeAnalysis& a) {
  if (a.verdict == MagicVerdict::kNone) {
    Append(line, "null");
    return;
  }
  Append(line, "{\"offset\":%zu,\"target\":", a.sync_offset);
  if (a.copies > 0) {
    AppendJsonMac(line, a.target);
  } else {
    Append(line, "null");
  }
  Append(line, ",\"copies_ok\":%d,\"password\":", a.copies_ok);
  char password[3 * wake::kLongPasswordLength];
  FormatPassword(a, password, sizeof password);
  AppendJsonStringOrNull(line, a.password_length != 0 ? password : nullptr);
  Append(line, "}");
}

void AppendJsonHeader(TextLine* line, const WakeAnalysis& a) {
  if (!a.header_found) {
    Append(line, "null");
    return;
  }
  Append(line, "{\"tag\":");
  AppendJsonString(line, a.tag);
  Append(line, ",\"length\":%lu,\"length_ok\":%s,\"seq\":", static_cast<unsigned long>(a.header_length),
         a.header_length_ok ? "true" : "false");
  if (a.sequence == 0) {
    Append(line, "null}");
  } else {
    Append(line, "%lu}", static_cast<unsigned long>(a.sequence));
  }
}

// Whether the bytes at `p` start a well-formed UTF-8 character of `n` bytes (no overlong
// form, no surrogate, nothing past U+10FFFF).
bool WholeUtf8(const unsigned char* p, int n) {
  for (int i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return false;
  }
  const unsigned code = n == 2 ? (p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu)
                      : n == 3 ? (p[0] & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu)
                               : (p[0] & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
  const unsigned lowest = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
  return code >= lowest && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
}

}  // namespace

void Append(TextLine* line, const char* format, ...) {
  if (line->length + 1 >= line->size) return;
  va_list arguments;
  va_start(arguments, format);
  int n = std::vsnprintf(line->data + line->length, line->size - line->length, format, arguments);
  va_end(arguments);
  if (n < 0) return;
  line->length += static_cast<std::size_t>(n);
  if (line->length >= line->size) line->length = line->size - 1;
}

void AppendExplainLine(TextLine* line, const Observation& o, const WakeAnalysis& a) {
  AppendPayloadPart(line, a);
  if (a.header_found) {
    Append(line, kExplainHeaderFormat, a.tag, static_cast<unsigned long>(a.header_length),
           a.header_length_ok ? kExplainLengthMatches : kExplainLengthDiffers);
    if (a.sequence != 0) Append(line, kExplainSequenceFormat, static_cast<unsigned long>(a.sequence));
  }
  if (o.fragment) Append(line, kExplainFragmentFormat, o.from.family == 6 ? 6 : 4, o.fragment_offset);
  if (o.udp_length_field != 0) {
    Append(line, kExplainUdpLengthFormat, o.udp_length_field, o.length + static_cast<int>(kUdpHeaderLength));
  }
  char to[wake::kIpTextRoom];
  const char* kind = DestinationKindName(o.to_kind);
  const bool to_known = FormatDestination(o, to, sizeof to);
  if (to_known && kind != nullptr) {
    Append(line, kExplainToFormat, to, kind);
  } else if (kind != nullptr) {
    // A cooked frame sent to this host or a group names no destination address.
    Append(line, kExplainToKindFormat, kind);
  } else {
    Append(line, kExplainToUnknown);
  }
  if (o.interface_name[0] != '\0') {
    // A name may hold any byte, terminal escape sequences included: shown escaped as in JSON.
    Append(line, kExplainInterfacePrefix);
    AppendEscapedText(line, o.interface_name);
  }
  if (o.vlan >= 0) Append(line, kExplainVlanFormat, o.vlan);
  Append(line, "\n");
}

void AppendEscapedText(TextLine* line, const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != '\0') {
    const unsigned char c = *p;
    if (c == '"' || c == '\\') {
      Append(line, "\\%c", c);
    } else if (c < 0x20 || c == 0x7F) {
      Append(line, "\\u%04x", c);
    } else if (c < 0x80) {
      Append(line, "%c", c);
    } else {
      const int n = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
      // The terminator is no continuation byte, so the check stops at the text's end.
      if (n != 0 && WholeUtf8(p, n)) {
        Append(line, "%.*s", n, reinterpret_cast<const char*>(p));
        p += n;
        continue;
      }
      Append(line, "\\ufffd");
    }
    ++p;
  }
}

void AppendJsonString(TextLine* line, const char* text) {
  Append(line, "\"");
  AppendEscapedText(line, text);
  Append(line, "\"");
}

void AppendJsonLine(TextLine* line, const Observation& o, const WakeAnalysis& a) {
  const platform::SystemTime& t = o.local;
  const int offset = o.utc_offset_minutes < 0 ? -o.utc_offset_minutes : o.utc_offset_minutes;
  char time[64];  // room for any 16-bit field
  std::snprintf(time, sizeof time, kJsonTimeFormat, t.year, t.month, t.day, t.hour, t.minute, t.second,
                t.milliseconds, o.utc_offset_minutes < 0 ? '-' : '+', offset / 60, offset % 60);
  char from[wake::kIpTextRoom], to[wake::kIpTextRoom];
  FormatSender(o, from, sizeof from);
  const bool to_known = FormatDestination(o, to, sizeof to);
  // The label as the two lines show it, without the blanks that pad it there.
  char label[32];
  std::snprintf(label, sizeof label, "%s", o.kind.label);
  for (std::size_t n = std::strlen(label); n > 0 && label[n - 1] == ' '; --n) label[n - 1] = '\0';

  // A time that ISO 8601 cannot write is not known.
  Append(line, "{\"time\":");
  AppendJsonStringOrNull(line, o.time_unknown ? nullptr : time);
  Append(line, ",\"from\":");
  AppendJsonString(line, from);
  Append(line, ",\"from_port\":");
  AppendJsonNumber(line, o.from_port);
  Append(line, ",\"to\":");
  AppendJsonStringOrNull(line, to_known ? to : nullptr);
  Append(line, ",\"to_kind\":");
  AppendJsonStringOrNull(line, DestinationKindName(o.to_kind));
  Append(line, ",\"interface\":");
  AppendJsonStringOrNull(line, o.interface_name[0] != '\0' ? o.interface_name : nullptr);
  Append(line, ",\"via\":");
  AppendJsonString(line, o.via == Via::kUdp ? kViaUdpName : kViaEtherTypeName);
  Append(line, ",\"port\":");
  AppendJsonNumber(line, o.port);
  Append(line, ",\"len\":%d,\"kind\":", o.length);
  AppendJsonString(line, label);
  Append(line, ",\"mac\":");
  AppendJsonMac(line, o.entry_mac);
  Append(line, ",\"magic\":");
  AppendJsonMagic(line, a);
  Append(line, ",\"header\":");
  AppendJsonHeader(line, a);
  Append(line, "}\n");
}

}  // namespace listener

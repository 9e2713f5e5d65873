// Windows probe service: IcmpSendEcho2 completing through an APC, connects signalling one shared event, one alertable wait.
//
// Why this shape: an alertable wait on a single event serves any number of probes. Each echo
// request completes through an APC that runs inside that wait (and names its own request), and
// every connect socket signals the one event through WSAEventSelect, so the 64-handle limit of
// WaitForMultipleObjects never applies. WSAPoll is avoided on purpose: Windows before 10 2004
// does not report a refused non-blocking connect through it.
#include "platform/probes.h"

// winsock2.h must come before windows.h; winternl.h gives icmpapi.h the APC routine's real
// type, iphlpapi.h the IPAddr type.
#include <winsock2.h>
#include <windows.h>
#include <winternl.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstdlib>
#include <cstring>

#include "platform/echo.h"
#include "platform/probe_slots.h"
#include "platform/system.h"

namespace platform {

namespace {

enum class SlotKind : unsigned char { kEcho, kConnect };

struct EchoRecord;

// What a probe in flight needs besides the shared bookkeeping.
struct Slot {
  SlotKind kind;
  SOCKET socket;            // connect: its own socket
  EchoRecord* echo;         // echo: the request the APC completes
};

// Past its own time-out an echo request still owes its APC; should the APC not come within
// this margin, the slot is settled without it and the record left for the APC to free.
constexpr ULONGLONG kEchoApcMarginMs = 5000;

}  // namespace

struct ProbeService {
  HANDLE icmp;              // INVALID_HANDLE_VALUE when the echo service could not be opened
  unsigned long icmp_error;
  HANDLE connect_event;     // signalled by every connect socket (FD_CONNECT)
  ProbeSlots table;
  Slot* slots;
};

namespace {

// One echo request in flight. It outlives its slot when the service is closed first: the
// APC then finds no owner and only frees the record.
struct EchoRecord {
  ProbeService* owner;
  int slot;
  DWORD reply_size;
  unsigned char reply[1];   // reply_size bytes follow
};

void settle(ProbeService* service, int index, ProbeOutcome outcome, unsigned long status,
            std::uint32_t from) {
  Slot& slot = service->slots[index];
  if (slot.kind == SlotKind::kConnect && slot.socket != INVALID_SOCKET) {
    if (outcome == ProbeOutcome::kAccepted) {
      // An abortive close: no half-open session at the peer, no TIME_WAIT here.
      linger abortive{1, 0};
      setsockopt(slot.socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                 sizeof abortive);
    }
    closesocket(slot.socket);
    slot.socket = INVALID_SOCKET;
  }
  slot.echo = nullptr;
  probe_slot_settle(&service->table, index, outcome, status, from);
}

// The echo service queues this to the thread that sent the request; it runs inside the
// alertable wait of probes_wait.
VOID NTAPI echo_completed(PVOID context, PIO_STATUS_BLOCK, ULONG) {
  EchoRecord* record = static_cast<EchoRecord*>(context);
  ProbeService* service = record->owner;
  if (service != nullptr && service->slots[record->slot].echo == record) {
    const DWORD replies = IcmpParseReplies(record->reply, record->reply_size);
    const ICMP_ECHO_REPLY* first = reinterpret_cast<const ICMP_ECHO_REPLY*>(record->reply);
    if (replies > 0 && first->Status == IP_SUCCESS) {
      settle(service, record->slot, ProbeOutcome::kEchoReply, 0, first->Address);
    } else {
      // An unreachable or time-exceeded answer is a "reply" with that status.
      const unsigned long status = replies > 0 ? first->Status : GetLastError();
      settle(service, record->slot, ProbeOutcome::kEchoNoReply, status, 0);
    }
  }
  std::free(record);
}

// The routine as icmpapi.h declares the parameter: FARPROC unless the headers know the APC
// routine's own type. Through void (*)(), which converts to any function type without a
// warning; the echo service calls it as the APC routine it is.
#ifdef PIO_APC_ROUTINE_DEFINED
PIO_APC_ROUTINE apc_routine() { return echo_completed; }
#else
FARPROC apc_routine() {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(echo_completed));
}
#endif

void settle_connect(ProbeService* service, int index, int error) {
  if (error == 0) {
    settle(service, index, ProbeOutcome::kAccepted, 0, 0);
  } else if (error == WSAECONNREFUSED) {
    settle(service, index, ProbeOutcome::kRefused, static_cast<unsigned long>(error), 0);
  } else {
    settle(service, index, ProbeOutcome::kNoAnswer, static_cast<unsigned long>(error), 0);
  }
}

// Connect sockets whose outcome the shared event announced.
void read_connects(ProbeService* service) {
  for (int i = 0; i < service->table.room; ++i) {
    const Slot& slot = service->slots[i];
    if (!probe_slot_in_flight(service->table, i) || slot.kind != SlotKind::kConnect) continue;
    WSANETWORKEVENTS events{};
    // No event handle: the shared event is reset once by the caller, not per socket.
    if (WSAEnumNetworkEvents(slot.socket, nullptr, &events) != 0) continue;
    if (events.lNetworkEvents & FD_CONNECT) settle_connect(service, i, events.iErrorCode[FD_CONNECT_BIT]);
  }
}

// Deadlines are on GetTickCount64's clock. An echo slot's is its request's time-out and the
// margin: past it the APC has not come, and the record is left for it to free.
void expire(ProbeService* service) {
  const ULONGLONG now = GetTickCount64();
  for (int i = 0; i < service->table.room; ++i) {
    if (!probe_slot_overdue(service->table, i, now)) continue;
    Slot& slot = service->slots[i];
    if (slot.kind == SlotKind::kConnect) {
      settle(service, i, ProbeOutcome::kNoAnswer, kProbeConnectTimedOut, 0);
    } else {
      slot.echo->owner = nullptr;
      settle(service, i, ProbeOutcome::kEchoNoReply, kEchoTimedOut, 0);
    }
  }
}

void free_service(ProbeService* service) {
  probe_slots_release_memory(&service->table);
  std::free(service->slots);
  std::free(service);
}

}  // namespace

ProbeHandle probes_open(int room) {
  if (room <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  ProbeService* service = static_cast<ProbeService*>(std::calloc(1, sizeof(ProbeService)));
  if (service == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const bool table = probe_slots_open(&service->table, room);
  service->slots = static_cast<Slot*>(std::calloc(static_cast<std::size_t>(room), sizeof(Slot)));
  service->connect_event = table && service->slots != nullptr ? WSACreateEvent() : WSA_INVALID_EVENT;
  if (service->connect_event == WSA_INVALID_EVENT) {
    const DWORD error = !table || service->slots == nullptr ? ERROR_NOT_ENOUGH_MEMORY
                                                            : static_cast<DWORD>(WSAGetLastError());
    free_service(service);
    SetLastError(error);
    return nullptr;
  }
  for (int i = 0; i < room; ++i) service->slots[i].socket = INVALID_SOCKET;
  service->icmp = IcmpCreateFile();
  if (service->icmp == INVALID_HANDLE_VALUE) service->icmp_error = GetLastError();
  return service;
}

void probes_close(ProbeHandle probes) {
  if (probes == nullptr) return;
  for (int i = 0; i < probes->table.room; ++i) {
    Slot& slot = probes->slots[i];
    if (!probe_slot_in_flight(probes->table, i)) continue;
    if (slot.kind == SlotKind::kConnect) closesocket(slot.socket);
    if (slot.kind == SlotKind::kEcho) slot.echo->owner = nullptr;
  }
  if (probes->icmp != INVALID_HANDLE_VALUE) IcmpCloseHandle(probes->icmp);
  // APCs already queued run here and free their records.
  SleepEx(0, TRUE);
  WSACloseEvent(probes->connect_event);
  free_service(probes);
}

bool probes_echo_available(ProbeHandle probes, unsigned long* error) {
  if (probes == nullptr) {
    if (error != nullptr) *error = ERROR_INVALID_HANDLE;
    return false;
  }
  if (probes->icmp != INVALID_HANDLE_VALUE) return true;
  if (error != nullptr) *error = probes->icmp_error;
  return false;
}

bool probe_echo(ProbeHandle probes, std::uint32_t token, std::uint32_t address,
                const void* payload, std::uint16_t size, unsigned long timeout_ms) {
  if (probes == nullptr || (payload == nullptr && size > 0)) {
    SetLastError(probes == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return false;
  }
  if (probes->icmp == INVALID_HANDLE_VALUE) {
    SetLastError(probes->icmp_error);
    return false;
  }
  if (address == 0) {
    SetLastError(kEchoGeneralFailure);
    return false;
  }
  const int index = probe_slot_take(&probes->table, token, GetTickCount64() + timeout_ms + kEchoApcMarginMs);
  if (index < 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  // The reply, its data, room for an ICMP error and the status block the asynchronous call
  // writes behind them.
  const DWORD reply_size = static_cast<DWORD>(sizeof(ICMP_ECHO_REPLY) + size + 8 + sizeof(IO_STATUS_BLOCK) + 16);
  EchoRecord* record = static_cast<EchoRecord*>(std::malloc(sizeof(EchoRecord) + reply_size));
  if (record == nullptr) {
    probe_slot_release(&probes->table, index);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  record->owner = probes;
  record->slot = index;
  record->reply_size = reply_size;
  probes->slots[index] = Slot{SlotKind::kEcho, INVALID_SOCKET, record};
  const DWORD started = IcmpSendEcho2(probes->icmp, nullptr, apc_routine(), record,
                                      static_cast<IPAddr>(address), const_cast<void*>(payload),
                                      size, nullptr, record->reply, reply_size,
                                      static_cast<DWORD>(timeout_ms));
  const DWORD error = GetLastError();
  // Pending is the usual answer; a request that completed at once still queues its APC. Any
  // other failure was not sent and queues none.
  if (started == 0 && error != ERROR_IO_PENDING) {
    settle(probes, index, ProbeOutcome::kEchoNoReply, error, 0);
    std::free(record);
  }
  return true;
}

bool probe_connect(ProbeHandle probes, std::uint32_t token, std::uint32_t address,
                   std::uint16_t port, unsigned long timeout_ms) {
  if (probes == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  const int index = probe_slot_take(&probes->table, token, GetTickCount64() + timeout_ms);
  if (index < 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    const int error = WSAGetLastError();
    probe_slot_release(&probes->table, index);
    WSASetLastError(error);
    return false;
  }
  // Also makes the socket non-blocking.
  if (WSAEventSelect(s, probes->connect_event, FD_CONNECT) != 0) {
    const int error = WSAGetLastError();
    closesocket(s);
    probe_slot_release(&probes->table, index);
    WSASetLastError(error);
    return false;
  }
  probes->slots[index] = Slot{SlotKind::kConnect, s, nullptr};
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  to.sin_port = htons(port);
  if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
    const int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK) settle_connect(probes, index, error);
  }
  // A connect that succeeds at once still reports FD_CONNECT through the event.
  return true;
}

int probes_wait(ProbeHandle probes, int timeout_ms, ProbeResult* results, int room) {
  if (probes == nullptr || results == nullptr || room <= 0) {
    SetLastError(probes == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return -1;
  }
  // Alertable, so that the echo APCs run here.
  const int wait_ms = probe_slots_wait_ms(probes->table, GetTickCount64(), timeout_ms);
  const DWORD waited = WaitForSingleObjectEx(probes->connect_event, wait_ms < 0 ? INFINITE : static_cast<DWORD>(wait_ms), TRUE);
  if (waited == WAIT_FAILED) return -1;
  if (waited == WAIT_OBJECT_0) WSAResetEvent(probes->connect_event);
  read_connects(probes);
  expire(probes);
  return probe_slots_collect(&probes->table, results, room);
}

int probes_in_flight(ProbeHandle probes) {
  return probes == nullptr ? 0 : probe_slots_in_use(probes->table);
}

}  // namespace platform

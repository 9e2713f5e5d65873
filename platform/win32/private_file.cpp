// Windows private files: created with an access list of the owner and SYSTEM; read with the file's own access list judged.
#include "platform/private_file.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>

#include "platform/system.h"
#include "platform/win32/file_access.h"

namespace platform {

const char kOwnerOnlyFormat[] = "icacls \"%s\" /inheritance:r /grant:r \"%%USERNAME%%\":F";

namespace {

// The SID of the user the process runs as, in a buffer of the caller's.
bool current_user(BYTE* buffer, DWORD size, PSID* sid) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD needed = 0;
  bool ok = GetTokenInformation(token, TokenUser, buffer, size, &needed) != FALSE;
  CloseHandle(token);
  if (ok) *sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
  return ok;
}

// The trustees that are not "others": SYSTEM and the Administrators group may reach every
// file anyway (they can take its ownership), so granting them access gives nothing away.
struct Administrators {
  BYTE system[SECURITY_MAX_SID_SIZE];
  BYTE admins[SECURITY_MAX_SID_SIZE];
};
bool make_administrators(Administrators* a) {
  DWORD size = sizeof a->system;
  if (!CreateWellKnownSid(WinLocalSystemSid, nullptr, a->system, &size)) return false;
  size = sizeof a->admins;
  return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, a->admins, &size) != FALSE;
}
bool is_administrator(PSID sid, Administrators& a) {
  return EqualSid(sid, a.system) || EqualSid(sid, a.admins);
}

// Rights that let a trustee read the file's content, and those that let it change the file or
// give itself any right (its access list, its owner).
constexpr ACCESS_MASK kReadRights = GENERIC_ALL | GENERIC_READ | FILE_READ_DATA;
constexpr ACCESS_MASK kWriteRights = GENERIC_ALL | GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA |
                                     WRITE_DAC | WRITE_OWNER;

// Judges the access list: every entry that allows something to a trustee other than the owner
// (or the "owner rights" trustee, which stands for it), SYSTEM and Administrators. Denying
// entries are not weighed against it: a file that is safe only through a deny entry is
// reported as reachable, which errs on the safe side.
void judge_access_list(PACL dacl, PSID owner, Administrators& a, FileAccess* access) {
  if (dacl == nullptr) {  // no list at all: everyone may do everything
    access->others_can_read = access->others_can_write = true;
    return;
  }
  BYTE owner_rights[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof owner_rights;
  const bool have_owner_rights = CreateWellKnownSid(WinCreatorOwnerRightsSid, nullptr, owner_rights, &size) != FALSE;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(dacl, i, &entry)) continue;
    const ACE_HEADER* header = static_cast<const ACE_HEADER*>(entry);
    // Entries only for what is created inside a folder do not apply to the file itself.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    const ACCESS_ALLOWED_ACE* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    PSID trustee = const_cast<DWORD*>(&allowed->SidStart);
    if ((owner != nullptr && EqualSid(trustee, owner)) || is_administrator(trustee, a) ||
        (have_owner_rights && EqualSid(trustee, owner_rights))) {
      continue;
    }
    if ((allowed->Mask & kReadRights) != 0) access->others_can_read = true;
    if ((allowed->Mask & kWriteRights) != 0) access->others_can_write = true;
  }
}

}  // namespace

bool file_access_from_descriptor(PSECURITY_DESCRIPTOR descriptor, PSID user, FileAccess* access) {
  Administrators administrators;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  BOOL present = FALSE;
  PACL dacl = nullptr;
  if (!make_administrators(&administrators) || !GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
      !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
    return false;
  }
  *access = FileAccess{};
  access->owned_by_user = owner != nullptr && EqualSid(owner, user);
  access->owned_by_administrator = owner != nullptr && is_administrator(owner, administrators);
  judge_access_list(present ? dacl : nullptr, owner, administrators, access);
  return true;
}

bool write_new_private_file(const char* path, const char* data, std::size_t length) {
  BYTE user_buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  PSID user = nullptr;
  LPSTR user_text = nullptr;
  if (!current_user(user_buffer, sizeof user_buffer, &user) || !ConvertSidToStringSidA(user, &user_text)) return false;
  // Protected ("P"): nothing is inherited from the folder. Full access for the user and for
  // SYSTEM (a service may run as it), no one else; Administrators can still take the file.
  char sddl[256];
  std::snprintf(sddl, sizeof sddl, "D:P(A;;FA;;;%s)(A;;FA;;;SY)", user_text);
  LocalFree(user_text);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return false;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  // CREATE_NEW: an existing file (or link) is never overwritten.
  HANDLE file = CreateFileA(path, GENERIC_WRITE | DELETE, 0, &attributes, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  const DWORD created = GetLastError();
  LocalFree(descriptor);
  if (file == INVALID_HANDLE_VALUE) {
    set_last_error(created == ERROR_FILE_EXISTS ? kErrorAlreadyExists : created);
    return false;
  }
  DWORD written = 0;
  bool ok = length <= MAXDWORD && WriteFile(file, data, static_cast<DWORD>(length), &written, nullptr) &&
            written == length && FlushFileBuffers(file);
  DWORD error = GetLastError();
  if (!ok) {
    // Removed through the open handle: no other file can be deleted in its place.
    FILE_DISPOSITION_INFO dispose{TRUE};
    SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose);
  }
  CloseHandle(file);
  if (!ok) set_last_error(error != 0 ? error : ERROR_WRITE_FAULT);
  return ok;
}

bool read_private_file(const char* path, char* buffer, std::size_t room, std::size_t* length,
                       FileAccess* access) {
  HANDLE file = CreateFileA(path, GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD error = ERROR_SUCCESS;
  LARGE_INTEGER size;
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
    error = ERROR_INVALID_PARAMETER;
  } else if (static_cast<unsigned long long>(size.QuadPart) > room) {
    error = ERROR_FILE_TOO_LARGE;
  }
  DWORD read = 0;
  if (error == ERROR_SUCCESS &&
      !ReadFile(file, buffer, static_cast<DWORD>(size.QuadPart), &read, nullptr)) {
    error = GetLastError();
  }
  // The owner and the access list of the opened file itself.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (error == ERROR_SUCCESS) {
    error = GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, nullptr, nullptr, &descriptor);
  }
  CloseHandle(file);
  BYTE user_buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  PSID user = nullptr;
  if (error == ERROR_SUCCESS &&
      (!current_user(user_buffer, sizeof user_buffer, &user) || !file_access_from_descriptor(descriptor, user, access))) {
    error = GetLastError();
  }
  if (descriptor != nullptr) LocalFree(descriptor);
  if (error != ERROR_SUCCESS) {
    set_last_error(error);
    return false;
  }
  *length = read;
  return true;
}

}  // namespace platform

#include "installer/install/elevation/admin_group.h"

#include <vector>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/test_seams.h"

namespace lite_installer {
namespace {

bool GetProcessToken(HANDLE process, lite_util::ScopedHandle* token) {
  if (!::OpenProcessToken(process, TOKEN_QUERY, token->Receive())) {
    PLOG(ERROR) << "OpenProcessToken fail";
    return false;
  }
  return true;
}

// The token's groups (TOKEN_GROUPS) in |buffer|.
bool GetTokenInfo(HANDLE token, std::vector<BYTE>* buffer) {
  DWORD size = 0;
  ::GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  if (size >= sizeof(TOKEN_GROUPS)) {
    buffer->assign(size, 0);
    if (::GetTokenInformation(token, TokenGroups, buffer->data(), size,
                              &size)) {
      return true;
    }
  }
  PLOG(ERROR) << "GetTokenInformation failed";
  return false;
}

}  // namespace

bool IsUserAnAdminGroup(HANDLE process) {
  lite_util::ScopedHandle token;
  if (!GetProcessToken(process, &token)) return false;
  BYTE admin_sid[SECURITY_MAX_SID_SIZE] = {};
  DWORD sid_size = sizeof(admin_sid);
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admin_sid,
                            &sid_size)) {
    PLOG(ERROR) << "CreateWellKnownSid failed";
    return false;
  }
  std::vector<BYTE> buffer;
  if (!GetTokenInfo(token.Get(), &buffer)) return false;
  // A standard user's token cannot be had under this platform.
  if (lite_util::TestSeamEnabled("token-not-in-admin-group")) return false;
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  // The count comes from the system, but is checked against the buffer it
  // came in all the same.
  size_t room = (buffer.size() - offsetof(TOKEN_GROUPS, Groups)) /
                sizeof(SID_AND_ATTRIBUTES);
  for (DWORD i = 0; i < groups->GroupCount && i < room; ++i) {
    if (::EqualSid(groups->Groups[i].Sid, admin_sid)) return true;
  }
  return false;
}

}  // namespace lite_installer

#include "installer/lite_util/disk_space.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/test_seams.h"

namespace lite_util {
namespace {

// Strict decimal: digits only, no sign, no overflow.
bool ParseByteCount(const std::string& text, uint64_t* bytes) {
  if (text.empty()) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
  }
  *bytes = value;
  return true;
}

// Bytes of |folder|'s drive that this user may fill (quotas included). The
// test build can be handed the figure, since a test cannot fill a disk.
bool GetAvailableBytes(const wchar_t* folder, uint64_t* bytes) {
  std::string seam;
  if (TestSeamValue("FREE_DISK_BYTES", &seam) && ParseByteCount(seam, bytes))
    return true;
  ULARGE_INTEGER available;
  if (!::GetDiskFreeSpaceExW(folder, &available, nullptr, nullptr))
    return false;
  *bytes = available.QuadPart;
  return true;
}

}  // namespace

bool HasEnoughDiskSpace(bool system_level, uint64_t required_bytes) {
  // The browser goes to Program Files for all users, to the local
  // application data of this user otherwise. A failed query is no reason
  // to refuse the installation.
  wchar_t folder[MAX_PATH];
  int csidl = system_level ? CSIDL_PROGRAM_FILES : CSIDL_LOCAL_APPDATA;
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT,
                                folder))) {
    LOG(INFO) << "SHGetFolderPath failed";
    return true;
  }
  uint64_t available = 0;
  if (!GetAvailableBytes(folder, &available)) {
    LOG(INFO) << "GetDiskFreeSpaceEx failed";
    return true;
  }
  if (available >= required_bytes) return true;
  LOG(INFO) << "There is not enough disk space to install browser";
  return false;
}

}  // namespace lite_util

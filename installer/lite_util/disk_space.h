// Free disk space on the drive the browser is installed to.
#ifndef INSTALLER_LITE_UTIL_DISK_SPACE_H_
#define INSTALLER_LITE_UTIL_DISK_SPACE_H_

#include <cstdint>

namespace lite_util {

constexpr uint64_t kRequiredInstallSpace = 629145600;  // 600 MiB

bool HasEnoughDiskSpace(bool system_level, uint64_t required_bytes);

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_DISK_SPACE_H_

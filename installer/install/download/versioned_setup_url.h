// Whether the brand's versioned setup URL may be used: it names one fixed
// browser build, which is only worth fetching while the installer itself is
// recent. An installer older than 30 days takes the general URL instead.
#ifndef INSTALLER_INSTALL_DOWNLOAD_VERSIONED_SETUP_URL_H_
#define INSTALLER_INSTALL_DOWNLOAD_VERSIONED_SETUP_URL_H_

#include <cstdint>
#include <string>

namespace lite_installer {

// 30 days in microseconds.
constexpr int64_t kVersionedSetupUrlMaxAgeUs = 2592000000000LL;

// The creation time of the file at |path| in microseconds since 1601-01-01
// UTC: the file date of its version resource, or, when the resource is
// missing or its date is 0, the file's last write time.
bool GetModuleCreationTime(const std::wstring& path, int64_t* time_us);

// The decision itself, for a module created at |creation_time_us| (0 when
// unknown) and the current time |now_us|.
bool IsVersionedSetupUrlAllowedAt(const std::string& url,
                                  int64_t creation_time_us, int64_t now_us);

// The decision for this process's own executable and the system time.
bool IsVersionedSetupUrlAllowed(const std::string& url);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_DOWNLOAD_VERSIONED_SETUP_URL_H_

// The installation report that ends every installation: one GET to the
// storage service with the report id, the result and the durations.
#ifndef INSTALLER_INSTALL_INSTALLATION_REPORT_H_
#define INSTALLER_INSTALL_INSTALLATION_REPORT_H_

#include <cstdint>
#include <string>

namespace lite_installer {

// The storage service host (build configuration).
std::wstring StorageHost();

// https://<host>/get/browser/install?ui=<report id>&result=<result>
// &time=<s>[&download_time=<s>][&install_time=<s>], durations given in
// microseconds and sent as whole seconds; a duration of 0 is left out
// (time always goes). Values are not escaped: the report id is GUID text.
std::wstring BuildInstallationReportUrl(const std::wstring& host,
                                        const std::wstring& report_id,
                                        const char* result,
                                        int64_t total_time_us,
                                        int64_t download_time_us,
                                        int64_t setup_time_us);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_INSTALLATION_REPORT_H_

#include "installer/install/installation_report.h"

#include "installer/install/install_clock.h"
#include "installer/lite_util/string_util.h"
#include "service_hosts.h"

namespace lite_installer {

std::wstring StorageHost() { return lite_util::Utf8ToWide(KELVRA_STORAGE_HOST); }

std::wstring BuildInstallationReportUrl(const std::wstring& host,
                                        const std::wstring& report_id,
                                        const char* result,
                                        int64_t total_time_us,
                                        int64_t download_time_us,
                                        int64_t setup_time_us) {
  std::wstring url = L"https://" + host + L"/get/browser/install?ui=" +
                     report_id + L"&result=" + lite_util::Utf8ToWide(result) +
                     L"&time=" + SecondsText(total_time_us);
  if (download_time_us != 0)
    url += L"&download_time=" + SecondsText(download_time_us);
  if (setup_time_us != 0) url += L"&install_time=" + SecondsText(setup_time_us);
  return url;
}

}  // namespace lite_installer

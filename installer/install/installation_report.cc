#include "installer/install/installation_report.h"

#include "installer/lite_util/string_util.h"
#include "service_hosts.h"

namespace lite_installer {
namespace {

std::wstring Seconds(int64_t microseconds) {
  return std::to_wstring(microseconds / 1000000);
}

}  // namespace

std::wstring StorageHost() { return lite_util::Utf8ToWide(KELVRA_STORAGE_HOST); }

std::wstring BuildInstallationReportUrl(const std::wstring& host,
                                        const std::wstring& report_id,
                                        const char* result,
                                        int64_t total_time_us,
                                        int64_t download_time_us,
                                        int64_t setup_time_us) {
  std::wstring url = L"https://" + host + L"/get/browser/install?ui=" +
                     report_id + L"&result=" + lite_util::Utf8ToWide(result) +
                     L"&time=" + Seconds(total_time_us);
  if (download_time_us != 0)
    url += L"&download_time=" + Seconds(download_time_us);
  if (setup_time_us != 0) url += L"&install_time=" + Seconds(setup_time_us);
  return url;
}

}  // namespace lite_installer

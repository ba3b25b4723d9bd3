#include "installer/ui/main_window_values.h"

#include "installer/brand/predetermined_choices.h"
#include "installer/lite_util/string_util.h"

namespace lite_installer {

bool IsKvpinOffered(int kvpin_state) {
  return kvpin_state == 2 || kvpin_state == 3;
}

int ComputeCheckBoxSet(const PredeterminedChoices& choices, int kvpin_state) {
  int set = 0;
  if (!choices.default_browser_given) set |= 1;
  if (!choices.statistics_given) set |= 2;
  if (IsKvpinOffered(kvpin_state)) set |= 4;
  return set;
}

int DownloadProgressPercent(float fraction) {
  // Written so that NaN fails the first test and lands on 0.
  if (!(fraction >= 0.0f)) fraction = 0.0f;
  if (fraction > 1.0f) fraction = 1.0f;
  return static_cast<int>(fraction * 40.0f + (1.0f - fraction) * 5.0f);
}

bool InstallStageProgress(WPARAM stage, int* percent) {
  if (stage == 5) {
    *percent = 75;
    return true;
  }
  if (stage == 7) {
    *percent = 79;
    return true;
  }
  return false;
}

bool ImportProgress(WPARAM import_percent, int* percent) {
  if (import_percent > 100) return false;
  float share = static_cast<float>(import_percent) / 100.0f;
  *percent = static_cast<int>(share * 100.0f + (1.0f - share) * 80.0f);
  return true;
}

int ClampPostedPercent(WPARAM wparam) {
  INT_PTR value = static_cast<INT_PTR>(wparam);
  if (value < 0) return 0;
  if (value > 100) return 100;
  return static_cast<int>(value);
}

int ProgressPrefixStringId(int percent) {
  if (percent <= 40) return 407;
  if (percent <= 90) return 408;
  return 409;
}

std::wstring ProgressText(const std::wstring& prefix, int percent) {
  return prefix + std::to_wstring(percent) + L"%";
}

std::wstring SlideBaseUrl(const std::string& brand_slide_url, bool facetune,
                          const std::string& language_code,
                          const std::string& download_host) {
  if (!brand_slide_url.empty()) return lite_util::Utf8ToWide(brand_slide_url);
  std::string url = "https://" + download_host + "/browser/installer/";
  if (facetune) url += "facetune/";
  url += language_code + "/";
  return lite_util::Utf8ToWide(url);
}

}  // namespace lite_installer

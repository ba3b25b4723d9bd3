// The brand settings: reset, the settings keys and their order, defaults,
// the log of the record, brand URL parameters and the kvpin offer state.
// The package half of BrandInfo is in brand_packages.cc.
#include "installer/brand/brand_info.h"

#include <cstdlib>
#include <utility>

#include "installer/brand/distrib_info_params.h"
#include "installer/brand/user_locale.h"
#include "installer/brand/web_page_urls.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/user_id.h"
#include "installer/main/command_line.h"
#include "installer/ui/languages.h"
#include "service_hosts.h"
#include "version.h"

namespace lite_installer {
namespace {

constexpr char kDefaultBrandId[] = "kelvra";
constexpr char kDefaultSetupUrlHead[] = "https://" KELVRA_DOWNLOAD_HOST
                                        "/browser/";
constexpr char kDefaultSetupUrlTail[] = "/browser-setup.arc";
constexpr char kDefaultScenariosUrl[] =
    "https://" KELVRA_DOWNLOAD_HOST "/browser/installer/orvix/scenarios/";
constexpr char kDefaultLicenseUrl[] =
    "https://" KELVRA_LEGAL_HOST "/browser_agreement/";
constexpr char kDefaultPrivacyPolicyUrl[] =
    "https://" KELVRA_LEGAL_HOST "/confidential/";
constexpr char kDefaultVariationsUrl[] =
    "https://" KELVRA_BROWSER_API_HOST "/content/get/experiments/browser.proto";
constexpr char kDefaultAbtUrl[] = "https://" KELVRA_ABT_API_HOST "/ab/get";

constexpr char kFacetuneKey[] = "overridden_features.InstallerFacetune2023";

}  // namespace

std::string AppendBrandParameters(const std::string& url,
                                  const std::string& brand_id,
                                  const std::string& partner_id,
                                  const std::string& user_id,
                                  const std::string& version) {
  const std::pair<const char*, const std::string*> parameters[] = {
      {"brand", &brand_id},
      {"partner", &partner_id},
      {"uid", &user_id},
      {"version", &version},
  };
  std::string result = url;
  for (const auto& parameter : parameters) {
    // A value read from the profile or the brand may hold anything: it
    // goes percent-encoded, and not at all with a control character.
    if (parameter.second->empty() ||
        HasControlCharacters(*parameter.second)) {
      continue;
    }
    result += result.find('?') == std::string::npos ? '?' : '&';
    result += parameter.first;
    result += '=';
    result += EscapeUrlValue(*parameter.second);
  }
  return result;
}

int ParseKvpinTrialState(const std::string& text) {
  if (text.empty()) return 0;
  size_t start = text[0] == '-' || text[0] == '+' ? 1 : 0;
  if (start == text.size()) return 0;
  for (size_t i = start; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
  }
  // Long digit runs would overflow; any of them is out of range anyway.
  if (text.size() - start > 9) return 0;
  long state = std::strtol(text.c_str(), nullptr, 10);
  return state >= 0 && state <= 3 ? static_cast<int>(state) : 0;
}

BrandInfo::BrandInfo(const std::wstring& temp_dir) : temp_dir_(temp_dir) {}

void BrandInfo::Reset() {
  LOG_AS(INFO, "Clear") << "Reset brand info.";
  setup_url_.clear();
  setup_url_version_.clear();
  setup_url64_.clear();
  setup_url_version64_.clear();
  setup_url32_.clear();
  brand_id_.clear();
  brand_name_.clear();
  default_language_.clear();
  language_id_ = kDefaultLanguageId;
  license_url_.clear();
  privacy_policy_url_.clear();
  brand_package_path_.clear();
  partner_package_path_.clear();
  partner_id_.clear();
  scenarios_url_.clear();
  slide_url_.clear();
  slide_url_if_tagged_.clear();
  preloaded_wallpapers_url_.clear();
  pin_present_ = false;
  kvpin_trial_state_.clear();
  facetune_enabled_ = false;
  facetune_first_screen_off_ = false;
  alternate_installer_title_ = kTriStateNotSet;
  send_statistics_ = kTriStateNotSet;
  make_browser_default_ = kTriStateNotSet;
}

void BrandInfo::ApplyString(const SettingsDocument& settings, const char* key,
                            std::string* field) {
  if (!field->empty()) return;
  settings.FindString(key, field);
}

void BrandInfo::ApplyTriState(const SettingsDocument& settings,
                              const char* key, int* field) {
  if (*field != kTriStateNotSet) return;
  *field = settings.FindTriState(key);
}

void BrandInfo::ApplyFacetune(const SettingsDocument& settings) {
  if (!settings.IsPresentAndNotNull(kFacetuneKey)) return;
  const std::string feature = kFacetuneKey;
  settings.FindBool(feature + ".enabled", &facetune_enabled_);
  settings.FindBool(feature + ".params.firstScreenOff",
                    &facetune_first_screen_off_);
  LOG_AS(INFO, "ApplyBrandInfo") << "InstallerFacetune2023: enabled = "
            << (facetune_enabled_ ? 1 : 0)
            << ", firstScreenOff = " << (facetune_first_screen_off_ ? 1 : 0);
}

void BrandInfo::ApplyBrandInfo(const std::string& settings_text) {
  SettingsDocument settings;
  SettingsTextError error;
  // A text that cannot be read leaves the document empty: every key is
  // absent and nothing changes but the recomputed language id.
  if (!settings.Parse(settings_text, &error)) {
    LOG(ERROR) << "Can't parse brand settings: " << error.text << " (line "
               << error.line << ", column " << error.column << ")";
  }

  ApplyString(settings, "languages.interface", &default_language_);
  language_id_ = LanguageIdFromCode(default_language_);
  ApplyString(settings, "brand_id", &brand_id_);
  ApplyString(settings, "brand_name", &brand_name_);
  ApplyString(settings, "install.setup_url", &setup_url_);
  ApplyString(settings, "install.setup_url_version", &setup_url_version_);
  ApplyString(settings, "install.setup_url64", &setup_url64_);
  ApplyString(settings, "install.setup_url_version64", &setup_url_version64_);
  ApplyString(settings, "install.setup_url32", &setup_url32_);
  ApplyString(settings, "license_url", &license_url_);
  ApplyString(settings, "install.conf_policy_url", &privacy_policy_url_);
  ApplyTriState(settings, "install.alternate_installer_title",
                &alternate_installer_title_);
  ApplyTriState(settings, "install.send_statistics", &send_statistics_);
  ApplyTriState(settings, "install.make_browser_default",
                &make_browser_default_);
  ApplyString(settings, "partner_id", &partner_id_);
  ApplyString(settings, "install.scenarios_url", &scenarios_url_);
  ApplyString(settings, "install.slide_url", &slide_url_);
  ApplyString(settings, "install.slide_url_if_tagged", &slide_url_if_tagged_);
  ApplyString(settings, "urls.variations", &variations_url_);
  ApplyString(settings, "urls.abt", &abt_url_);
  ApplyString(settings, "install.preloaded_wallpapers_url",
              &preloaded_wallpapers_url_);
  if (settings.IsPresentAndNotNull("install.pin")) {
    pin_present_ = true;
    LOG(INFO) << "Found install.pin";
  }
  ApplyString(settings, "install.kvpin_trial_state", &kvpin_trial_state_);
  ApplyFacetune(settings);
}

void BrandInfo::ApplyBrandDefaults() {
  if (brand_id_.empty()) brand_id_ = kDefaultBrandId;
  if (brand_name_.empty()) brand_name_ = brand_id_;
  // The partner id has no default: a build without a partner sends none.
  if (scenarios_url_.empty()) scenarios_url_ = kDefaultScenariosUrl;
  if (setup_url_.empty())
    setup_url_ = kDefaultSetupUrlHead + brand_id_ + kDefaultSetupUrlTail;
  if (license_url_.empty()) license_url_ = kDefaultLicenseUrl;
  if (privacy_policy_url_.empty())
    privacy_policy_url_ = kDefaultPrivacyPolicyUrl;
  if (default_language_.empty())
    default_language_ = GetUserInterfaceLanguageCode();
  language_id_ = LanguageIdFromCode(default_language_);
  if (variations_url_.empty()) variations_url_ = kDefaultVariationsUrl;
  if (abt_url_.empty()) abt_url_ = kDefaultAbtUrl;
  LogBrandInfo();
}

void BrandInfo::LogBrandInfo() const {
  LOG(INFO) << "Brand id: " << brand_id_;
  LOG(INFO) << "Brand name: " << brand_name_;
  LOG(INFO) << "Setup url: " << setup_url_;
  LOG(INFO) << "Versioned setup url: " << setup_url_version_;
  LOG(INFO) << "Setup url64: " << setup_url64_;
  LOG(INFO) << "Versioned setup url64: " << setup_url_version64_;
  LOG(INFO) << "Setup url32: " << setup_url32_;
  LOG(INFO) << "Default language: " << default_language_;
  LOG(INFO) << "Orvix install scenarios url: " << scenarios_url_;
  LOG(INFO) << "Install slide url by default: " << slide_url_;
  LOG(INFO) << "Install slide url if tagged installer: "
            << slide_url_if_tagged_;
  LOG(INFO) << "Show international title: " << (ShowAlternateTitle() ? 1 : 0);
  LOG(INFO) << "Send browser's statistics: "
            << (SendStatisticsByDefault() ? 1 : 0);
  LOG(INFO) << "Make browser default after import: "
            << (MakeDefaultByDefault() ? 1 : 0);
  LOG(INFO) << "Preloaded wallpapers url: " << preloaded_wallpapers_url_;
}

std::string BrandInfo::AddBrandParameters(const std::string& url) const {
  return AppendBrandParameters(url, brand_id_, partner_id_,
                               lite_util::GetUserIdWithoutBraces(),
                               LITE_PRODUCT_VERSION_TEXT);
}

std::string BrandInfo::GetVariationsUrl() const {
  return AddBrandParameters(variations_url_);
}

std::string BrandInfo::GetAbtUrl() const {
  return AddBrandParameters(abt_url_);
}

int BrandInfo::GetKvpinTrialState(const DistribInfoParams& distrib,
                                  const CommandLine& command_line) const {
  if (facetune_enabled_) return 0;
  if (!pin_present_) {
    if (!kvpin_trial_state_.empty()) {
      LOG(WARNING) << "No install.pin for kvpin_state="
                   << kvpin_trial_state_;
    }
    return 1;
  }
  std::string state = kvpin_trial_state_;
  if (state.empty()) state = command_line.GetSwitchValueASCII("kvpin-state");
  if (state.empty()) distrib.Find("kvpin", &state);
  return ParseKvpinTrialState(state);
}

}  // namespace lite_installer

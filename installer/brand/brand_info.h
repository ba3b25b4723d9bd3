// The brand settings record of this installer: which brand and partner it
// was built for, its setup and service URLs, its language and defaults for
// the user's choices. Filled at start-up from the brand and partner packages
// carried as resources, completed with built-in defaults, read-only after.
#ifndef INSTALLER_BRAND_BRAND_INFO_H_
#define INSTALLER_BRAND_BRAND_INFO_H_

#include <cstddef>
#include <string>

#include "installer/brand/settings_text.h"

namespace lite_installer {

class CommandLine;
class DistribInfoParams;

// Appends "name=value" for every non-empty value, in the order brand,
// partner, uid, version, each after "?" when |url| has no "?" yet and after
// "&" otherwise. Values are appended as they are.
std::string AppendBrandParameters(const std::string& url,
                                  const std::string& brand_id,
                                  const std::string& partner_id,
                                  const std::string& user_id,
                                  const std::string& version);

// The kvpin offer state of a decimal text: 0 to 3, and 0 for an empty,
// non-numeric or out-of-range text.
int ParseKvpinTrialState(const std::string& text);

class BrandInfo {
 public:
  // |temp_dir| ends with a path separator, as GetTempPathW gives it.
  explicit BrandInfo(const std::wstring& temp_dir);
  BrandInfo(const BrandInfo&) = delete;
  BrandInfo& operator=(const BrandInfo&) = delete;

  // Packages (brand_packages.cc).

  // The whole start-up load for |brand_name|, the 8-bit value of the
  // "brand-name" switch (empty when absent, "auto" to autodetect).
  void GetInfo(const std::string& brand_name);
  // Chooses the partner and brand packages, writes them into the temporary
  // directory and applies their settings, the partner package first.
  void GetInfoFromResources(const std::string& brand_name);
  // Extracts |settings_name| from the cabinet |package| and applies it; an
  // unreadable cabinet or one without that file applies nothing.
  void ExtractAndApplyPackage(const std::string& package,
                              const std::string& settings_name);
  // The browser key's "lang" = the default language.
  void StoreLanguageInRegistry() const;
  // The browser key's "brand", "BrandFile" and, when a partner package was
  // written, "PartnerFile".
  void StoreBrandInRegistry() const;
  // Removes "brand", "BrandFile" and "PartnerFile" from the browser key.
  void RemoveBrandFromRegistry() const;

  // Settings (brand_info.cc).

  // Empties the settings; keeps the temporary directory, the variations
  // and experiments URLs and the package-written flags.
  void Reset();
  // Applies the settings text of one package: only fields that are still
  // empty are filled, so the first package that sets a field wins. A text
  // that cannot be read applies nothing.
  void ApplyBrandInfo(const std::string& settings_text);
  // Completes every empty field with its default, then logs the record.
  void ApplyBrandDefaults();
  void LogBrandInfo() const;

  // |url| with the brand parameters brand, partner, uid and version.
  std::string AddBrandParameters(const std::string& url) const;
  std::string GetVariationsUrl() const;
  std::string GetAbtUrl() const;
  // Whether and how the kvpin offer is shown: 2 shown and selected, 3 shown
  // and not selected, other values not shown.
  int GetKvpinTrialState(const DistribInfoParams& distrib,
                         const CommandLine& command_line) const;

  bool SendStatisticsByDefault() const {
    return send_statistics_ != kTriStateFalse;
  }
  bool MakeDefaultByDefault() const {
    return make_browser_default_ != kTriStateFalse;
  }
  bool ShowAlternateTitle() const {
    return alternate_installer_title_ == kTriStateTrue;
  }

  const std::string& setup_url() const { return setup_url_; }
  const std::string& setup_url_version() const { return setup_url_version_; }
  const std::string& setup_url64() const { return setup_url64_; }
  const std::string& setup_url_version64() const {
    return setup_url_version64_;
  }
  const std::string& setup_url32() const { return setup_url32_; }
  const std::string& brand_id() const { return brand_id_; }
  const std::string& brand_name() const { return brand_name_; }
  const std::string& default_language() const { return default_language_; }
  // The entry's "lang" distribution parameter replaces the packages' choice
  // before the defaults are applied.
  void set_default_language(const std::string& code) {
    default_language_ = code;
  }
  int language_id() const { return language_id_; }
  const std::string& license_url() const { return license_url_; }
  const std::string& privacy_policy_url() const { return privacy_policy_url_; }
  const std::wstring& temp_dir() const { return temp_dir_; }
  const std::wstring& brand_package_path() const {
    return brand_package_path_;
  }
  const std::wstring& partner_package_path() const {
    return partner_package_path_;
  }
  const std::string& partner_id() const { return partner_id_; }
  const std::string& scenarios_url() const { return scenarios_url_; }
  const std::string& slide_url() const { return slide_url_; }
  const std::string& slide_url_if_tagged() const {
    return slide_url_if_tagged_;
  }
  const std::string& variations_url() const { return variations_url_; }
  const std::string& abt_url() const { return abt_url_; }
  const std::string& preloaded_wallpapers_url() const {
    return preloaded_wallpapers_url_;
  }
  bool pin_present() const { return pin_present_; }
  const std::string& kvpin_trial_state() const { return kvpin_trial_state_; }
  bool facetune_enabled() const { return facetune_enabled_; }
  bool facetune_first_screen_off() const {
    return facetune_first_screen_off_;
  }
  bool brand_package_written() const { return brand_package_written_; }
  bool partner_package_written() const { return partner_package_written_; }
  int alternate_installer_title() const { return alternate_installer_title_; }
  int send_statistics() const { return send_statistics_; }
  int make_browser_default() const { return make_browser_default_; }

 private:
  void ApplyString(const SettingsDocument& settings, const char* key,
                   std::string* field);
  void ApplyTriState(const SettingsDocument& settings, const char* key,
                     int* field);
  void ApplyFacetune(const SettingsDocument& settings);

  std::string setup_url_;
  std::string setup_url_version_;
  std::string setup_url64_;
  std::string setup_url_version64_;
  std::string setup_url32_;
  std::string brand_id_;
  std::string brand_name_;
  std::string default_language_;
  int language_id_ = 1033;
  std::string license_url_;
  std::string privacy_policy_url_;
  std::wstring temp_dir_;
  std::wstring brand_package_path_;
  std::wstring partner_package_path_;
  std::string partner_id_;
  std::string scenarios_url_;
  std::string slide_url_;
  std::string slide_url_if_tagged_;
  std::string variations_url_;
  std::string abt_url_;
  std::string preloaded_wallpapers_url_;
  bool pin_present_ = false;
  std::string kvpin_trial_state_;
  bool facetune_enabled_ = false;
  bool facetune_first_screen_off_ = false;
  bool brand_package_written_ = false;
  bool partner_package_written_ = false;
  int alternate_installer_title_ = kTriStateNotSet;
  int send_statistics_ = kTriStateNotSet;
  int make_browser_default_ = kTriStateNotSet;
};

}  // namespace lite_installer

#endif  // INSTALLER_BRAND_BRAND_INFO_H_

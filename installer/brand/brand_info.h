// The brand settings record of this installer: which brand and partner it
// was built for, its service URLs and defaults.
#ifndef INSTALLER_BRAND_BRAND_INFO_H_
#define INSTALLER_BRAND_BRAND_INFO_H_

#include <string>

namespace lite_installer {

class BrandInfo {
 public:
  explicit BrandInfo(const std::wstring& temp_dir);
  BrandInfo(const BrandInfo&) = delete;
  BrandInfo& operator=(const BrandInfo&) = delete;

  // Loads the brand and partner packages for |brand_name| (the value of
  // "brand-name", may be empty or "auto").
  void GetInfo(const std::string& brand_name);
  // Completes every empty field with its default.
  void ApplyBrandDefaults();

  const std::wstring& temp_dir() const { return temp_dir_; }
  const std::string& brand_id() const { return brand_id_; }
  const std::string& brand_name() const { return brand_name_; }
  const std::string& default_language() const { return default_language_; }
  void set_default_language(const std::string& code) {
    default_language_ = code;
  }
  int language_id() const { return language_id_; }
  bool SendStatisticsByDefault() const { return send_statistics_ == 1; }

 private:
  std::wstring temp_dir_;
  std::string brand_id_;
  std::string brand_name_;
  std::string default_language_;
  int language_id_ = 1033;
  int send_statistics_ = 0;  // tri-state: 0 unset, 1 yes, 2 no
};

}  // namespace lite_installer

#endif  // INSTALLER_BRAND_BRAND_INFO_H_

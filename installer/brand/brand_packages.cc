// The package half of BrandInfo: choosing the partner and brand packages
// among the installer's "BIN" resources, writing them into the temporary
// directory for the browser setup, applying their settings, and publishing
// their paths in the browser's registry key.
#include <windows.h>

#include <string>

#include "installer/brand/brand_autodetect.h"
#include "installer/brand/brand_info.h"
#include "installer/brand/cab_extractor.h"
#include "installer/lite_util/bin_resource.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/registry.h"
#include "installer/lite_util/string_util.h"

namespace lite_installer {
namespace {

constexpr WORD kPartnerPackageId = 320;
constexpr WORD kDefaultBrandPackageId = 319;
constexpr char kBrandSettingsName[] = "brand_config";
constexpr char kPartnerSettingsName[] = "partner_config";

constexpr wchar_t kBrandValue[] = L"brand";
constexpr wchar_t kBrandFileValue[] = L"BrandFile";
constexpr wchar_t kPartnerFileValue[] = L"PartnerFile";
constexpr wchar_t kLanguageValue[] = L"lang";

std::string LoadPackageResource(WORD id) {
  return lite_util::LoadBinResource(MAKEINTRESOURCEW(id));
}

std::string ToUpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// "BRAND_" + |upper_name|, widened byte by byte.
std::string LoadNamedBrandPackage(const std::string& upper_name) {
  std::wstring name = lite_util::WidenBytes("BRAND_" + upper_name);
  return lite_util::LoadBinResource(name.c_str());
}

}  // namespace

void BrandInfo::GetInfo(const std::string& brand_name) {
  Reset();
  RemoveBrandFromRegistry();
  Reset();
  // Without a temporary folder the packages are applied but not written:
  // a bare file name would land in the working directory.
  if (!temp_dir_.empty()) {
    brand_package_path_ = temp_dir_ + kBrandFileValue;
    partner_package_path_ = temp_dir_ + kPartnerFileValue;
  }
  LOG(INFO) << "Brand package path: " << brand_package_path_;
  LOG(INFO) << "Partner package path: " << partner_package_path_;
  GetInfoFromResources(brand_name);
}

void BrandInfo::GetInfoFromResources(const std::string& brand_name) {
  std::string partner_package = LoadPackageResource(kPartnerPackageId);
  if (!partner_package.empty()) {
    LOG(INFO) << "Extract Partner package: " << partner_package_path_ << " ["
              << partner_package.size() << "B]";
    if (!partner_package_path_.empty()) {
      lite_util::WriteBinFile(partner_package_path_, partner_package);
      partner_package_written_ = true;
    }
    ExtractAndApplyPackage(partner_package, kPartnerSettingsName);
  } else {
    LOG(WARNING) << "Partner package is empty.";
  }

  std::string brand_package;
  if (brand_name == "auto") {
    std::string name = ToUpperAscii(AutodetectBrandName());
    LOG(INFO) << "Fetching autodetected " << name << " package";
    brand_package = LoadNamedBrandPackage(name);
  } else if (!brand_name.empty()) {
    LOG(INFO) << "Fetching defined " << brand_name << " package";
    brand_package = LoadNamedBrandPackage(ToUpperAscii(brand_name));
  }
  if (brand_package.empty()) {
    LOG(INFO) << "Fetching default package";
    brand_package = LoadPackageResource(kDefaultBrandPackageId);
  }

  if (brand_package.empty()) {
    LOG(WARNING) << "Brand package is empty.";
    return;
  }
  LOG(INFO) << "Extract Brand package: " << brand_package_path_ << " ["
            << brand_package.size() << "B]";
  if (!brand_package_path_.empty()) {
    lite_util::WriteBinFile(brand_package_path_, brand_package);
    brand_package_written_ = true;
  }
  ExtractAndApplyPackage(brand_package, kBrandSettingsName);
}

void BrandInfo::ExtractAndApplyPackage(const std::string& package,
                                       const std::string& settings_name) {
  CabFiles files;
  // A damaged cabinet may still have delivered the settings file before
  // the damage showed; nothing of such a package is trusted.
  if (!ExtractFilesFromCab(package.data(), package.size(), settings_name,
                           &files)) {
    return;
  }
  auto settings = files.find(settings_name);
  if (settings == files.end()) {
    LOG(WARNING) << "No " << settings_name << " in the package";
    return;
  }
  ApplyBrandInfo(settings->second);
  LogBrandInfo();
}

void BrandInfo::StoreLanguageInRegistry() const {
  lite_util::StoreValueInBrowserKey(kLanguageValue,
                                    lite_util::WidenBytes(default_language_));
}

void BrandInfo::StoreBrandInRegistry() const {
  lite_util::StoreValueInBrowserKey(kBrandValue,
                                    lite_util::WidenBytes(brand_name_));
  lite_util::StoreValueInBrowserKey(kBrandFileValue, brand_package_path_);
  if (partner_package_written_)
    lite_util::StoreValueInBrowserKey(kPartnerFileValue, partner_package_path_);
}

void BrandInfo::RemoveBrandFromRegistry() const {
  lite_util::RemoveValueFromBrowserKey(kBrandValue);
  lite_util::RemoveValueFromBrowserKey(kBrandFileValue);
  lite_util::RemoveValueFromBrowserKey(kPartnerFileValue);
}

}  // namespace lite_installer

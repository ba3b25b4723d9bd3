// Addresses of the browser's web pages that the installer opens: the
// download page offered after a failed installation, and the licence page
// in the brand's language.
#ifndef INSTALLER_BRAND_WEB_PAGE_URLS_H_
#define INSTALLER_BRAND_WEB_PAGE_URLS_H_

#include <string>

#include "installer/brand/distrib_params_text.h"

namespace lite_installer {

class BrandInfo;
class DistribInfoParams;

// The browser web site's download page for the brand's country, carrying
// the distribution parameters the page understands.
std::string GetDownloadPageUrl(const BrandInfo& brand,
                               const DistribInfoParams& distrib);
std::string BuildDownloadPageUrl(const std::string& brand_id,
                                 const DistribParamsMap& params);

// The brand's licence URL + "?lang=" + the brand's language, widened byte
// by byte.
std::wstring GetLicenseUrlWithLanguage(const BrandInfo& brand);
std::wstring BuildLicenseUrlWithLanguage(const std::string& license_url,
                                         const std::string& language);

}  // namespace lite_installer

#endif  // INSTALLER_BRAND_WEB_PAGE_URLS_H_

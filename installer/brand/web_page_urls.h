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

// A value for a URL's query: every byte but the ASCII letters, digits and
// - . _ ~ as "%" and two upper-case hexadecimal digits.
std::string EscapeUrlValue(const std::string& value);
// Whether |text| holds a control character (below 0x20, or 0x7F): such a
// value is refused, not escaped, wherever a URL is built from it.
bool HasControlCharacters(const std::string& text);

// The browser web site's download page for the brand's country, carrying
// the distribution parameters the page understands (values percent-encoded;
// a parameter with a control character is left out).
std::string GetDownloadPageUrl(const BrandInfo& brand,
                               const DistribInfoParams& distrib);
std::string BuildDownloadPageUrl(const std::string& brand_id,
                                 const DistribParamsMap& params);
// The web site host whose download page GetDownloadPageUrl gives for the
// brand.
std::string DownloadPageHost(const std::string& brand_id);
// Whether |url| may be handed to the shell as the download page: exactly
// "https://" + |host| + "/download?" followed only by unreserved
// characters, "=", "&" and well-formed "%XX" escapes (no space, quote, "#",
// second "?" or anything that could make the shell open something else).
// An empty |host| accepts any of the web site's country hosts.
bool IsAcceptedDownloadPageUrl(const std::wstring& url,
                               const std::string& host);

// The brand's licence URL + "?lang=" + the brand's language, percent-
// encoded, widened byte by byte; without the language when it holds a
// control character, and empty when the licence URL does.
std::wstring GetLicenseUrlWithLanguage(const BrandInfo& brand);
std::wstring BuildLicenseUrlWithLanguage(const std::string& license_url,
                                         const std::string& language);

}  // namespace lite_installer

#endif  // INSTALLER_BRAND_WEB_PAGE_URLS_H_

#include "installer/brand/web_page_urls.h"

#include "installer/brand/brand_info.h"
#include "installer/brand/distrib_info_params.h"
#include "installer/lite_util/string_util.h"
#include "service_hosts.h"

namespace lite_installer {
namespace {

// Host names of the browser web site's country variants (build
// configuration).
constexpr char kBelarusHost[] = KELVRA_WEBSITE_HOST_BY;
constexpr char kInternationalHost[] = KELVRA_WEBSITE_HOST_INT;
constexpr char kTurkeyHost[] = KELVRA_WEBSITE_HOST_TR;
constexpr char kUkraineHost[] = KELVRA_WEBSITE_HOST_UA;
constexpr char kRussiaHost[] = KELVRA_WEBSITE_HOST_RU;

// The parameters the download page understands; all others stay out of
// the address.
constexpr const char* kCarriedKeys[] = {
    "banerid", "beta",       "betacusto",  "bgid",
    "calypso", "custo",      "expcalypso", "football",
    "lang",    "partner_id", "tablo",      "kvpartner_id"};

constexpr const char* kWebSiteHosts[] = {kBelarusHost, kInternationalHost,
                                         kTurkeyHost, kUkraineHost,
                                         kRussiaHost};

bool IsHexDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') ||
         (c >= L'A' && c <= L'F');
}

// The query of a download page address: unreserved characters, "=", "&"
// and complete "%XX" escapes only.
bool IsPlainQuery(const std::wstring& query) {
  for (size_t i = 0; i < query.size(); ++i) {
    wchar_t c = query[i];
    if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
        (c >= L'0' && c <= L'9') || c == L'-' || c == L'.' || c == L'_' ||
        c == L'~' || c == L'=' || c == L'&')
      continue;
    if (c == L'%' && i + 2 < query.size() && IsHexDigit(query[i + 1]) &&
        IsHexDigit(query[i + 2])) {
      i += 2;
      continue;
    }
    return false;
  }
  return true;
}

const char* WebSiteHost(const std::string& brand_id) {
  if (brand_id == "by")
    return kBelarusHost;
  if (brand_id == "int")
    return kInternationalHost;
  if (brand_id == "tb")
    return kTurkeyHost;
  if (brand_id == "ua" || brand_id == "ua-uk" || brand_id == "ua-ru")
    return kUkraineHost;
  return kRussiaHost;
}

bool IsCarriedKey(const std::string& key) {
  for (const char* carried : kCarriedKeys) {
    if (key == carried)
      return true;
  }
  return false;
}

}  // namespace

std::string EscapeUrlValue(const std::string& value) {
  static const char kHexDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size());
  for (char ch : value) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
        (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
        c == '~') {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHexDigits[c >> 4]);
      out.push_back(kHexDigits[c & 0x0F]);
    }
  }
  return out;
}

bool HasControlCharacters(const std::string& text) {
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

std::string BuildDownloadPageUrl(const std::string& brand_id,
                                 const DistribParamsMap& params) {
  std::string url =
      std::string("https://") + WebSiteHost(brand_id) + "/download" + "?";
  for (const auto& param : params) {
    if (IsCarriedKey(param.first) && !HasControlCharacters(param.second))
      url += param.first + "=" + EscapeUrlValue(param.second) + "&";
  }
  return url + "full=1" + "&code=" + "lite_install_failed";
}

std::string DownloadPageHost(const std::string& brand_id) {
  return WebSiteHost(brand_id);
}

bool IsAcceptedDownloadPageUrl(const std::wstring& url,
                               const std::string& host) {
  for (const char* candidate : kWebSiteHosts) {
    if (!host.empty() && host != candidate) continue;
    const std::wstring prefix =
        L"https://" + lite_util::WidenBytes(candidate) + L"/download?";
    if (url.compare(0, prefix.size(), prefix) == 0 &&
        IsPlainQuery(url.substr(prefix.size())))
      return true;
  }
  return false;
}

std::string GetDownloadPageUrl(const BrandInfo& brand,
                               const DistribInfoParams& distrib) {
  return BuildDownloadPageUrl(brand.brand_id(), distrib.params());
}

std::wstring BuildLicenseUrlWithLanguage(const std::string& license_url,
                                         const std::string& language) {
  if (HasControlCharacters(license_url)) return std::wstring();
  if (HasControlCharacters(language)) return lite_util::WidenBytes(license_url);
  return lite_util::WidenBytes(license_url + "?lang=" + EscapeUrlValue(language));
}

std::wstring GetLicenseUrlWithLanguage(const BrandInfo& brand) {
  return BuildLicenseUrlWithLanguage(brand.license_url(),
                                     brand.default_language());
}

}  // namespace lite_installer

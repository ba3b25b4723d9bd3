#include "installer/install/download/setup_urls.h"

#include <windows.h>

#include "installer/brand/brand_info.h"
#include "installer/lite_util/logging/log.h"
#include "installer/main/command_line.h"
#include "service_hosts.h"

namespace lite_installer {
namespace {

// The last builds that run on Windows XP and Vista, whatever the brand.
constexpr char kXpBuildsUrl[] =
    "https://" KELVRA_DOWNLOAD_HOST "/browser-partners/_xp_builds/"
    "browser-setup.arc";

}  // namespace

bool IsX64System() {
  SYSTEM_INFO info = {};
  ::GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

int GetDownloadArchitecture(const CommandLine& command_line, bool x64_system) {
  if (command_line.HasSwitch("download-x64")) return kArchitectureX64;
  if (command_line.HasSwitch("download-x32")) return kArchitectureX86;
  return x64_system ? kArchitectureX64 : kArchitectureX86;
}

std::vector<std::string> GetDownloadUrlsFromBrandConfig(
    const BrandInfo& brand, int architecture,
    VersionedUrlCheck versioned_allowed) {
  std::vector<std::string> urls;
  if (architecture == kArchitectureX86Preferred) {
    if (brand.setup_url32().empty())
      LOG(WARNING) << "Setup url x32 empty!";
    else
      urls.push_back(brand.setup_url32());
  } else if (architecture == kArchitectureX64) {
    if (brand.setup_url64().empty())
      LOG(WARNING) << "Setup url x64 empty!";
    else
      urls.push_back(brand.setup_url64());
  }
  if (versioned_allowed(brand.setup_url_version()))
    urls.push_back(brand.setup_url_version());
  // An empty general URL would only become the request
  // "?from_installer=true", which fails at the open every time.
  if (!brand.setup_url().empty()) urls.push_back(brand.setup_url());
  return urls;
}

std::string AppendFromInstallerParameter(const std::string& url) {
  const size_t fragment = url.find('#');
  std::string head = url.substr(0, fragment);
  const std::string tail =
      fragment == std::string::npos ? std::string() : url.substr(fragment);
  if (head.find('?') == std::string::npos)
    head += '?';
  else if (head.back() != '?' && head.back() != '&')
    head += '&';
  return head + kFromInstallerParameter + tail;
}

std::vector<std::string> GetSetupUrls(const BrandInfo& brand, int architecture,
                                      lite_util::WindowsRelease release,
                                      VersionedUrlCheck versioned_allowed) {
  std::vector<std::string> urls;
  if (release == lite_util::kWindowsXp || release == lite_util::kWindowsVista) {
    urls.push_back(kXpBuildsUrl);
  } else {
    urls = GetDownloadUrlsFromBrandConfig(brand, architecture,
                                          versioned_allowed);
  }
  for (std::string& url : urls) url = AppendFromInstallerParameter(url);
  return urls;
}

}  // namespace lite_installer

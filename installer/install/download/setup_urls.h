// Which setup archive the installer fetches and from where: the
// architecture of the archive and the ordered list of its URLs, built from
// the brand settings and the running Windows.
#ifndef INSTALLER_INSTALL_DOWNLOAD_SETUP_URLS_H_
#define INSTALLER_INSTALL_DOWNLOAD_SETUP_URLS_H_

#include <string>
#include <vector>

#include "installer/lite_util/windows_release.h"

namespace lite_installer {

class BrandInfo;
class CommandLine;

// Architecture values of the download.
constexpr int kArchitectureX86 = 0;
constexpr int kArchitectureX64 = 1;
// Leads the list with the brand's 32-bit URL; GetDownloadArchitecture
// never chooses it.
constexpr int kArchitectureX86Preferred = 2;

// Every setup URL carries this query parameter.
constexpr char kFromInstallerParameter[] = "from_installer=true";

// Whether the operating system runs x64 code (also when this process is a
// 32-bit one).
bool IsX64System();

// kArchitectureX64 for switch download-x64, kArchitectureX86 for
// download-x32, otherwise what the system runs.
int GetDownloadArchitecture(const CommandLine& command_line, bool x64_system);

using VersionedUrlCheck = bool (*)(const std::string& url);

// The brand's URLs for |architecture| in the order they are tried: the
// architecture's own URL, the versioned URL when |versioned_allowed| lets
// it through, then the general URL. Empty settings are left out.
std::vector<std::string> GetDownloadUrlsFromBrandConfig(
    const BrandInfo& brand, int architecture,
    VersionedUrlCheck versioned_allowed);

// |url| with "from_installer=true" added to its query: after "?" when it
// has none, after "&" when it has one, ahead of a fragment.
std::string AppendFromInstallerParameter(const std::string& url);

// The complete list for |release|: the fixed archive of the builds that
// still run on Windows XP and Vista there, the brand's list elsewhere,
// every URL with the from_installer parameter.
std::vector<std::string> GetSetupUrls(const BrandInfo& brand, int architecture,
                                      lite_util::WindowsRelease release,
                                      VersionedUrlCheck versioned_allowed);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_DOWNLOAD_SETUP_URLS_H_

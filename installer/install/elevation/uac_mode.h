// When the installer elevates: 0 when the main window switches to its
// progress screen, 1 as soon as the window initialises, 2 never (the setup
// asks at the browser's first start instead).
#ifndef INSTALLER_INSTALL_ELEVATION_UAC_MODE_H_
#define INSTALLER_INSTALL_ELEVATION_UAC_MODE_H_

#include <string>

namespace lite_installer {

class BrandInfo;
class CommandLine;
class DistribInfoParams;

// The leading decimal digits of |text|; 0 without any and when the number
// does not fit an int.
int ParseUacValue(const std::string& text);

// "system-level" or "program-files-installation" → 0; no "uac" parameter →
// 0; "uac" 1 or 2 → that; 0 → 1 when the first screen is skipped, else 0;
// anything else → 0.
int GetUacMode(const BrandInfo* brand, const DistribInfoParams* distrib,
               const CommandLine& command_line);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_ELEVATION_UAC_MODE_H_

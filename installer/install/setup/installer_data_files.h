// The four data files the browser setup reads on its first run: initial
// preferences, distribution ids, website icon and experiment configuration.
// Each is a path given on the command line or a copy of the installer's own
// resource in the temporary directory; the installer never reads them.
#ifndef INSTALLER_INSTALL_SETUP_INSTALLER_DATA_FILES_H_
#define INSTALLER_INSTALL_SETUP_INSTALLER_DATA_FILES_H_

#include <windows.h>

#include <string>

namespace lite_installer {

class CommandLine;

struct InstallerDataPaths {
  std::wstring installer_data_path;
  std::wstring clids_file_path;
  std::wstring website_icon_path;
  std::wstring abt_config_path;
};

// The paths preset by the switches "installerdata", "clids-file",
// "kelvra-website-icon-file" and "abt-config-resource-file".
InstallerDataPaths InstallerDataPathsFromCommandLine(
    const CommandLine& command_line);

// Fills every empty path with a copy of its resource in |temp_dir| (which
// ends with a separator). A missing numbered resource keeps its path (to a
// file that was not made); a missing experiment configuration clears it.
// When a copy cannot be written, an older file of that name is deleted;
// when it cannot be deleted either, the path is cleared (and logged).
void ExtractInstallerDataIfAbsent(const std::wstring& temp_dir,
                                  InstallerDataPaths* paths);

// Writes the "BIN" resource to |path|; true when the resource exists and
// is not empty, whether or not the file could be written.
bool ExtractResourceToFile(WORD id, const std::wstring& path);
bool ExtractNamedResourceToFile(const wchar_t* name, const std::wstring& path);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_SETUP_INSTALLER_DATA_FILES_H_

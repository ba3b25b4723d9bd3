#include "installer/install/setup/installer_data_files.h"

#include "installer/lite_util/bin_resource.h"
#include "installer/lite_util/logging/log.h"
#include "installer/main/command_line.h"

namespace lite_installer {
namespace {

// Whether the resource exists; |*stale| tells whether the write failed
// and a file of that name is still there (one WriteBinFile could not
// delete), which must then not be handed on.
bool ExtractTo(const wchar_t* name, const std::wstring& path,
               bool* stale = nullptr) {
  std::string bytes = lite_util::LoadBinResource(name);
  if (bytes.empty()) return false;
  bool written = lite_util::WriteBinFile(path, bytes);
  if (stale)
    *stale = !written && ::GetFileAttributesW(path.c_str()) !=
                             INVALID_FILE_ATTRIBUTES;
  return true;
}

// A path whose file could neither be written nor deleted is left empty:
// the setup gets no such file rather than an older one.
void DropStalePath(std::wstring* path) {
  LOG(ERROR) << "An older file that could not be replaced is left at "
             << *path << ", its path is not passed on";
  path->clear();
}

}  // namespace

InstallerDataPaths InstallerDataPathsFromCommandLine(
    const CommandLine& command_line) {
  InstallerDataPaths paths;
  paths.installer_data_path = command_line.GetSwitchValueNative("installerdata");
  paths.clids_file_path = command_line.GetSwitchValueNative("clids-file");
  paths.website_icon_path =
      command_line.GetSwitchValueNative("kelvra-website-icon-file");
  paths.abt_config_path =
      command_line.GetSwitchValueNative("abt-config-resource-file");
  return paths;
}

bool ExtractResourceToFile(WORD id, const std::wstring& path) {
  return ExtractTo(MAKEINTRESOURCEW(id), path);
}

bool ExtractNamedResourceToFile(const wchar_t* name,
                                const std::wstring& path) {
  return ExtractTo(name, path);
}

void ExtractInstallerDataIfAbsent(const std::wstring& temp_dir,
                                  InstallerDataPaths* paths) {
  struct NumberedFile {
    WORD id;
    const wchar_t* file_name;
    std::wstring* path;
  } numbered[] = {
      {305, L"master_preferences", &paths->installer_data_path},
      {306, L"clids.xml", &paths->clids_file_path},
      {323, L"website.ico", &paths->website_icon_path},
  };
  for (const NumberedFile& file : numbered) {
    if (!file.path->empty()) continue;
    *file.path = temp_dir + file.file_name;
    bool stale = false;
    if (!ExtractTo(MAKEINTRESOURCEW(file.id), *file.path, &stale))
      LOG(WARNING) << "Failed to extract resource " << file.id;
    if (stale) DropStalePath(file.path);
  }
  if (!paths->abt_config_path.empty()) return;
  paths->abt_config_path = temp_dir + L"abt_config_resource";
  bool stale = false;
  if (!ExtractTo(L"ABT_CONFIG", paths->abt_config_path, &stale)) {
    LOG(WARNING) << "Failed to extract resource abt_config_resource";
    paths->abt_config_path.clear();
  }
  if (stale) DropStalePath(&paths->abt_config_path);
}

}  // namespace lite_installer

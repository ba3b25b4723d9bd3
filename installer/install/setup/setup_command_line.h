// The browser setup's command line, built from the installer's own command
// line and the state of the installation.
#ifndef INSTALLER_INSTALL_SETUP_SETUP_COMMAND_LINE_H_
#define INSTALLER_INSTALL_SETUP_SETUP_COMMAND_LINE_H_

#include <cstdint>
#include <string>

#include "installer/main/command_line.h"

namespace lite_installer {

// What the installation knows when it starts the setup. Zero and empty
// values leave their switches out.
struct SetupLaunchState {
  bool uac_declined = false;
  // The delegate's window as a number; 0 without a delegate.
  uintptr_t progress_window = 0;
  std::string brand_name;
  std::wstring distrib_info_file_path;
  bool make_default = false;
  bool send_statistics = false;
  bool install_kvpin = true;
  int64_t ok_button_time = 0;
  int64_t install_start_ticks = 0;
  int64_t install_start_time = 0;
  int64_t interface_availability = 0;
  std::wstring abt_config_path;
  std::wstring installer_data_path;
  std::wstring clids_file_path;
  std::wstring website_icon_path;
  // Empty when that package was not written.
  std::wstring brand_package_path;
  std::wstring partner_package_path;
  // The distribution parameters' UAC mode and "uts2" value.
  int uac_mode = 0;
  std::string use_task_scheduler2;
  // Results of the side downloads; only with side downloads.
  bool has_async_tasks = false;
  bool launch_browser = true;
  std::wstring variations_path;
  std::wstring abt_path;
  std::wstring webntp_path;
  std::wstring server_config_bundle_path;
  std::wstring wallpaper_bundle_path;
};

// The installer's own switches plus those of |state|, with |program| as
// the program. |include_data_files| adds the data-file and package paths
// (the direct run); the relaunch of an elevated copy leaves them to the
// delayed parameters.
CommandLine BuildSetupCommandLine(const CommandLine& own,
                                  const std::wstring& program,
                                  bool include_data_files,
                                  const SetupLaunchState& state);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_SETUP_SETUP_COMMAND_LINE_H_

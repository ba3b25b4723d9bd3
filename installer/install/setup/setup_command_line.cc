#include "installer/install/setup/setup_command_line.h"

namespace lite_installer {
namespace {

void SetNumber(CommandLine* command_line, const char* name, int64_t value) {
  if (value != 0)
    command_line->AppendSwitchASCII(name, std::to_string(value));
}

void SetPath(CommandLine* command_line, const char* name,
             const std::wstring& value) {
  if (!value.empty()) command_line->AppendSwitchNative(name, value);
}

}  // namespace

CommandLine BuildSetupCommandLine(const CommandLine& own,
                                  const std::wstring& program,
                                  bool include_data_files,
                                  const SetupLaunchState& state) {
  CommandLine setup = own;
  setup.SetProgram(program);
  if (state.uac_declined) setup.AppendSwitch("disable-uac");
  setup.AppendSwitchASCII("progress-window",
                          std::to_string(state.progress_window));
  setup.AppendSwitch("verbose-logging");
  setup.AppendSwitchASCII("brand-name", state.brand_name);
  SetPath(&setup, "distr-info-file", state.distrib_info_file_path);
  setup.SetSwitchPresence("make-browser-default-after-import",
                          state.make_default);
  setup.SetSwitchPresence("send-statistics", state.send_statistics);
  setup.SetSwitchPresence("disablekvpin", !state.install_kvpin);
  SetNumber(&setup, "ok-button-pressed-time", state.ok_button_time);
  SetNumber(&setup, "install-start-time-no-uac", state.install_start_ticks);
  SetNumber(&setup, "install-start-time-no-uac-with-suspension",
            state.install_start_time);
  SetNumber(&setup, "the-interface-availability",
            state.interface_availability);
  SetPath(&setup, "abt-config-resource-file", state.abt_config_path);
  if (include_data_files) {
    // Empty only when an older file could not be replaced: no switch then.
    SetPath(&setup, "installerdata", state.installer_data_path);
    SetPath(&setup, "clids-file", state.clids_file_path);
    SetPath(&setup, "kelvra-website-icon-file", state.website_icon_path);
    SetPath(&setup, "brand-package", state.brand_package_path);
    SetPath(&setup, "partner-package", state.partner_package_path);
  }
  if (state.uac_mode == 2) setup.AppendSwitch("show-uac-at-browser-start");
  if (state.use_task_scheduler2 == "1") setup.AppendSwitch("use-task-scheduler2");
  if (state.has_async_tasks) {
    SetPath(&setup, "variations-update-path", state.variations_path);
    SetPath(&setup, "abt-update-path", state.abt_path);
    SetPath(&setup, "webntp-path", state.webntp_path);
    SetPath(&setup, "server-config-bundle-path",
            state.server_config_bundle_path);
    SetPath(&setup, "preloaded-wallpaper-bundle-path",
            state.wallpaper_bundle_path);
    if (!state.launch_browser && !setup.HasSwitch("do-not-launch-browser"))
      setup.AppendSwitch("do-not-launch-browser");
  }
  return setup;
}

}  // namespace lite_installer

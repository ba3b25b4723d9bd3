#include "installer/install/setup/setup_command_line.h"

#include <gtest/gtest.h>

namespace lite_installer {
namespace {

SetupLaunchState FullState() {
  SetupLaunchState state;
  state.uac_declined = true;
  state.progress_window = 0x1A2B3C;
  state.brand_name = "tb";
  state.distrib_info_file_path = L"C:\\t\\distrib_info.json";
  state.make_default = true;
  state.send_statistics = true;
  state.install_kvpin = false;
  state.ok_button_time = -3;
  state.install_start_ticks = 13340000000000000;
  state.install_start_time = 13340000000500000;
  state.interface_availability = 700;
  state.abt_config_path = L"C:\\t\\abt.json";
  state.installer_data_path = L"C:\\t\\installerdata.json";
  state.clids_file_path = L"C:\\t\\clids.xml";
  state.website_icon_path = L"C:\\t\\site.ico";
  state.brand_package_path = L"C:\\t\\BrandFile";
  state.partner_package_path = L"C:\\t\\PartnerFile";
  state.uac_mode = 2;
  state.use_task_scheduler2 = "1";
  state.has_async_tasks = true;
  state.launch_browser = false;
  state.variations_path = L"C:\\t\\v";
  state.abt_path = L"C:\\t\\a";
  state.webntp_path = L"C:\\t\\w";
  state.server_config_bundle_path = L"C:\\t\\s";
  state.wallpaper_bundle_path = L"C:\\t\\p";
  return state;
}

TEST(SetupCommandLineTest, DirectRunCarriesEverySwitchOfTheState) {
  CommandLine own = CommandLine::FromString(
      L"lite.exe --silent --brand-name=auto --send-statistics=old");
  CommandLine setup =
      BuildSetupCommandLine(own, L"C:\\t\\arc.exe", true, FullState());
  EXPECT_EQ(L"C:\\t\\arc.exe", setup.GetProgram());
  EXPECT_EQ((CommandLine::SwitchMap{
                {"abt-config-resource-file", L"C:\\t\\abt.json"},
                {"abt-update-path", L"C:\\t\\a"},
                {"brand-name", L"tb"},
                {"brand-package", L"C:\\t\\BrandFile"},
                {"clids-file", L"C:\\t\\clids.xml"},
                {"disable-uac", L""},
                {"disablekvpin", L""},
                {"distr-info-file", L"C:\\t\\distrib_info.json"},
                {"do-not-launch-browser", L""},
                {"install-start-time-no-uac", L"13340000000000000"},
                {"install-start-time-no-uac-with-suspension",
                 L"13340000000500000"},
                {"installerdata", L"C:\\t\\installerdata.json"},
                {"kelvra-website-icon-file", L"C:\\t\\site.ico"},
                {"make-browser-default-after-import", L""},
                {"ok-button-pressed-time", L"-3"},
                {"partner-package", L"C:\\t\\PartnerFile"},
                {"preloaded-wallpaper-bundle-path", L"C:\\t\\p"},
                {"progress-window", L"1715004"},
                {"send-statistics", L""},
                {"server-config-bundle-path", L"C:\\t\\s"},
                {"show-uac-at-browser-start", L""},
                {"silent", L""},
                {"the-interface-availability", L"700"},
                {"use-task-scheduler2", L""},
                {"variations-update-path", L"C:\\t\\v"},
                {"verbose-logging", L""},
                {"webntp-path", L"C:\\t\\w"}}),
            setup.GetSwitches());
}

TEST(SetupCommandLineTest, NeutralStateRemovesTheChoicesAndAddsOnlyTheFixed) {
  CommandLine own = CommandLine::FromString(
      L"lite.exe --make-browser-default-after-import --send-statistics "
      L"--disablekvpin --do-not-launch-browser=kept");
  SetupLaunchState state;
  state.brand_name = "kelvra";
  // Without side downloads their paths and the launch choice stay out.
  state.launch_browser = false;
  state.variations_path = L"C:\\t\\v";
  CommandLine setup = BuildSetupCommandLine(own, L"arc.exe", true, state);
  // Empty data-file paths (files that could not be written) are not
  // passed on.
  EXPECT_EQ((CommandLine::SwitchMap{{"brand-name", L"kelvra"},
                                    {"do-not-launch-browser", L"kept"},
                                    {"progress-window", L"0"},
                                    {"verbose-logging", L""}}),
            setup.GetSwitches());
}

TEST(SetupCommandLineTest, RelaunchLeavesTheDataFilesToTheDelayedParameters) {
  SetupLaunchState state = FullState();
  state.use_task_scheduler2 = "2";
  state.uac_mode = 1;
  ASSERT_TRUE(state.has_async_tasks);
  ASSERT_FALSE(state.launch_browser);
  CommandLine own =
      CommandLine::FromString(L"lite.exe --do-not-launch-browser=kept");
  CommandLine setup =
      BuildSetupCommandLine(own, L"fake_browser_arc", false, state);
  for (const char* name :
       {"installerdata", "clids-file", "kelvra-website-icon-file",
        "brand-package", "partner-package", "use-task-scheduler2",
        "show-uac-at-browser-start"}) {
    EXPECT_FALSE(setup.HasSwitch(name)) << name;
  }
  EXPECT_EQ(L"fake_browser_arc", setup.GetProgram());
  // The side downloads would add an empty do-not-launch-browser; the
  // installer's own switch of that name keeps its value.
  EXPECT_EQ(L"kept", setup.GetSwitchValueNative("do-not-launch-browser"));
  state.launch_browser = true;
  EXPECT_EQ(L"kept",
            BuildSetupCommandLine(own, L"arc", false, state)
                .GetSwitchValueNative("do-not-launch-browser"));
}

}  // namespace
}  // namespace lite_installer

#!/usr/bin/env python3
"""The main job's installation: starts the test web service as the Wine
prefix's proxy with a signed test setup at every setup-archive URL, runs
the installer as a person would (its window on the X display: a screenshot
of the first screen, a real click on Install, a screenshot of the progress
screen while the test setup reports its progress) or, with --silent (or
LITE_MAIN_SILENT=1), with --silent; then prints what happened: the
requests the service saw, the install events and the installation report
decoded, the command line the setup received, the registry values left
behind, the last lines of the log and the installer's full exit code.

usage: main_job.py [--silent] [--screenshots=DIR] [PROGRAM] [-- SWITCH...]
(the switches after "--" go to the installer)

Expects the environment of scripts/run_main.sh (WINEPREFIX, a running wine
server, DISPLAY for the window, LITE_BUILD_DIR and LITE_ARCH)."""
import os
import shutil
import sys
import tempfile

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(TOP, "tests", "integration"))
import harness  # noqa: E402
import install_env  # noqa: E402
import stats_endpoints  # noqa: E402

import main_window  # noqa: E402

OWN_ARGS = sys.argv[1:sys.argv.index("--")] if "--" in sys.argv else sys.argv[1:]
# After "--": switches for the installer itself (e.g. --brand-name=ua_uk).
INSTALLER_ARGS = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
ARGS = [a for a in OWN_ARGS if not a.startswith("--")]
PROGRAM = ARGS[0] if ARGS else harness.INSTALLER_SEAMS
SILENT = "--silent" in OWN_ARGS or os.environ.get("LITE_MAIN_SILENT") == "1"
SCREENSHOTS = next((a.split("=", 1)[1] for a in OWN_ARGS
                    if a.startswith("--screenshots=")),
                   os.path.join(harness.BUILD_DIR, "main_job"))
# What the test setup plays towards the window: the setup's stages, then the
# import, then it asks the window to close. The pause before the import
# leaves time for the progress screen's screenshot.
SETUP_MESSAGES = ",".join([
    "kelvra.lite.set_install_progress:5",
    "kelvra.lite.set_install_progress:6",
    "kelvra.lite.set_install_progress:7",
    "wait-file:%s",
    "kelvra.lite.set_import_progress:0",
    "kelvra.lite.set_import_progress:50",
    "kelvra.lite.close_window"])
REGISTRY_VALUES = ["brand", "BrandFile", "PartnerFile", "lang",
                   "InstallerData", "ClidsFile", "KelvraWebsiteIconFile",
                   "AbtConfigResourceFile", "DistribInfoParams",
                   "install_stat"]


class InteractiveResult:
    def __init__(self, exit_code):
        self.exit_code = exit_code


def run_interactive(temp_dir, env):
    """The installer's window: first screen, a click on Install, the
    progress screen; returns once the installer has ended."""
    print("Running %s (%s) %s with its window on %s" % (
        PROGRAM, harness.ARCH, " ".join(INSTALLER_ARGS),
        os.environ.get("DISPLAY")))
    os.makedirs(SCREENSHOTS, exist_ok=True)
    shown = os.path.join(temp_dir + ".progress-shown")
    env = dict(env)
    env["LITE_TEST_SETUP_MESSAGES"] = SETUP_MESSAGES % (
        harness.to_windows_path(shown))
    driver = main_window.MainWindowDriver(PROGRAM, INSTALLER_ARGS,
                                          temp_dir=temp_dir, env=env)
    try:
        try:
            tree = driver.wait_first_screen(timeout=300)
        except AssertionError as error:
            # The report below says how the installer ended.
            print("no first screen: %s" % error)
            return InteractiveResult(driver.wait(timeout=300))
        first = driver.screenshot(os.path.join(SCREENSHOTS, "first_screen.png"))
        print("first screen: %s" % first)
        x, y = driver.point_of(tree, 1)
        print("clicking Install at %d,%d" % (x, y))
        driver.click(1)
        try:
            driver.wait_for(lambda t: any(c.position >= 75
                                          for c in t.controls(215)),
                            timeout=300, what="the setup's progress")
            progress = driver.screenshot(
                os.path.join(SCREENSHOTS, "progress_screen.png"))
            print("progress screen: %s" % progress)
        except AssertionError as error:
            # An installation that fails (the shipped build refuses the
            # test archive) ends the window before the setup runs.
            print("no progress screen with the setup's progress: %s" % error)
        with open(shown, "w"):
            pass
        exit_code = driver.wait(timeout=300)
    finally:
        driver.close()
        if os.path.exists(shown):
            os.remove(shown)
    return InteractiveResult(exit_code)


def main():
    environment = install_env.environment
    environment.start()
    stats_endpoints.add_routes(environment.service)
    temp_dir = tempfile.mkdtemp(prefix="lite-main-temp-")
    record = temp_dir + ".setup-cmdline"
    try:
        env = {"LITE_TEST_SETUP_RECORD": harness.to_windows_path(record)}
        if SILENT:
            print("Running %s (%s) --silent" % (PROGRAM, harness.ARCH))
            result = harness.run_program(PROGRAM, ["--silent"] + INSTALLER_ARGS,
                                         temp_dir=temp_dir, timeout=600,
                                         env=env)
        else:
            result = run_interactive(temp_dir, env)
        print("\n--- requests the service saw")
        for request in environment.service.requests():
            print("%s https://%s%s%s -> %s" % (
                request.method, request.host, request.path,
                "?" + request.query if request.query else "", request.status))
        print("\n--- install events (action/stage: the event's own fields)")
        common = {"brand_id", "partner_id", "ui", "launched", "old_ver",
                  "lite_ver", "installer_type", "old_style", "new_ver",
                  "install_type", "action", "stage"}
        for event in stats_endpoints.stat_events(environment.service):
            own = {k: v for k, v in event.fields.items() if k not in common}
            print("%s/%s %s" % (event.action, event.stage or "-", own))
        for report in stats_endpoints.installation_reports(
                environment.service):
            print("installation report: %s" % report.request.query)
        print("\n--- the setup's command line")
        if os.path.exists(record):
            with open(record, "rb") as f:
                print(f.read().decode("utf-8"))
        else:
            print("(the setup did not run)")
        print("\n--- values left under " + harness.BROWSER_KEY)
        for name in REGISTRY_VALUES:
            value = harness.read_browser_value(name)
            if value is not None:
                print("%s = %s" % (name, value))
        print("\n--- files left in TEMP")
        for name in sorted(os.listdir(temp_dir)):
            print(name)
        print("\n--- last lines of lite_installer.log")
        lines = harness.read_log(temp_dir)
        if not SILENT:
            log_copy = os.path.join(harness.BUILD_DIR, "main_job_installer.log")
            with open(log_copy, "w") as f:
                f.write("\n".join(lines) + "\n")
            print("(the whole log: %s)" % log_copy)
        print("\n".join(lines[-25:]))
        print("\nexit_code=%d (0x%08x)" % (result.exit_code,
                                         result.exit_code & 0xFFFFFFFF))
        return 0
    finally:
        environment.stop()
        shutil.rmtree(temp_dir, True)
        if os.path.exists(record):
            os.remove(record)


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""The main job's installation: starts the test web service as the Wine
prefix's proxy with a signed test setup at every setup-archive URL, runs
the installer with --silent, and prints what happened: the requests the
service saw, the install events and the installation report decoded, the
command line the setup received, the registry values left
behind, the last lines of the log and the installer's full exit code.

Expects the environment of scripts/run_main.sh (WINEPREFIX, a running wine
server, LITE_BUILD_DIR and LITE_ARCH)."""
import os
import shutil
import sys
import tempfile

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(TOP, "tests", "integration"))
import harness  # noqa: E402
import install_env  # noqa: E402
import stats_endpoints  # noqa: E402

PROGRAM = sys.argv[1] if len(sys.argv) > 1 else harness.INSTALLER_SEAMS
REGISTRY_VALUES = ["brand", "BrandFile", "PartnerFile", "lang",
                   "InstallerData", "ClidsFile", "KelvraWebsiteIconFile",
                   "AbtConfigResourceFile", "DistribInfoParams",
                   "install_stat"]


def main():
    environment = install_env.environment
    environment.start()
    stats_endpoints.add_routes(environment.service)
    temp_dir = tempfile.mkdtemp(prefix="lite-main-temp-")
    record = temp_dir + ".setup-cmdline"
    try:
        print("Running %s (%s) --silent" % (PROGRAM, harness.ARCH))
        result = harness.run_program(
            PROGRAM, ["--silent"], temp_dir=temp_dir, timeout=600,
            env={"LITE_TEST_SETUP_RECORD": harness.to_windows_path(record)})
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

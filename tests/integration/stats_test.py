"""Install statistics and the installation report of real silent
installations under Wine: what the statistics service and the storage
service of the test service receive, decoded, and that neither service
can change how an installation ends."""
import os
import time

import harness
from install_env import ARCHIVE_HOST, environment
from install_env import setUpModule, tearDownModule  # noqa: F401
from install_test import InstallTestCase

import stats_endpoints
from stats_endpoints import installation_reports, stat_events

# Fields every statistics request carries besides the event's own.
COMMON_FIELDS = ("brand_id", "partner_id", "ui", "launched", "old_ver",
                 "lite_ver", "installer_type", "old_style")
STAT_VALUES = ["install_stat", "kpv", "pv"]


class StatsTestCase(InstallTestCase):

    def setUp(self):
        super().setUp()
        stats_endpoints.add_routes(environment.service)
        for name in STAT_VALUES:
            harness.reg("delete", harness.BROWSER_KEY, "/v", name, "/f")
        self.addCleanup(self._remove_values)

    def _remove_values(self):
        for name in STAT_VALUES:
            harness.reg("delete", harness.BROWSER_KEY, "/v", name, "/f")

    def events(self):
        return stat_events(environment.service)

    def steps(self, events=None):
        """(action, stage) of each event."""
        return [(e.action, e.stage) for e in (events or self.events())]

    def report(self):
        reports = installation_reports(environment.service)
        self.assertEqual(len(reports), 1, reports)
        return reports[0]

    def recorded_install_stat(self):
        path = self.setup_record + ".install_stat"
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read().decode("utf-8")


# The report answers after this long, so that the setup-exited event queued
# just before it has left before the installer ends and drops its queue.
SLOW_REPORT = {"handler": lambda request: time.sleep(1.0)}


class SuccessfulInstallationTest(StatsTestCase):

    def test_events_and_report_of_a_successful_installation(self):
        result = self.install("--distr-info-params=partner_id=p7&"
                              "banerid=b1&kelvrauid=k2&distr_kelvrauid=d3")
        self.assertEqual(result.exit_code, 0)
        events = self.events()
        steps = self.steps(events)
        expected = [("installer_started", None), ("download", "started"),
                    ("download_attempt", None), ("download", "finished"),
                    ("setup", "setup_exe_launched"),
                    ("setup", "setup_exe_exited")]
        # The last event may be dropped: the sender goes with the installer.
        self.assertIn(steps, (expected, expected[:-1]), events)

        for event in events:
            self.assertEqual(event.cid, "72992")
            self.assertEqual(event.kind, "extended_stat")
            self.assertEqual(event.names, sorted(event.names))
            for name in COMMON_FIELDS:
                self.assertIn(name, event.fields, event)
            self.assertEqual(event["brand_id"], "kelvra")
            self.assertEqual(event["installer_type"], "lite")
            self.assertEqual(event["launched"], "false")
            self.assertEqual(event["old_style"], "0")
            self.assertEqual(event["old_ver"], "")
            self.assertEqual(event["banner_id"], "b1")
            self.assertEqual(event["kelvra_uid"], "k2")
            self.assertEqual(event["distr_kelvra_uid"], "d3")
            self.assertRegex(event["ui"], r"^[0-9A-F]{8}(_[0-9A-F]{4}){3}_"
                             r"[0-9A-F]{12}$")
            ua = event.request.header("User-Agent")
            self.assertEqual(ua, "Kelvra.Browser installer")
            self.assertEqual(event.request.header("Accept"), "*/*")

        started = events[0]
        self.assertEqual(started["dpi"], "100")
        self.assertRegex(started["resolution"], r"^[1-9][0-9]*x[1-9][0-9]*$")
        self.assertNotIn("new_ver", started.fields)

        attempt = events[2]
        self.assertEqual(attempt["status"], "success")
        self.assertEqual(attempt["attempt_number"], "1")
        size = str(os.path.getsize(environment.archive))
        self.assertEqual(attempt["downloaded_size"], size)
        self.assertEqual(attempt["total_size"], size)
        self.assertNotIn("error", attempt.fields)
        # The address, escaped twice, travels as one value.
        self.assertTrue(attempt.raw["url"].startswith(
            "https%253A%252F%252F" + ARCHIVE_HOST + "%252F"),
            attempt.raw["url"])

        finished = events[3]
        self.assertRegex(finished["download_time"], r"^[0-9]+$")
        for event in events[3:]:
            self.assertEqual(event["install_type"], "normal")
            # The version resource of the test setup.
            self.assertEqual(event["new_ver"], "99.1.2.3")
        launched = events[4]
        self.assertIn(launched["uac"], ("0", "100"))
        if len(events) == 6:
            self.assertEqual(events[5]["error"], "0")
            self.assertRegex(events[5]["setup_time"], r"^[0-9]+$")

        report = self.report()
        self.assertEqual(report.result, "success")
        self.assertRegex(report.ui, r"^[0-9A-F]{8}(-[0-9A-F]{4}){3}-"
                         r"[0-9A-F]{12}$")
        self.assertRegex(report.time, r"^[0-9]+$")
        self.assertEqual(report.keys[:3], ["ui", "result", "time"])
        self.assertEqual(report.request.header("User-Agent"),
                         "Kelvra.Browser lite installer")
        # The parameters were in the registry while the setup ran, and are
        # gone with the installer.
        stored = self.recorded_install_stat()
        self.assertIsNotNone(stored)
        self.assertIn("brand_id\nkelvra\n", stored)
        self.assertIn("install_type\nnormal\n", stored)
        self.assertIsNone(harness.read_browser_value("install_stat"))


class DownloadAttemptEventsTest(StatsTestCase):

    def test_failed_first_attempt_sends_error_then_attempt_events(self):
        environment.serve_archive(drop_after=1000, drop_count=1)
        result = self.install(env={
            "LITE_INSTALLER_SEAM_DOWNLOAD_RETRY_DELAY_MS": "10"})
        self.assertEqual(result.exit_code, 0)
        events = self.events()
        self.assertEqual(self.steps(events)[:6], [
            ("installer_started", None), ("download", "started"),
            ("download", "error"), ("download_attempt", None),
            ("download_attempt", None), ("download", "finished")])
        error, failed, succeeded = events[2], events[3], events[4]
        self.assertEqual(failed["status"], "failed")
        self.assertEqual(failed["attempt_number"], "1")
        self.assertEqual(failed["downloaded_size"], "1000")
        self.assertEqual(succeeded["status"], "success")
        self.assertEqual(succeeded["attempt_number"], "2")
        self.assertNotIn("error", succeeded.fields)
        # "attempt-1-" + the attempt's error, with "-", "," and "=" sent as
        # "_": the wire never carries a separator inside a value.
        self.assertTrue(failed["error"])
        self.assertEqual(error["error"], "attempt_1_" + failed["error"])
        for event in (error, failed):
            for value in event.raw.values():
                for separator in "-,=":
                    self.assertNotIn(separator, value, event)


class SetupEventsTest(StatsTestCase):

    def setUp(self):
        super().setUp()
        stats_endpoints.add_routes(environment.service, report=SLOW_REPORT)

    def exited(self):
        events = [e for e in self.events() if e.stage == "setup_exe_exited"]
        self.assertEqual(len(events), 1, self.events())
        return events[0]

    def test_exit_code_three_is_a_success_code_and_zero_is_not(self):
        for code, error in ((3, None), (0, "0"), (7, "7")):
            with self.subTest(code=code):
                environment.service.clear_requests()
                result = self.install(setup_exit_code=code)
                self.assertEqual(result.exit_code, code)
                event = self.exited()
                self.assertEqual(event.get("error"), error)
                self.assertRegex(event["setup_time"], r"^[0-9]+$")

    def test_uac_field_follows_the_consent_prompt_setting(self):
        key = ("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
               "Policies\\System")
        for view in ("/reg:64", "/reg:32"):
            self.addCleanup(harness.reg, "delete", key, "/v",
                            "ConsentPromptBehaviorAdmin", "/f", view)
        for consent, uac in (("5", "0"), ("0", "100")):
            with self.subTest(consent=consent):
                for view in ("/reg:64", "/reg:32"):
                    harness.reg("add", key, "/v", "ConsentPromptBehaviorAdmin",
                                "/t", "REG_DWORD", "/d", consent, "/f", view)
                environment.service.clear_requests()
                self.assertEqual(self.install().exit_code, 0)
                launched = [e for e in self.events()
                            if e.stage == "setup_exe_launched"]
                self.assertEqual(launched[0]["uac"], uac)
                self.assertIn(
                    "Read HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows"
                    "\\CurrentVersion\\Policies\\System\\"
                    "ConsentPromptBehaviorAdmin which is \"%s\"" % consent,
                    self.log_texts())

    def test_setup_that_failed_to_start(self):
        result = self.install(env={
            "LITE_INSTALLER_SEAM_CREATE_PROCESS_ERROR": "2"})
        self.assertNotEqual(result.exit_code, 0)
        self.assertIsNone(self.setup_command_line())
        event = self.exited()
        self.assertEqual(event["error"], "FailedToStart")
        self.assertRegex(event["setup_time"], r"^[0-9]+$")
        self.assertEqual(self.report().result, "failed")

    def test_archive_failing_verification_sends_its_error_event(self):
        environment.serve_archive(file=None, body=b"MZ" + b"\0" * 5000)
        result = self.install()
        self.assertEqual(result.exit_code, 402)
        steps = self.steps()
        self.assertEqual(steps[-1], ("verification", "error"))
        self.assertNotIn(("setup", "setup_exe_launched"), steps)
        report = self.report()
        self.assertEqual(report.result, "failed")
        # The setup never ran: no install_time.
        self.assertIsNone(report.install_time)
        self.assertIsNotNone(report.download_time)
        self.assertIsNone(self.recorded_install_stat())


class PersistentParametersTest(StatsTestCase):

    def test_parameters_of_an_earlier_run_are_taken_over(self):
        # Lines alternate between names and values; the empty line where a
        # name is due is skipped.
        harness.store_browser_text(
            "install_stat",
            "brand_id\nold\nearlier\nyes\n\nold_ver\n20.0.0.1\n")
        result = self.install()
        self.assertEqual(result.exit_code, 0)
        events = self.events()
        self.assertTrue(events)
        for event in events:
            self.assertEqual(event["earlier"], "yes")
            # The brand of this run replaces the stored one; old_ver was
            # stored and stays.
            self.assertEqual(event["brand_id"], "kelvra")
            self.assertEqual(event["old_ver"], "20.0.0.1")
        launched = [e for e in events if e.stage == "setup_exe_launched"]
        self.assertEqual(launched[0].action, "update")
        self.assertIn("earlier\nyes\n", self.recorded_install_stat())
        self.assertIsNone(harness.read_browser_value("install_stat"))

    def test_old_version_comes_from_kpv_or_else_pv(self):
        for values, old_ver in (({"pv": "21.0.0.2"}, "21.0.0.2"),
                                ({"kpv": "22.0.0.3", "pv": "21.0.0.2"},
                                 "22.0.0.3"),
                                ({}, "")):
            with self.subTest(values=values):
                self._remove_values()
                for name, value in values.items():
                    harness.reg("add", harness.BROWSER_KEY, "/v", name, "/t",
                                "REG_SZ", "/d", value, "/f")
                environment.service.clear_requests()
                self.assertEqual(self.install().exit_code, 0)
                launched = [e for e in self.events()
                            if e.stage == "setup_exe_launched"]
                self.assertEqual(len(launched), 1)
                self.assertEqual(launched[0]["old_ver"], old_ver)
                self.assertEqual(launched[0].action,
                                 "update" if old_ver else "setup")


class UnreachableServicesTest(StatsTestCase):
    """Neither service can change how an installation ends, nor hold it."""

    # Far above the 2 s connect/send/receive bound of a statistics request
    # and the 5 s bound of the report, far below a hang; the figures
    # themselves come from scripts/bench_stats_stall.sh.
    BOUND_S = 30

    def run_against(self, stats=None, report=None, refuse=None):
        stats_endpoints.add_routes(environment.service, stats, report)
        if refuse:
            environment.service.refuse_host(refuse)
            self.addCleanup(environment.service.refuse_host, refuse, False)
        started = time.monotonic()
        result = self.install()
        return result, time.monotonic() - started

    def check(self, result, elapsed):
        self.assertEqual(result.exit_code, 0)
        self.assertIsNotNone(self.setup_command_line())
        self.assertLess(elapsed, self.BOUND_S)

    def test_statistics_host_answering_500(self):
        result, elapsed = self.run_against(stats={"status": 500})
        self.check(result, elapsed)
        self.assertEqual(len(self.events()), 6)
        self.assertEqual(self.report().result, "success")

    def test_statistics_host_refusing_connections(self):
        result, elapsed = self.run_against(refuse=stats_endpoints.STATS_HOST)
        self.check(result, elapsed)
        self.assertEqual(self.events(), [])
        self.assertEqual(self.report().result, "success")
        # Every event still tried its own connection.
        self.assertEqual(len(environment.service.requests(
            host=stats_endpoints.STATS_HOST, method="CONNECT")), 6)
        # (Wine hands back the abandoned request's handle even when the
        # tunnel was refused, so no error is logged here.)

    def test_statistics_host_that_never_answers(self):
        result, elapsed = self.run_against(stats={"hang": True})
        self.check(result, elapsed)
        # The first request holds the worker until its time-out; what is
        # still queued when the installer ends is dropped.
        self.assertGreaterEqual(len(self.events()), 1)
        self.assertEqual(self.report().result, "success")

    def test_storage_host_that_never_answers(self):
        result, elapsed = self.run_against(report={"hang": True})
        self.check(result, elapsed)
        self.assertEqual(len(installation_reports(environment.service)), 1)
        self.assertTrue([t for t in self.log_texts() if t.startswith(
            "Cannot report installation status: ")])

    def test_statistics_host_trickling_its_headers(self):
        """One header byte a second: every read is prompt, so no receive
        time-out trips; each request ends at its own deadline instead."""
        result, elapsed = self.run_against(stats={"header_rate": 1})
        self.check(result, elapsed)
        sent = [r for r in environment.service.requests(
            host=stats_endpoints.STATS_HOST, method="GET")]
        self.assertTrue(sent)
        # The installer ended while every answer was still on its way.
        for request in sent:
            self.assertIsNone(request.finished, request)
        self.assertIn("A network call did not end within 2000 ms; not "
                      "waiting for it", self.log_texts())
        self.assertEqual(self.report().result, "success")

    def test_storage_host_trickling_the_report_answer(self):
        """A 15,000-byte answer at 500 bytes a second: the report needs
        only the status, so the body is never read."""
        result, elapsed = self.run_against(
            report={"body": b"r" * 15000, "rate": 500})
        self.check(result, elapsed)
        report = self.report()
        self.assertEqual(report.result, "success")
        # The installer was gone long before the answer's end was sent.
        self.assertIsNone(report.request.finished)
        self.assertFalse([t for t in self.log_texts() if t.startswith(
            "Cannot report installation status: ")])

    def test_escapes_in_statistics_values_stay_text(self):
        result = self.install(
            "--distr-info-params=banerid=b%2C%2Dbrand_id%3Devil")
        self.assertEqual(result.exit_code, 0)
        events = self.events()
        self.assertTrue(events)
        for event in events:
            self.assertEqual(event["banner_id"], "b%2C%2Dbrand_id%3Devil")
            self.assertNotEqual(event["brand_id"], "evil")

    def test_storage_host_refusing_connections(self):
        result, elapsed = self.run_against(
            refuse=stats_endpoints.STORAGE_HOST)
        self.check(result, elapsed)
        self.assertEqual(installation_reports(environment.service), [])
        self.assertTrue([t for t in self.log_texts() if t.startswith(
            "Cannot report installation status: ")])


if __name__ == "__main__":
    import unittest
    unittest.main()

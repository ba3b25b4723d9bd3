"""Brand and partner packages of the real installer under Wine: which
package the "brand-name" switch and the autodetection choose, the package
files in the installer's TEMP folder, the settings they carry into the log,
the partner build variant, and the registry values left by earlier runs."""
import os
import re
import unittest

import harness
from harness import InstallerTestCase
from install_env import setUpModule, tearDownModule  # noqa: F401

BROWSER_KEY = harness.BROWSER_KEY
PACKAGES = os.path.join(harness.BUILD_DIR, "generated", "packages")
PARTNER = "lite_installer_partner.exe"
SEAMS_ENV_PREFIX = "LITE_INSTALLER_SEAM_"

# Nation ids of Windows' geographical table and language ids.
RUSSIA, UKRAINE, TURKEY, GERMANY, NO_NATION = 203, 241, 235, 94, -1
RUSSIAN, UKRAINIAN, TURKISH, ENGLISH, GERMAN = 1049, 1058, 1055, 1033, 1031


reg = harness.reg
read_browser_value = harness.read_browser_value


def package_bytes(name):
    with open(os.path.join(PACKAGES, name + ".cab"), "rb") as f:
        return f.read()


def download_host():
    with open(os.path.join(harness.BUILD_DIR, "generated",
                           "service_hosts.h")) as f:
        return re.search(r'KELVRA_DOWNLOAD_HOST "([^"]+)"', f.read()).group(1)


class BrandPackageTestCase(InstallerTestCase):

    def run_with(self, args=(), program=harness.INSTALLER, env=None):
        # Each run starts from an empty TEMP: no log or package of the last.
        for name in os.listdir(self.temp_dir):
            os.remove(os.path.join(self.temp_dir, name))
        self.result = self.run_installer(["--silent"] + list(args),
                                         program=program, env=env)
        self.records = self.log_records()
        return self.records

    def texts_of(self, function):
        return [r["text"] for r in self.records if r["function"] == function]

    def brand_record(self):
        """The brand settings as the last LogBrandInfo block shows them."""
        lines = self.texts_of("LogBrandInfo")
        self.assertGreaterEqual(len(lines), 15)
        record = {}
        for line in lines[-15:]:
            name, _, value = line.partition(": ")
            record[name] = value
        return record

    def temp_file(self, name):
        path = os.path.join(self.temp_dir, name)
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def windows_temp(self, name=""):
        return harness.to_windows_path(self.temp_dir) + "\\" + name

    def extract_line(self, kind, package):
        path = self.windows_temp("BrandFile" if kind == "Brand"
                                 else "PartnerFile")
        return "Extract %s package: %s [%dB]" % (kind, path,
                                                len(package_bytes(package)))


class PackageChoiceTest(BrandPackageTestCase):

    def test_without_brand_name_the_default_package_is_written_and_applied(self):
        self.run_with()
        self.assertEqual(self.texts_of("GetInfo"), [
            "Brand package path: " + self.windows_temp("BrandFile"),
            "Partner package path: " + self.windows_temp("PartnerFile")])
        self.assertEqual(self.texts_of("GetInfoFromResources"), [
            "Partner package is empty.", "Fetching default package",
            self.extract_line("Brand", "default")])
        warning = [r for r in self.records
                   if r["text"] == "Partner package is empty."][0]
        self.assertEqual(warning["severity"], "WARNING")
        self.assertEqual(self.temp_file("BrandFile"), package_bytes("default"))
        self.assertIsNone(self.temp_file("PartnerFile"))
        record = self.brand_record()
        host = download_host()
        self.assertEqual(record["Brand id"], "kelvra")
        self.assertEqual(record["Brand name"], "kelvra")
        # Values only the package has (the built-in defaults leave them out).
        self.assertEqual(record["Setup url64"],
                         "https://%s/browser/kelvra/x64/browser-setup.arc" % host)
        self.assertEqual(record["Install slide url if tagged installer"],
                         "https://%s/browser/installer/tagged/" % host)
        self.assertEqual(record["Send browser's statistics"], "1")
        # Reset twice, and the record logged after the package and at the end.
        self.assertEqual(self.texts_of("Clear"), ["Reset brand info."] * 2)
        self.assertEqual(len(self.texts_of("LogBrandInfo")), 30)

    def test_defined_package_is_taken_by_its_upper_case_resource_name(self):
        for name in ("tb", "Tb"):
            with self.subTest(name=name):
                self.run_with(["--brand-name=" + name])
                self.assertEqual(self.texts_of("GetInfoFromResources"), [
                    "Partner package is empty.",
                    "Fetching defined %s package" % name,
                    self.extract_line("Brand", "tb")])
                self.assertEqual(self.temp_file("BrandFile"),
                                 package_bytes("tb"))
                record = self.brand_record()
                self.assertEqual(record["Brand id"], "tb")
                self.assertEqual(record["Default language"], "tr")
                self.assertEqual(record["Show international title"], "1")
                self.assertEqual(record["Make browser default after import"],
                                 "0")
                self.assertIn("Found install.pin",
                              self.texts_of("ApplyBrandInfo"))

    def test_missing_named_package_falls_back_to_the_default(self):
        self.run_with(["--brand-name=zz"])
        self.assertEqual(self.texts_of("GetInfoFromResources"), [
            "Partner package is empty.", "Fetching defined zz package",
            "Fetching default package", self.extract_line("Brand", "default")])
        self.assertEqual(self.temp_file("BrandFile"), package_bytes("default"))
        self.assertEqual(self.brand_record()["Brand id"], "kelvra")

    def test_upper_case_auto_is_a_brand_name_not_autodetection(self):
        self.run_with(["--brand-name=AUTO"],
                      program=harness.INSTALLER_SEAMS,
                      env={SEAMS_ENV_PREFIX + "USER_GEO_ID": str(TURKEY)})
        self.assertEqual(self.texts_of("AutodetectBrandName"), [])
        self.assertEqual(self.texts_of("GetInfoFromResources")[1:], [
            "Fetching defined AUTO package", "Fetching default package",
            self.extract_line("Brand", "default")])


class AutodetectionTest(BrandPackageTestCase):
    """The test build takes the user's nation and interface language from
    its seams; the shipped build ignores them."""

    def run_auto(self, geo_id, language_id, program=harness.INSTALLER_SEAMS):
        # The test build installs the test archive; a setup that fails
        # (exit code 7) leaves the package files in TEMP to be read here.
        return self.run_with(["--brand-name=auto"], program=program, env={
            SEAMS_ENV_PREFIX + "USER_GEO_ID": str(geo_id),
            SEAMS_ENV_PREFIX + "UI_LANGUAGE_ID": str(language_id),
            "LITE_TEST_SETUP_EXIT_CODE": "7"})

    def test_region_and_language_choose_the_package(self):
        rows = [
            # nation, language, region, code, detection line, resource, cab
            (RUSSIA, UKRAINIAN, "RU", "uk", "Detected brand-name: ua_uk",
             "UA_UK", "ua_uk"),
            (UKRAINE, RUSSIAN, "UA", "ru", "Detected brand-name: ua_ru",
             "UA_RU", "default"),
            (UKRAINE, ENGLISH, "UA", "en", "Detected brand-name: ua_uk",
             "UA_UK", "ua_uk"),
            (TURKEY, ENGLISH, "TR", "en", "Detected brand-name: tb",
             "TB", "tb"),
            (GERMANY, GERMAN, "DE", "de",
             "Didn't found brand-name. Use default: kelvra", "KELVRA",
             "default"),
            (NO_NATION, TURKISH, "", "tr", "Detected brand-name: tb",
             "TB", "tb"),
        ]
        for geo_id, language_id, region, code, detected, resource, cab in rows:
            with self.subTest(geo_id=geo_id, language_id=language_id):
                self.run_auto(geo_id, language_id)
                self.assertEqual(self.texts_of("AutodetectBrandName"), [
                    "User region: " + region, "User locale: " + code,
                    detected])
                fetching = self.texts_of("GetInfoFromResources")[1:]
                self.assertEqual(fetching[0],
                                 "Fetching autodetected %s package" % resource)
                if cab == "default":
                    self.assertEqual(fetching[1], "Fetching default package")
                self.assertEqual(fetching[-1], self.extract_line("Brand", cab))
                self.assertEqual(self.temp_file("BrandFile"),
                                 package_bytes(cab))

    def test_flat_package_settings_reach_the_record(self):
        # BRAND_UA_UK keeps its "install." keys at the top level.
        self.run_auto(RUSSIA, UKRAINIAN)
        record = self.brand_record()
        self.assertEqual(record["Brand id"], "ua")
        self.assertEqual(record["Brand name"], "ua_uk")
        self.assertEqual(record["Default language"], "uk")
        self.assertEqual(record["Setup url"],
                         "https://%s/browser/ua/browser-setup.arc"
                         % download_host())
        self.assertIn("InstallerFacetune2023: enabled = 1, firstScreenOff = 0",
                      self.texts_of("ApplyBrandInfo"))

    def test_shipped_installer_has_no_locale_seams(self):
        self.run_auto(UKRAINE, RUSSIAN, program=harness.INSTALLER)
        texts = self.texts_of("AutodetectBrandName")
        self.assertEqual(len(texts), 3)
        self.assertNotEqual(texts[:2], ["User region: UA", "User locale: ru"])


class PartnerBuildTest(BrandPackageTestCase):

    def test_partner_package_is_written_first_and_wins(self):
        self.run_with(["--brand-name=tb"], program=PARTNER)
        self.assertEqual(self.texts_of("GetInfoFromResources"), [
            self.extract_line("Partner", "partner"),
            "Fetching defined tb package", self.extract_line("Brand", "tb")])
        self.assertEqual(self.temp_file("PartnerFile"), package_bytes("partner"))
        self.assertEqual(self.temp_file("BrandFile"), package_bytes("tb"))
        record = self.brand_record()
        # The brand package says true and names its own setup URL.
        self.assertEqual(record["Send browser's statistics"], "0")
        self.assertEqual(record["Setup url"],
                         "https://%s/browser-partners/ptn-2231/"
                         "browser-setup.arc" % download_host())
        self.assertEqual(record["Brand id"], "tb")

    def test_partner_test_build_autodetects_too(self):
        self.run_with(["--brand-name=auto"],
                      program="lite_installer_partner_seams.exe",
                      env={SEAMS_ENV_PREFIX + "USER_GEO_ID": str(RUSSIA),
                           SEAMS_ENV_PREFIX + "UI_LANGUAGE_ID": str(UKRAINIAN)})
        texts = self.texts_of("GetInfoFromResources")
        self.assertEqual(texts[0], self.extract_line("Partner", "partner"))
        self.assertEqual(texts[1:], ["Fetching autodetected UA_UK package",
                                     self.extract_line("Brand", "ua_uk")])
        self.assertEqual(self.brand_record()["Brand id"], "ua")


class RegistryTest(BrandPackageTestCase):

    def setUp(self):
        super().setUp()
        self.addCleanup(self.remove_values)

    def remove_values(self):
        for name in ("brand", "BrandFile", "PartnerFile"):
            reg("delete", BROWSER_KEY, "/v", name, "/f")

    def test_values_of_an_earlier_run_are_removed_at_start(self):
        for name in ("brand", "BrandFile", "PartnerFile"):
            reg("add", BROWSER_KEY, "/v", name, "/t", "REG_SZ", "/d",
                "earlier run", "/f")
            self.assertEqual(read_browser_value(name), "earlier run")
        self.run_with()
        removed = [t for t in self.texts_of("RemoveValueFromRegistry")
                   if t.startswith("Removed ")]
        self.assertEqual(removed, [
            "Removed HKEY_CURRENT_USER\\Software\\Kelvra\\KelvraBrowser\\" + n
            for n in ("brand", "BrandFile", "PartnerFile")])
        # The install flow may publish this run's values again; an earlier
        # run's never survive.
        expected = {"brand": "kelvra", "BrandFile": self.windows_temp("BrandFile"),
                    "PartnerFile": None}
        for name, value in expected.items():
            self.assertIn(read_browser_value(name), (None, value), name)

    def test_absent_values_are_logged_as_absent(self):
        self.remove_values()
        self.run_with()
        self.assertEqual(
            [t for t in self.texts_of("RemoveValueFromRegistry")][:3],
            ["No value to remove: HKEY_CURRENT_USER\\Software\\Kelvra\\"
             "KelvraBrowser\\" + n for n in ("brand", "BrandFile",
                                              "PartnerFile")])


if __name__ == "__main__":
    unittest.main()

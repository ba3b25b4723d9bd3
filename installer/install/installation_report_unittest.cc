#include "installer/install/installation_report.h"

#include <gtest/gtest.h>

namespace lite_installer {
namespace {

TEST(InstallationReportTest, UrlCarriesResultAndWholeSeconds) {
  EXPECT_EQ(L"https://storage.test/get/browser/install?ui=AB-12&result="
            L"success&time=75&download_time=60&install_time=14",
            BuildInstallationReportUrl(L"storage.test", L"AB-12", "success",
                                       75999999, 60000000, 14500000));
}

TEST(InstallationReportTest, DurationsOfZeroAreLeftOutButTimeIsNot) {
  EXPECT_EQ(L"https://storage.test/get/browser/install?ui=&result=cancelled"
            L"&time=0",
            BuildInstallationReportUrl(L"storage.test", L"", "cancelled", 0,
                                       0, 0));
  // Under a second is still sent, as 0.
  EXPECT_EQ(L"https://storage.test/get/browser/install?ui=x&result=failed"
            L"&time=0&download_time=0",
            BuildInstallationReportUrl(L"storage.test", L"x", "failed", 0, 1,
                                       0));
}

}  // namespace
}  // namespace lite_installer

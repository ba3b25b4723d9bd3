#include "installer/kelvra/util/interface_availability.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/lite_util/logging/recording_log_sink_for_test.h"

namespace lite_installer {
namespace {

using lite_util::LogRecord;

std::wstring BesideMe(const wchar_t* name) {
  wchar_t self[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, length);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

TEST(InterfaceAvailabilityValueTest, StateBuildAndRevisionWithinTheirLimits) {
  EXPECT_EQ(171340319u, InterfaceAvailabilityValue(0, 17134, 319));
  EXPECT_EQ(2171340000u, InterfaceAvailabilityValue(2, 17134, 0));
  // Builds and revisions at or above their limits count as 0.
  EXPECT_EQ(1000000000u + 7295u, InterfaceAvailabilityValue(1, 29497, 7295));
  EXPECT_EQ(3000000000u + 294960000u,
            InterfaceAvailabilityValue(3, 29496, 7296));
  // The largest value is the largest 32-bit number, without a wrap.
  EXPECT_EQ(4294967295u, InterfaceAvailabilityValue(4, 29496, 7295));
}

class SafeCheckTest : public testing::Test {
 protected:
  void SetUp() override {
    lite_util::SetLogSink(new lite_util::RecordingSink(&records_));
  }
  void TearDown() override {
    lite_util::SetLogSink(nullptr);
    ::SetEnvironmentVariableW(L"LITE_TEST_SETUP_EXIT_CODE", nullptr);
    ::SetEnvironmentVariableW(L"LITE_TEST_SETUP_SLEEP_MS", nullptr);
    ::SetEnvironmentVariableW(L"LITE_TEST_SETUP_RECORD", nullptr);
  }
  std::string OnlyText() const {
    std::vector<std::string> texts = lite_util::TextsLoggedBy(
        records_, "IsInternalInterfaceAvailableSafeCheck");
    return texts.size() == 1 ? texts[0] : "<" + std::to_string(texts.size()) +
                                              " records>";
  }
  std::vector<LogRecord> records_;
};

TEST_F(SafeCheckTest, TheInstallersOwnProbeAnswersThroughItsExitCode) {
  // The probing copy of this build answers "not available" (701).
  uint32_t state = 0;
  EXPECT_FALSE(RunInterfaceSafeCheck(BesideMe(L"lite_installer.exe"), 60000,
                                     &state));
  EXPECT_EQ(static_cast<uint32_t>(kInterfaceNotAvailable), state);
  EXPECT_EQ("Successfuly checked Win10 internal interface availability: "
            "availability: 0",
            OnlyText());
}

TEST_F(SafeCheckTest, EveryAnswerOfTheProbingCopyGivesItsState) {
  // The test setup exits with the code it is told and can hang.
  ::SetEnvironmentVariableW(L"LITE_TEST_SETUP_RECORD",
                            L"NUL");
  struct Case {
    const wchar_t* exit_code;
    bool available;
    uint32_t state;
    const char* text;
  } cases[] = {
      {L"700", true, 0,
       "Successfuly checked Win10 internal interface availability: "
       "availability: 1"},
      {L"3221225477", false, kInterfaceProbeCrashed,
       "Failed to check Win10 internal interface availability, ret code: "
       "-1073741819, installer crashed"},
      {L"5", false, kInterfaceCheckFailed,
       "Failed to check Win10 internal interface availability, unknown ret "
       "code: 5"},
  };
  for (const Case& c : cases) {
    records_.clear();
    ::SetEnvironmentVariableW(L"LITE_TEST_SETUP_EXIT_CODE", c.exit_code);
    uint32_t state = 0;
    EXPECT_EQ(c.available, RunInterfaceSafeCheck(BesideMe(L"test_setup.exe"),
                                                 60000, &state));
    EXPECT_EQ(c.state, state);
    EXPECT_EQ(0u, OnlyText().find(c.text)) << OnlyText();
  }
}

TEST_F(SafeCheckTest, AHangingOrMissingProbeFails) {
  ::SetEnvironmentVariableW(L"LITE_TEST_SETUP_RECORD", L"NUL");
  ::SetEnvironmentVariableW(L"LITE_TEST_SETUP_SLEEP_MS", L"30000");
  uint32_t state = 0;
  DWORD start = ::GetTickCount();
  EXPECT_FALSE(
      RunInterfaceSafeCheck(BesideMe(L"test_setup.exe"), 500, &state));
  EXPECT_LT(::GetTickCount() - start, 20000u);
  EXPECT_EQ(static_cast<uint32_t>(kInterfaceProbeTimedOut), state);
  EXPECT_EQ(0u, OnlyText().find(
                    "Failed to check Win10 internal interface availability,  "
                    "installer was terminated by timeout."))
      << OnlyText();

  records_.clear();
  state = 0;
  EXPECT_FALSE(RunInterfaceSafeCheck(L"C:\\no\\such\\installer.exe", 60000,
                                     &state));
  EXPECT_EQ(static_cast<uint32_t>(kInterfaceCheckFailed), state);
  EXPECT_EQ(0u, OnlyText().find(
                    "Failed to check Win10 internal interface availability: "
                    "can't get installer exe path."))
      << OnlyText();
}

}  // namespace
}  // namespace lite_installer

#include "installer/install/setup/delayed_params.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "installer/lite_util/child_process_test_util.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/string_util.h"
#include "installer/main/command_line.h"

namespace lite_installer {
namespace {

using lite_util::LogRecord;

constexpr char kChildOutputVariable[] = "LITE_DELAYED_PARAMS_CHILD_OUTPUT";

std::wstring TempPath(const wchar_t* name) {
  wchar_t dir[MAX_PATH];
  ::GetTempPathW(MAX_PATH, dir);
  return std::wstring(dir) + name;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream(lite_util::WideToUtf8(path), std::ios::binary) << bytes;
}

class DelayedParamsTest : public testing::Test {
 protected:
  void SetUp() override {
    std::memset(DelayedParamsBlockForTesting(), 0, sizeof(DelayedParamsBlock));
    lite_util::SetLogSink(new lite_util::RecordingSink(&records_));
  }
  void TearDown() override {
    lite_util::SetLogSink(nullptr);
    std::memset(DelayedParamsBlockForTesting(), 0, sizeof(DelayedParamsBlock));
  }

  static DelayedParams FullParams() {
    DelayedParams params;
    params.browser_arc_path = L"C:\\t\\browser setup.exe";
    params.clids_file_path = L"C:\\t\\clids.xml";
    params.installer_data_path = L"C:\\t\\installerdata.json";
    params.brand_package_path = L"C:\\t\\BrandFile";
    params.partner_package_path = L"C:\\t\\PartnerFile";
    params.download_time = L"12";
    params.full_time = L"13340000000000000";
    params.full_time_with_suspension = L"-5";
    params.send_statistics = true;
    params.make_default = false;
    params.install_kvpin = false;
    return params;
  }

  static CommandLine Applied(const std::wstring& prepared) {
    CommandLine command_line = CommandLine::FromString(prepared);
    ApplyDelayedParams(&command_line);
    return command_line;
  }

  std::vector<LogRecord> records_;
};

TEST_F(DelayedParamsTest, BlockLivesInTheImagesSharedSection) {
  auto* base = reinterpret_cast<const BYTE*>(::GetModuleHandleW(nullptr));
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  const IMAGE_SECTION_HEADER* shared = nullptr;
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
    if (std::memcmp(section[i].Name, "Shared\0\0", 8) == 0)
      shared = &section[i];
  }
  ASSERT_NE(nullptr, shared);
  const DWORD kFlags = IMAGE_SCN_MEM_SHARED | IMAGE_SCN_MEM_READ |
                       IMAGE_SCN_MEM_WRITE;
  EXPECT_EQ(kFlags, shared->Characteristics & kFlags);
  auto* block = reinterpret_cast<const BYTE*>(DelayedParamsBlockForTesting());
  EXPECT_GE(block, base + shared->VirtualAddress);
  EXPECT_LE(block + sizeof(DelayedParamsBlock),
            base + shared->VirtualAddress + shared->Misc.VirtualSize);
}

TEST_F(DelayedParamsTest, AppliedBlockCompletesThePreparedCommandLine) {
  ASSERT_TRUE(WriteDelayedParams(FullParams()));
  CommandLine applied = Applied(
      L"fake_browser_arc --brand-name=tb --make-browser-default-after-import "
      L"--x=1");
  EXPECT_EQ(L"C:\\t\\browser setup.exe", applied.GetProgram());
  EXPECT_EQ((CommandLine::SwitchMap{
                {"brand-name", L"tb"},
                {"brand-package", L"C:\\t\\BrandFile"},
                {"clids-file", L"C:\\t\\clids.xml"},
                {"disablekvpin", L""},
                {"histogram-download-time", L"12"},
                {"install-start-time-no-uac", L"13340000000000000"},
                {"install-start-time-no-uac-with-suspension", L"-5"},
                {"installerdata", L"C:\\t\\installerdata.json"},
                {"partner-package", L"C:\\t\\PartnerFile"},
                {"send-statistics", L""},
                {"x", L"1"}}),
            applied.GetSwitches());
}

TEST_F(DelayedParamsTest, EmptyFieldsChangeNothingButTheDownloadTime) {
  DelayedParams params;
  params.install_kvpin = true;
  ASSERT_TRUE(WriteDelayedParams(params));
  CommandLine applied =
      Applied(L"fake_browser_arc --send-statistics --disablekvpin");
  EXPECT_EQ(L"fake_browser_arc", applied.GetProgram());
  // The download time is always passed on; the flags say what they say.
  EXPECT_EQ((CommandLine::SwitchMap{{"histogram-download-time", L""}}),
            applied.GetSwitches());
}

TEST_F(DelayedParamsTest, WebsiteIconIsPassedOnlyWhenReadableAndNotEmpty) {
  std::wstring icon = TempPath(L"lite_delayed_icon.ico");
  std::wstring empty = TempPath(L"lite_delayed_empty.ico");
  WriteBytes(icon, std::string(10000, '\x01'));
  WriteBytes(empty, "");
  struct Case {
    std::wstring path;
    bool passed;
  } cases[] = {{icon, true},
               {empty, false},
               {TempPath(L"lite_delayed_missing.ico"), false}};
  for (const Case& c : cases) {
    DelayedParams params;
    params.website_icon_file_path = c.path;
    ASSERT_TRUE(WriteDelayedParams(params));
    CommandLine applied = Applied(L"fake_browser_arc");
    EXPECT_EQ(c.passed, applied.HasSwitch("kelvra-website-icon-file"))
        << lite_util::WideToUtf8(c.path);
    if (c.passed) {
      EXPECT_EQ(c.path,
                applied.GetSwitchValueNative("kelvra-website-icon-file"));
    }
  }
  ::DeleteFileW(icon.c_str());
  ::DeleteFileW(empty.c_str());
}

TEST_F(DelayedParamsTest, ValuesThatFillTheirFieldsArriveWhole) {
  DelayedParams params = FullParams();
  params.browser_arc_path = L"C:\\" + std::wstring(251, L'a') + L"\\b.exe";
  ASSERT_EQ(260u, params.browser_arc_path.size());
  params.partner_package_override_path = std::wstring(260, L'o');
  params.full_time = std::wstring(32, L'7');
  ASSERT_TRUE(WriteDelayedParams(params));
  CommandLine applied = Applied(L"fake_browser_arc");
  EXPECT_EQ(params.browser_arc_path, applied.GetProgram());
  EXPECT_EQ(params.full_time,
            applied.GetSwitchValueNative("install-start-time-no-uac"));
  // The override partner package is never passed on.
  EXPECT_FALSE(applied.HasSwitch("partner-package-override"));
}

TEST_F(DelayedParamsTest, OverlongValuesAreRefusedWithEveryValueLogged) {
  DelayedParams first = FullParams();
  ASSERT_TRUE(WriteDelayedParams(first));
  DelayedParamsBlock before = *DelayedParamsBlockForTesting();
  SetFailureKind(kFailureSetupExitCode8);

  DelayedParams long_path = FullParams();
  long_path.clids_file_path = std::wstring(261, L'c');
  DelayedParams long_time = FullParams();
  long_time.download_time = std::wstring(33, L'9');
  for (const DelayedParams& params : {long_path, long_time}) {
    records_.clear();
    EXPECT_FALSE(WriteDelayedParams(params));
    ASSERT_EQ(1u, records_.size());
    EXPECT_EQ(lite_util::LOG_ERROR, records_[0].severity);
    const std::string& text = records_[0].text;
    EXPECT_EQ(0u, text.find("Too large string length, browser_arc_path=C:\\t\\"
                            "browser setup.exe clids_file_path="));
    for (const char* part :
         {" kelvra_website_icon_file_path= installer_data_path=C:\\t\\",
          " brand_package_path=C:\\t\\BrandFile",
          " partner_package_path=C:\\t\\PartnerFile",
          " partner_package_override_path= histogram_download_time=",
          " histogram_full_time=13340000000000000",
          " histogram_full_time_with_suspension=-5",
          " send_statistics=1 make_default=0 install_kvpin=0"}) {
      EXPECT_NE(std::string::npos, text.find(part)) << part;
    }
  }
  // Nothing was written, and the failure kind is never touched.
  DelayedParamsBlock after = *DelayedParamsBlockForTesting();
  after.failure_kind = before.failure_kind;
  EXPECT_EQ(0, std::memcmp(&before, &after, sizeof(before)));
  EXPECT_EQ(static_cast<uint32_t>(kFailureSetupExitCode8), GetFailureKind());
}

// Every text field, the block's field it goes to and its capacity.
struct DelayedTextField {
  const char* name;
  const char* name_in_block;
  std::wstring DelayedParams::*value;
  const wchar_t* (*stored)(const DelayedParamsBlock&);
  size_t capacity;
};

#define LITE_FIELD(member, block_member, capacity)                        \
  DelayedTextField {                                                      \
    #member, #block_member, &DelayedParams::member,                       \
        [](const DelayedParamsBlock& block) -> const wchar_t* {           \
          return block.block_member;                                      \
        },                                                                \
        capacity                                                          \
  }

const DelayedTextField kTextFields[] = {
    LITE_FIELD(browser_arc_path, browser_arc_path, kDelayedPathCapacity),
    LITE_FIELD(clids_file_path, clids_file_path, kDelayedPathCapacity),
    LITE_FIELD(website_icon_file_path, kelvra_website_icon_file_path,
               kDelayedPathCapacity),
    LITE_FIELD(installer_data_path, installer_data_path, kDelayedPathCapacity),
    LITE_FIELD(brand_package_path, brand_package_path, kDelayedPathCapacity),
    LITE_FIELD(partner_package_path, partner_package_path,
               kDelayedPathCapacity),
    LITE_FIELD(partner_package_override_path, partner_package_override_path,
               kDelayedPathCapacity),
    LITE_FIELD(download_time, histogram_download_time, kDelayedTimeCapacity),
    LITE_FIELD(full_time, histogram_full_time, kDelayedTimeCapacity),
    LITE_FIELD(full_time_with_suspension, histogram_full_time_with_suspension,
               kDelayedTimeCapacity),
};
#undef LITE_FIELD

TEST_F(DelayedParamsTest, EveryFieldTakesItsCapacityWholeAndRefusesOneMore) {
  ASSERT_EQ(261u, kDelayedPathCapacity);
  ASSERT_EQ(33u, kDelayedTimeCapacity);
  for (const DelayedTextField& field : kTextFields) {
    SCOPED_TRACE(field.name);
    std::memset(DelayedParamsBlockForTesting(), 0, sizeof(DelayedParamsBlock));
    DelayedParams params = FullParams();
    params.*field.value = std::wstring(field.capacity - 1, L'7');
    ASSERT_TRUE(WriteDelayedParams(params));
    EXPECT_EQ(params.*field.value,
              std::wstring(field.stored(*DelayedParamsBlockForTesting())));

    std::memset(DelayedParamsBlockForTesting(), 0, sizeof(DelayedParamsBlock));
    params.*field.value = std::wstring(field.capacity, L'7');
    records_.clear();
    EXPECT_FALSE(WriteDelayedParams(params));
    EXPECT_EQ(1u, records_.size());
    EXPECT_EQ(L'\0', DelayedParamsBlockForTesting()->browser_arc_path[0]);
    EXPECT_EQ(L'\0', field.stored(*DelayedParamsBlockForTesting())[0]);
  }
}

TEST_F(DelayedParamsTest, FieldWithoutTerminatorRefusesTheWholeBlock) {
  for (const DelayedTextField& field : kTextFields) {
    SCOPED_TRACE(field.name);
    ASSERT_TRUE(WriteDelayedParams(FullParams()));
    // Written by someone else: the field runs to its end and beyond.
    wchar_t* stored = const_cast<wchar_t*>(
        field.stored(*DelayedParamsBlockForTesting()));
    std::fill(stored, stored + field.capacity, L'x');
    records_.clear();
    CommandLine command_line =
        CommandLine::FromString(L"fake_browser_arc --x=1");
    EXPECT_FALSE(ApplyDelayedParams(&command_line));
    EXPECT_EQ(L"fake_browser_arc", command_line.GetProgram());
    EXPECT_EQ((CommandLine::SwitchMap{{"x", L"1"}}),
              command_line.GetSwitches());
    ASSERT_EQ(1u, records_.size());
    EXPECT_EQ(std::string("Delayed parameter ") + field.name_in_block +
                  " is not terminated within its field",
              records_[0].text);
  }
}

// Runs in a second process started from the same file: applies the block
// it finds, reports the command line and leaves a failure kind.
TEST(DelayedParamsChildProcess, AppliesWhatTheParentWrote) {
  char output[MAX_PATH];
  if (!::GetEnvironmentVariableA(kChildOutputVariable, output, MAX_PATH))
    GTEST_SKIP() << "runs only as the child of the cross-process test";
  CommandLine command_line = CommandLine::FromString(L"fake_browser_arc");
  ApplyDelayedParams(&command_line);
  std::ofstream(output, std::ios::binary)
      << lite_util::WideToUtf8(command_line.GetCommandLineString());
  SetFailureKind(kFailureSetupExitCode7);
}

TEST_F(DelayedParamsTest, SecondProcessFromTheSameFileReadsTheBlock) {
  ASSERT_TRUE(WriteDelayedParams(FullParams()));
  std::wstring output = TempPath(L"lite_delayed_child.txt");
  ::DeleteFileW(output.c_str());
  lite_util::ScopedProcessHandle child = lite_util::StartTestChild(
      L"--gtest_filter=DelayedParamsChildProcess.*", kChildOutputVariable,
      output);
  ASSERT_TRUE(child.IsValid());
  EXPECT_EQ(0u, lite_util::WaitForTestChild(child.Get()));

  std::ifstream in(lite_util::WideToUtf8(output), std::ios::binary);
  std::string line((std::istreambuf_iterator<char>(in)),
                   std::istreambuf_iterator<char>());
  in.close();
  ::DeleteFileW(output.c_str());
  EXPECT_EQ(
      "\"C:\\t\\browser setup.exe\" --brand-package=\"C:\\t\\BrandFile\" "
      "--clids-file=\"C:\\t\\clids.xml\" --disablekvpin "
      "--histogram-download-time=12 "
      "--install-start-time-no-uac=13340000000000000 "
      "--install-start-time-no-uac-with-suspension=-5 "
      "--installerdata=\"C:\\t\\installerdata.json\" "
      "--partner-package=\"C:\\t\\PartnerFile\" --send-statistics",
      line);
  // What the child left for its parent.
  EXPECT_EQ(static_cast<uint32_t>(kFailureSetupExitCode7), GetFailureKind());
}

}  // namespace
}  // namespace lite_installer

#include "installer/main/setup_exit_code.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

namespace lite_installer {
namespace {

uint32_t MakeExitCode(uint32_t kind, uint32_t detail) {
  return (kind << 24) | detail;
}

TEST(DescribeSetupExitCodeTest, KnownAndUnknownKinds) {
  EXPECT_EQ("SUCCESS_EXIT_CODE(0); error: 0", DescribeSetupExitCode(0));
  EXPECT_EQ("PATH_STRING_OVERFLOW(108); error: 5",
            DescribeSetupExitCode(MakeExitCode(108, 5)));
  EXPECT_EQ("Exit code: 2; error: 3", DescribeSetupExitCode(MakeExitCode(2, 3)));
}

TEST(DescribeSetupExitCodeTest, EveryKnownKindHasItsName) {
  struct {
    uint32_t kind;
    const char* name;
  } const kKinds[] = {
      {0, "SUCCESS_EXIT_CODE"},
      {1, "GENERIC_ERROR"},
      {101, "GENERIC_INITIALIZATION_FAILURE"},
      {105, "COMMAND_STRING_OVERFLOW"},
      {107, "WAIT_FOR_PROCESS_FAILED"},
      {108, "PATH_STRING_OVERFLOW"},
      {109, "UNABLE_TO_GET_WORK_DIRECTORY"},
      {110, "UNABLE_TO_FIND_REGISTRY_KEY"},
      {111, "PATCH_NOT_FOR_INSTALLED_VERSION"},
      {112, "UNABLE_TO_EXTRACT_CHROME_ARCHIVE"},
      {115, "UNABLE_TO_EXTRACT_SETUP_EXE"},
      {116, "UNABLE_TO_EXTRACT_SETUP"},
      {117, "UNABLE_TO_SET_DIRECTORY_ACL"},
  };
  for (const auto& k : kKinds) {
    SCOPED_TRACE(k.name);
    EXPECT_EQ(std::string(k.name) + "(" + std::to_string(k.kind) +
                  "); error: 1234567",
              DescribeSetupExitCode(MakeExitCode(k.kind, 1234567)));
  }
}

TEST(DescribeSetupExitCodeTest, KindsOutsideTheTableAreNumbered) {
  // Neighbours of the known kinds, and the top of the byte.
  for (uint32_t kind : {2u, 100u, 102u, 103u, 104u, 106u, 113u, 114u, 118u,
                        200u, 255u}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ("Exit code: " + std::to_string(kind) + "; error: 42",
              DescribeSetupExitCode(MakeExitCode(kind, 42)));
  }
}

TEST(DescribeSetupExitCodeTest, LowCodesAreSuccessWithTheWholeCodeAsDetail) {
  for (uint32_t code : {1u, 5u, 400u, 0xFFFFu, 0x123456u, 16777215u}) {
    SCOPED_TRACE(code);
    EXPECT_EQ("SUCCESS_EXIT_CODE(0); error: " + std::to_string(code),
              DescribeSetupExitCode(code));
  }
  // 16777216 is the first code of kind 1.
  EXPECT_EQ("GENERIC_ERROR(1); error: 0", DescribeSetupExitCode(16777216u));
}

TEST(DescribeSetupExitCodeTest, ExtremeValues) {
  EXPECT_EQ("Exit code: 255; error: 16777215",
            DescribeSetupExitCode(0xFFFFFFFFu));
  // A crash code such as an access violation (0xC0000005) has kind 192.
  EXPECT_EQ("Exit code: 192; error: 5", DescribeSetupExitCode(0xC0000005u));
  // The detail keeps all 24 bits.
  EXPECT_EQ("UNABLE_TO_SET_DIRECTORY_ACL(117); error: 16777215",
            DescribeSetupExitCode(MakeExitCode(117, 0xFFFFFF)));
}

}  // namespace
}  // namespace lite_installer

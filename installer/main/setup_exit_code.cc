#include "installer/main/setup_exit_code.h"

namespace lite_installer {
namespace {

const char* SetupExitKindName(uint32_t kind) {
  switch (kind) {
    case 0: return "SUCCESS_EXIT_CODE";
    case 1: return "GENERIC_ERROR";
    case 101: return "GENERIC_INITIALIZATION_FAILURE";
    case 105: return "COMMAND_STRING_OVERFLOW";
    case 107: return "WAIT_FOR_PROCESS_FAILED";
    case 108: return "PATH_STRING_OVERFLOW";
    case 109: return "UNABLE_TO_GET_WORK_DIRECTORY";
    case 110: return "UNABLE_TO_FIND_REGISTRY_KEY";
    case 111: return "PATCH_NOT_FOR_INSTALLED_VERSION";
    case 112: return "UNABLE_TO_EXTRACT_CHROME_ARCHIVE";
    case 115: return "UNABLE_TO_EXTRACT_SETUP_EXE";
    case 116: return "UNABLE_TO_EXTRACT_SETUP";
    case 117: return "UNABLE_TO_SET_DIRECTORY_ACL";
    default: return nullptr;
  }
}

}  // namespace

std::string DescribeSetupExitCode(uint32_t exit_code) {
  uint32_t kind = exit_code >> 24;
  uint32_t detail = exit_code & 0xFFFFFF;
  const char* name = SetupExitKindName(kind);
  std::string text = name ? std::string(name) + "(" + std::to_string(kind) + ")"
                          : "Exit code: " + std::to_string(kind);
  return text + "; error: " + std::to_string(detail);
}

}  // namespace lite_installer

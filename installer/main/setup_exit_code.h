// Text of the browser setup's exit code: a kind in the high byte and an
// error detail in the low 24 bits.
#ifndef INSTALLER_MAIN_SETUP_EXIT_CODE_H_
#define INSTALLER_MAIN_SETUP_EXIT_CODE_H_

#include <cstdint>
#include <string>

namespace lite_installer {

std::string DescribeSetupExitCode(uint32_t exit_code);

}  // namespace lite_installer

#endif  // INSTALLER_MAIN_SETUP_EXIT_CODE_H_

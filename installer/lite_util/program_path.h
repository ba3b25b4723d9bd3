// The full path of the running program's image file, as the system loaded
// it: unlike the program part of the command line, which the caller
// chooses and may be relative or name another file, it always names the
// image that is running.
#ifndef INSTALLER_LITE_UTIL_PROGRAM_PATH_H_
#define INSTALLER_LITE_UTIL_PROGRAM_PATH_H_

#include <string>

namespace lite_util {

// Empty when the system cannot tell. Paths longer than MAX_PATH are read
// whole.
std::wstring GetRunningProgramPath();

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_PROGRAM_PATH_H_

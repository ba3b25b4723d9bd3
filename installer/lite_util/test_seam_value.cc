#include "installer/lite_util/test_seam_value.h"

#include <windows.h>

namespace lite_util {

#if defined(LITE_INSTALLER_TEST_SEAMS)
bool TestSeamValue(const char* name, std::string* value) {
  std::string variable = std::string("LITE_INSTALLER_SEAM_") + name;
  char buffer[256];
  DWORD length =
      ::GetEnvironmentVariableA(variable.c_str(), buffer, sizeof(buffer));
  if (length == 0 || length >= sizeof(buffer)) return false;
  value->assign(buffer, length);
  return true;
}
#else
bool TestSeamValue(const char*, std::string*) { return false; }
#endif

}  // namespace lite_util

#include "installer/lite_util/test_seams.h"

#include <windows.h>

#include <cstring>

namespace lite_util {

#if defined(LITE_INSTALLER_TEST_SEAMS)
bool TestSeamEnabled(const char* name) {
  char value[512];
  DWORD length = ::GetEnvironmentVariableA("LITE_INSTALLER_TEST_SEAMS", value,
                                           sizeof(value));
  if (length == 0 || length >= sizeof(value)) return false;
  size_t name_length = std::strlen(name);
  for (const char* p = value; *p;) {
    const char* end = std::strchr(p, ',');
    size_t length_here = end ? static_cast<size_t>(end - p) : std::strlen(p);
    if (length_here == name_length && std::strncmp(p, name, name_length) == 0)
      return true;
    if (!end) break;
    p = end + 1;
  }
  return false;
}

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
bool TestSeamEnabled(const char*) { return false; }
bool TestSeamValue(const char*, std::string*) { return false; }
#endif

}  // namespace lite_util

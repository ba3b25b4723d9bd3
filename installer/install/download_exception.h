// The guard around WinINet calls that may load further libraries: a
// library that a module inside the call delay-loads (a cryptographic
// provider's, for instance) can be missing, and its delay-load helper then
// raises 0xC06D007E (library) or 0xC06D007F (procedure). The guard turns
// that into a failure value the download can report, instead of a crash.
#ifndef INSTALLER_INSTALL_DOWNLOAD_EXCEPTION_H_
#define INSTALLER_INSTALL_DOWNLOAD_EXCEPTION_H_

#include <cstdint>
#include <string>

namespace lite_installer {

constexpr uint32_t kDelayLoadModuleNotFound = 0xC06D007E;
constexpr uint32_t kDelayLoadProcedureNotFound = 0xC06D007F;

struct DownloadException {
  uint32_t code = 0;  // 0: no exception
  std::string dll_name;
  // A procedure imported by ordinal is "#<ordinal>".
  std::string proc_name;
};

// Runs call(context). When the call raises one of the two delay-load
// exceptions on this thread, it is abandoned where it stands, |exception|
// receives the code and the library and procedure names, and the result
// is false. Any other exception passes on to the process's handlers, as
// without the guard. Guards may nest; each thread has its own.
bool RunUnderDelayLoadGuard(void (*call)(void* context), void* context,
                            DownloadException* exception);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_DOWNLOAD_EXCEPTION_H_

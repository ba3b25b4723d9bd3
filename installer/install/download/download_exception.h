// The guard around WinINet calls that may load further libraries: a
// library that a module inside the call delay-loads (a cryptographic
// provider's, for instance) can be missing, and its delay-load helper then
// raises 0xC06D007E (library) or 0xC06D007F (procedure). The guard turns
// that into a failure value the download can report, instead of a crash.
#ifndef INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_EXCEPTION_H_
#define INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_EXCEPTION_H_

#include <cstdint>
#include <string>

// A delayed-import descriptor (delayimp.h, which has no include guard).
struct ImgDelayDescr;

namespace lite_installer {

constexpr uint32_t kDelayLoadModuleNotFound = 0xC06D007E;
constexpr uint32_t kDelayLoadProcedureNotFound = 0xC06D007F;

struct DownloadException {
  uint32_t code = 0;  // 0: no exception
  std::string dll_name;
  // A procedure imported by ordinal is "#<ordinal>".
  std::string proc_name;
};

// Runs call(context) under a frame-based handler. When the call raises one
// of the two delay-load exceptions on this thread and no handler inside the
// call takes it first, the frames in between are unwound (their clean-up
// handlers run), |exception| receives the code and the library and
// procedure names, and the result is false. Any other exception passes on
// as without the guard. Guards may nest.
//
// |bind_first| (null, or a null-terminated list of this program's delayed-
// import descriptors, see LITE_DELAY_IMPORTS) is bound before the call,
// inside the guard: a missing library then fails in the installer's own
// code rather than inside the library the call enters.
bool RunUnderDelayLoadGuard(void (*call)(void* context), void* context,
                            DownloadException* exception,
                            const ImgDelayDescr* const* bind_first = nullptr);

// Binds every import of one delayed-import descriptor now (the linker
// fills no delay-import directory, so __HrLoadAllImportsForDll finds
// nothing: the descriptor is named instead). A library that cannot be
// bound raises the delay-load exception, or calls the failure hook.
void BindDelayedImports(const ImgDelayDescr* descriptor);

}  // namespace lite_installer

// Declares |name| as the delayed-import descriptor of lib<dll>_delay.a
// (cmake/make_delay_import_lib.sh), e.g.
//   LITE_DELAY_IMPORTS(kWininetImports, wininet);
#define LITE_DELAY_IMPORTS(name, dll)     \
  extern "C" const ImgDelayDescr name \
      asm("__DELAY_IMPORT_DESCRIPTOR_lib" #dll "_delay_a")

#endif  // INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_EXCEPTION_H_

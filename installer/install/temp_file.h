// Files the installer creates in the temporary folder, where other
// programs of the same user can plant names: each file is created once,
// under a fresh name, with CREATE_NEW (never opening what is already
// there, a link or junction included), and the caller keeps the handle.
#ifndef INSTALLER_INSTALL_TEMP_FILE_H_
#define INSTALLER_INSTALL_TEMP_FILE_H_

#include <windows.h>

#include <string>

#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {

// The system temporary folder with its trailing backslash; empty when the
// system has none that fits MAX_PATH.
std::wstring GetTempDirectory();

// Creates "<dir>\<prefix>XXXX.tmp" (XXXX four hexadecimal digits, as
// GetTempFileNameW forms them), trying the numbers from |first_number| on
// while a name is taken. |access| and |share| are CreateFileW's (DELETE in
// |access| for SetDeleteOnClose). Returns an
// invalid handle on failure (the last error says why).
lite_util::ScopedFileHandle CreateUniqueTempFile(const std::wstring& dir,
                                                 const wchar_t* prefix,
                                                 DWORD access, DWORD share,
                                                 unsigned first_number,
                                                 std::wstring* path);

// The number the installer starts its names from: different for each
// process and call.
unsigned NextTempFileNumber();

// Marks |file| (opened with DELETE access) to be removed when its last
// handle closes, the end of the process included; false undoes the mark.
bool SetDeleteOnClose(HANDLE file, bool delete_on_close);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_TEMP_FILE_H_

// The program's own "BIN" resources (packages and data files for the
// browser setup) and writing them out as files.
#ifndef INSTALLER_LITE_UTIL_BIN_RESOURCE_H_
#define INSTALLER_LITE_UTIL_BIN_RESOURCE_H_

#include <windows.h>

#include <string>

namespace lite_util {

// A copy of the "BIN" resource |name| (an integer id through
// MAKEINTRESOURCEW, or a name) of this program; empty when it is missing.
std::string LoadBinResource(const wchar_t* name);

// Writes |bytes| as the whole file at |path| (replacing it, no sharing).
// A failure is logged as a warning; a partly written file is removed, and
// so is an older file that could not be replaced, so that its reader never
// finds a truncated or stale copy (the caller checks whether one is left).
bool WriteBinFile(const std::wstring& path, const std::string& bytes);

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_BIN_RESOURCE_H_

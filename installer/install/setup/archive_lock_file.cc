#include "installer/install/setup/archive_lock_file.h"

#include <utility>

#include "installer/lite_util/test_seams.h"

namespace lite_installer {

ArchiveLockFile::ArchiveLockFile(const std::wstring& path,
                                 lite_util::ScopedFileHandle file)
    : path_(path), file_(std::move(file)) {}

bool ArchiveLockFile::ReopenForExecution() {
  const DWORD kAccess = GENERIC_READ | GENERIC_EXECUTE;
  lite_util::ScopedFileHandle shared(::CreateFileW(
      path_.c_str(), kAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
      nullptr));
  file_.Close();
  if (!shared.IsValid()) return false;
  // Test builds can play the writer that slips in between the two opens.
  lite_util::ScopedFileHandle intruder;
  if (lite_util::TestSeamEnabled("archive-writer-between-reopens")) {
    intruder.Set(::CreateFileW(path_.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  file_.Set(::CreateFileW(path_.c_str(), kAccess, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file_.IsValid();
}

}  // namespace lite_installer

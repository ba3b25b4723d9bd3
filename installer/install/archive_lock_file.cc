#include "installer/install/archive_lock_file.h"

#include "installer/lite_util/test_seams.h"

namespace lite_installer {

ArchiveLockFile::ArchiveLockFile(const std::wstring& path)
    : path_(path),
      file_(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                          nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                          nullptr)) {}

bool ArchiveLockFile::ReopenForExecution() {
  const DWORD kAccess = GENERIC_READ | GENERIC_EXECUTE;
  lite_util::ScopedFileHandle shared(::CreateFileW(
      path_.c_str(), kAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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

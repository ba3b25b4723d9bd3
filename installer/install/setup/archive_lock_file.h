// Keeps writers out of the setup archive from its download to the setup's
// launch (distribution parameter "setup_arc_permanent_lock"): the file is
// created for writing with only readers allowed in, and after the download
// it is re-opened for reading and execution with only readers allowed in.
#ifndef INSTALLER_INSTALL_SETUP_ARCHIVE_LOCK_FILE_H_
#define INSTALLER_INSTALL_SETUP_ARCHIVE_LOCK_FILE_H_

#include <windows.h>

#include <string>

#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {

class ArchiveLockFile {
 public:
  // Takes over |file|: |path| as created for writing, sharing reading
  // only (see CreateUniqueTempFile).
  ArchiveLockFile(const std::wstring& path, lite_util::ScopedFileHandle file);
  ArchiveLockFile(const ArchiveLockFile&) = delete;
  ArchiveLockFile& operator=(const ArchiveLockFile&) = delete;

  // Turns the write handle into a read-and-execute one that still keeps
  // writers out. Windows cannot drop write access from an open handle, so
  // this goes through an intermediate handle that shares reading and
  // writing (the write handle holds write access, which a read-only share
  // would refuse); a writer that opens the file in that moment makes the
  // final open fail. False when a handle could not be opened.
  bool ReopenForExecution();

  HANDLE handle() const { return file_.Get(); }
  bool IsValid() const { return file_.IsValid(); }
  void Close() { file_.Close(); }

 private:
  std::wstring path_;
  lite_util::ScopedFileHandle file_;
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_SETUP_ARCHIVE_LOCK_FILE_H_

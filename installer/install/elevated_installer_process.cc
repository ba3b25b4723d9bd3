#include "installer/install/elevated_installer_process.h"

#include "installer/lite_util/logging/log.h"

namespace lite_installer {

const wchar_t kElevatedGoEventName[] = L"0c0f0f0d-6434-4cfd-a5e9-23e9ca4d94b6";
const wchar_t kElevatedAbortEventName[] =
    L"fef32d6d-67e9-4654-b314-6c72098ff5d1";

ElevatedInstallerProcess::ElevatedInstallerProcess()
    : go_event_(::CreateEventW(nullptr, FALSE, FALSE, kElevatedGoEventName)),
      abort_event_(
          ::CreateEventW(nullptr, FALSE, FALSE, kElevatedAbortEventName)) {}

void ElevatedInstallerProcess::Attach(HANDLE process, HWND window) {
  process_.Set(process);
  window_.Set(window);
}

ElevatedInstallerProcess::~ElevatedInstallerProcess() {
  if (process_.IsValid()) {
    if (!go_signalled_ && abort_event_.IsValid())
      ::SetEvent(abort_event_.Get());
    EnsureProcessFinished();
  }
  // Without a process the members close the events and destroy the window.
}

bool ElevatedInstallerProcess::RunModule(HANDLE stop_event) {
  go_signalled_ = true;
  ::SetEvent(go_event_.Get());
  // The stop event comes first, as a stop outranks a copy that ended at
  // the same moment; without a stop event only the copy's end counts.
  HANDLE handles[2] = {stop_event, process_.Get()};
  HANDLE* first = stop_event ? handles : handles + 1;
  DWORD count = stop_event ? 2 : 1;
  DWORD wait = ::WaitForMultipleObjects(count, first, FALSE, INFINITE);
  bool stopped = stop_event && wait == WAIT_OBJECT_0;
  bool ended = wait == WAIT_OBJECT_0 + count - 1 && !stopped;
  if (ended) {
    DWORD code = 0;
    if (!::GetExitCodeProcess(process_.Get(), &code)) {
      PLOG_AS(ERROR, "RunModule")
          << "Failed to get exit code of the elevated installer.";
      code = 0xFFFFFFFFu;
    }
    exit_code_ = code;
    return exit_code_ == 0;
  }
  if (stopped) {
    // The copy is left to the destructor: it was let go, so it is not
    // aborted, but it gets its time to end before it is terminated.
    PLOG_AS(ERROR, "RunModule")
        << "The elevated installer was terminated due to stop event.";
  }
  return false;
}

void ElevatedInstallerProcess::EnsureProcessFinished() {
  if (process_.IsValid() &&
      ::WaitForSingleObject(process_.Get(), kElevatedProcessFinishTimeoutMs) ==
          WAIT_TIMEOUT) {
    terminated_ = true;
    PLOG(ERROR) << "The elevated installer hangs and must be forcibly "
                   "terminated.";
    ::TerminateProcess(process_.Get(), 0);
  }
  process_.Close();
  go_event_.Close();
  abort_event_.Close();
  window_.Close();
}

}  // namespace lite_installer

#include "installer/install/elevation/elevated_installer_process.h"

#include "installer/lite_util/logging/log.h"

namespace lite_installer {

const wchar_t kElevatedGoEventName[] = L"0c0f0f0d-6434-4cfd-a5e9-23e9ca4d94b6";
const wchar_t kElevatedAbortEventName[] =
    L"fef32d6d-67e9-4654-b314-6c72098ff5d1";

namespace {

// A new event of that name, or none when the name is taken: an event that
// already exists belongs to someone else (another installer, or a process
// waiting to hear the go meant for our copy), and is not shared.
HANDLE CreateOwnEvent(const wchar_t* name) {
  HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, name);
  if (event && ::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(event);
    ::SetLastError(ERROR_ALREADY_EXISTS);
    return nullptr;
  }
  return event;
}

}  // namespace

ElevatedInstallerProcess::ElevatedInstallerProcess()
    : go_event_(CreateOwnEvent(kElevatedGoEventName)) {
  if (!go_event_.IsValid()) {
    PLOG_AS(ERROR, "ElevatedInstallerProcess")
        << "Cannot create the go event of the elevated installer.";
    return;
  }
  abort_event_.Set(CreateOwnEvent(kElevatedAbortEventName));
  if (!abort_event_.IsValid()) {
    PLOG_AS(ERROR, "ElevatedInstallerProcess")
        << "Cannot create the abort event of the elevated installer.";
    go_event_.Close();
    return;
  }
  events_ready_ = true;
}

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

bool ElevatedInstallerProcess::CollectExitCode() {
  DWORD code = 0;
  if (!::GetExitCodeProcess(process_.Get(), &code)) {
    PLOG_AS(ERROR, "RunModule")
        << "Failed to get exit code of the elevated installer.";
    code = 0xFFFFFFFFu;
  }
  exit_code_ = code;
  return exit_code_ == 0;
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
  if (ended) return CollectExitCode();
  if (!stopped) return false;
  PLOG_AS(ERROR, "RunModule")
      << "The elevated installer was terminated due to stop event.";
  // The copy was let go and may be running the setup: its outcome still
  // counts when it comes within the time a hanging copy is given anyway.
  if (::WaitForSingleObject(process_.Get(), finish_timeout_ms_) ==
      WAIT_OBJECT_0) {
    bool success = CollectExitCode();
    LOG_AS(INFO, "RunModule")
        << "The elevated installer ended after the stop with code "
        << exit_code_;
    return success;
  }
  return false;
}

void ElevatedInstallerProcess::EnsureProcessFinished() {
  if (process_.IsValid() &&
      ::WaitForSingleObject(process_.Get(), finish_timeout_ms_) ==
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

// Plays the first installer process of an elevated installation without
// the main window, so that the tests can watch the relaunch, the handshake
// and the elevated copy across real processes. It owns a plain window
// (with a control 212, the cancel control the copy hides) that counts the
// progress messages the copy posts, runs an Installer with the installer's
// resources against the test service, and starts the real installer
// (--probe-installer, the test build) as its elevated copy. It reads and
// writes that installer's delayed parameters, in the installer image's
// shared section, as the installer itself would.
// Its own switches (--probe-...) reach the copy and the setup like any
// other switch. Modes (--probe-mode=):
//   install  asks NeedStartThisProcessAsAdmin, relaunches when it answers
//            yes (unless --probe-no-relaunch), then installs (the make-
//            default, send-statistics and kvpin choices set, as the window
//            would) and prints what happened, one "name=value" line each;
//            exits with the installer's setup exit code.
//   hold     relaunches, prints copy_pid, waits until the file
//            --probe-release-file exists, then lets the Installer go (the
//            copy is aborted) and prints the copy's exit code.
//   attack   writes --probe-archive into the installer's delayed
//            parameters and sets the go event, as any process of the user
//            could; prints signalled=1 or 0.
//   watch    waits for process --probe-pid and prints its exit code.
//   tamper   tries, as any process of the user could, to open the file
//            --probe-file for writing (sharing everything) and then to
//            delete it; prints opened_for_writing and deleted (1 or 0),
//            each with the Windows error of a failure.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "installer/brand/brand_info.h"
#include "installer/brand/distrib_info_params.h"
#include "installer/install/elevation/child_progress_delegate.h"
#include "installer/install/elevation/elevated_installer_process.h"
#include "installer/install/installer.h"
#include "installer/install/installer_delegate.h"
#include "installer/install/setup/delayed_params.h"
#include "installer/lite_util/delay_load_hook.h"
#include "installer/lite_util/logging/file_logger.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"
#include "installer/main/command_line.h"

namespace {

using lite_installer::CommandLine;

constexpr UINT kDoneMessage = WM_APP + 200;

void Print(const std::string& name, const std::string& value) {
  std::printf("%s=%s\n", name.c_str(), value.c_str());
  std::fflush(stdout);
}

void PrintNumber(const std::string& name, long long value) {
  Print(name, std::to_string(value));
}

std::wstring Switch(const char* name) {
  return CommandLine::ForCurrentProcess().GetSwitchValueNative(name);
}

// The delayed-parameters block in the shared section of the installer
// image at |path|, mapped into this process.
lite_installer::DelayedParamsBlock* MapInstallerBlock(
    const std::wstring& path) {
  HMODULE image =
      ::LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (!image) return nullptr;
  auto* base = reinterpret_cast<BYTE*>(image);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
    if (std::memcmp(section[i].Name, "Shared\0\0", 8) == 0 &&
        section[i].Misc.VirtualSize >=
            sizeof(lite_installer::DelayedParamsBlock)) {
      return reinterpret_cast<lite_installer::DelayedParamsBlock*>(
          base + section[i].VirtualAddress);
    }
  }
  return nullptr;
}

class ProbeInstaller : public lite_installer::Installer {
 public:
  ProbeInstaller(lite_installer::InstallerDelegate* delegate,
                 const lite_installer::BrandInfo* brand,
                 const lite_installer::DistribInfoParams* distrib,
                 const std::wstring& program)
      : Installer(delegate, brand, distrib, false), program_(program) {}

 protected:
  std::wstring RelaunchProgram() const override { return program_; }

 private:
  std::wstring program_;
};

// The first process's window side: its own calls are only counted; the
// window counts what the copy posts.
class ProbeDelegate : public lite_installer::InstallerDelegate {
 public:
  explicit ProbeDelegate(HWND window) : window_(window) {}
  void OnDownloadProgress(float) override {}
  void OnSlowDownload() override {}
  void OnRemainingTime(int, int) override {}
  void OnFinished(bool) override {
    ::PostMessageW(window_, kDoneMessage, 1, 0);
  }
  void OnError(int result) override {
    ::PostMessageW(window_, kDoneMessage, 0, result);
  }
  HWND GetWindowHandle() override { return window_; }
  void SetProgress(int) override {}
  void OnSetupStarted() override {}

 private:
  HWND window_;
};

struct WindowCounts {
  int progress_messages = 0;
  std::string progress_values;
  int remaining_time_messages = 0;
  bool done = false;
  int finished = 0;
  int error = 0;
} counts;

LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wparam,
                                 LPARAM lparam) {
  switch (message) {
    case lite_installer::kInstallProgressMessage:
      ++counts.progress_messages;
      if (!counts.progress_values.empty()) counts.progress_values += ",";
      counts.progress_values += std::to_string(wparam);
      return 0;
    case lite_installer::kInstallRemainingTimeMessage:
      ++counts.remaining_time_messages;
      return 0;
    case kDoneMessage:
      counts.done = true;
      counts.finished = static_cast<int>(wparam);
      counts.error = static_cast<int>(lparam);
      return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

HWND CreateProbeWindow() {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = ProbeWindowProc;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"LiteElevationProbe";
  ::RegisterClassW(&window_class);
  HWND window = ::CreateWindowExW(0, window_class.lpszClassName, L"probe",
                                  WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  nullptr, nullptr, window_class.hInstance,
                                  nullptr);
  ::CreateWindowExW(0, L"BUTTON", L"cancel", WS_CHILD | WS_VISIBLE, 10, 10,
                    80, 24, window, reinterpret_cast<HMENU>(
                        static_cast<INT_PTR>(lite_installer::kCancelControlId)),
                    window_class.hInstance, nullptr);
  return window;
}

void PumpUntilDone() {
  MSG message;
  while (!counts.done && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  // What was posted before the end arrives before it; the rest of the
  // queue (the copy's asynchronous calls) is taken too.
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    ::DispatchMessageW(&message);
}

// A handle on the copy that outlives the Installer, for its exit code.
HANDLE DuplicateCopyHandle(const lite_installer::Installer& installer) {
  HANDLE copy = nullptr;
  if (installer.elevated_process() && installer.elevated_process()->process())
    ::DuplicateHandle(::GetCurrentProcess(),
                      installer.elevated_process()->process(),
                      ::GetCurrentProcess(), &copy, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
  return copy;
}

void PrintCopyExitCode(HANDLE copy) {
  if (!copy) return;
  ::WaitForSingleObject(copy, 60000);
  DWORD code = 0;
  ::GetExitCodeProcess(copy, &code);
  PrintNumber("copy_exit_code", static_cast<int32_t>(code));
  ::CloseHandle(copy);
}

std::wstring TempDirectory() {
  wchar_t buffer[MAX_PATH];
  DWORD length = ::GetTempPathW(MAX_PATH, buffer);
  return length && length < MAX_PATH ? std::wstring(buffer, length)
                                     : std::wstring();
}

int RunInstallOrHold(bool hold) {
  std::wstring installer_path = Switch("probe-installer");
  lite_installer::DelayedParamsBlock* block = MapInstallerBlock(installer_path);
  Print("block_mapped", block ? "1" : "0");
  if (!block) return 2;
  lite_installer::UseDelayedParamsBlockForTesting(block);

  lite_util::ScopedComInitializer com(COINIT_APARTMENTTHREADED);
  HWND window = CreateProbeWindow();
  PrintNumber("window", reinterpret_cast<uintptr_t>(window));
  lite_installer::DistribInfoParams distrib;
  distrib.Load();
  lite_installer::BrandInfo brand(TempDirectory());
  brand.GetInfo(CommandLine::ForCurrentProcess().GetSwitchValueASCII(
      "brand-name"));
  brand.ApplyBrandDefaults();
  ProbeDelegate delegate(window);
  int exit_code = 0;
  HANDLE copy = nullptr;
  {
    ProbeInstaller installer(&delegate, &brand, &distrib, installer_path);
    bool need = installer.NeedStartThisProcessAsAdmin();
    PrintNumber("need_elevation", need ? 1 : 0);
    if (need && !CommandLine::ForCurrentProcess().HasSwitch(
                    "probe-no-relaunch")) {
      bool relaunched = installer.RelaunchAsAdmin();
      // As the main window does when the relaunch fails.
      if (!relaunched)
        LOG(INFO) << "Declined running the installer as admin";
      PrintNumber("relaunched", relaunched ? 1 : 0);
    }
    PrintNumber("uac_declined", installer.uac_declined() ? 1 : 0);
    copy = DuplicateCopyHandle(installer);
    if (copy) PrintNumber("copy_pid", ::GetProcessId(copy));
    if (hold) {
      std::wstring release = Switch("probe-release-file");
      while (::GetFileAttributesW(release.c_str()) == INVALID_FILE_ATTRIBUTES)
        ::Sleep(50);
      Print("released", "1");
    } else {
      installer.SetMakeDefault(true);
      installer.set_send_statistics(true);
      installer.set_install_kvpin(false);
      installer.StartInstallAsync();
      installer.AllowInstallation();
      PumpUntilDone();
      installer.WaitForInstallAsync();
      exit_code = installer.setup_exit_code();
    }
  }
  if (!hold) {
    HWND cancel = ::GetDlgItem(window, lite_installer::kCancelControlId);
    PrintNumber("finished", counts.finished);
    PrintNumber("error", counts.error);
    PrintNumber("progress_messages", counts.progress_messages);
    Print("progress_values", counts.progress_values);
    PrintNumber("remaining_time_messages", counts.remaining_time_messages);
    PrintNumber("cancel_visible", ::IsWindowVisible(cancel) ? 1 : 0);
    PrintNumber("setup_exit_code", exit_code);
  }
  PrintCopyExitCode(copy);
  ::DestroyWindow(window);
  return exit_code;
}

int RunAttack() {
  lite_installer::DelayedParamsBlock* block =
      MapInstallerBlock(Switch("probe-installer"));
  Print("block_mapped", block ? "1" : "0");
  if (!block) return 2;
  lite_installer::UseDelayedParamsBlockForTesting(block);
  lite_installer::DelayedParams params;
  params.browser_arc_path = Switch("probe-archive");
  params.install_kvpin = true;
  bool written = lite_installer::WriteDelayedParams(params);
  lite_util::ScopedEventHandle go(::OpenEventW(
      EVENT_MODIFY_STATE, FALSE, lite_installer::kElevatedGoEventName));
  bool signalled = written && go.IsValid() && ::SetEvent(go.Get());
  PrintNumber("signalled", signalled ? 1 : 0);
  return signalled ? 0 : 1;
}

int RunWatch() {
  DWORD pid = static_cast<DWORD>(
      std::wcstoul(Switch("probe-pid").c_str(), nullptr, 10));
  HANDLE process = ::OpenProcess(
      SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  PrintNumber("watching", process ? 1 : 0);
  if (!process) return 1;
  PrintCopyExitCode(process);
  return 0;
}

int RunTamper() {
  std::wstring path = Switch("probe-file");
  HANDLE writer = ::CreateFileW(
      path.c_str(), GENERIC_WRITE,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD write_error = writer == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
  lite_util::ScopedFileHandle opened(writer);
  PrintNumber("opened_for_writing", opened.IsValid() ? 1 : 0);
  PrintNumber("write_error", write_error);
  opened.Close();
  bool deleted = ::DeleteFileW(path.c_str()) != FALSE;
  DWORD delete_error = deleted ? 0 : ::GetLastError();
  PrintNumber("deleted", deleted ? 1 : 0);
  PrintNumber("delete_error", delete_error);
  return 0;
}

}  // namespace

int wmain() {
  lite_util::InstallDelayLoadFailureHook();
  // Into the installer's log, beside the copy's lines.
  lite_util::SetLogSink(new lite_util::LogFileSink(
      lite_util::GetLogFilePath(), lite_util::kMaxLogFileSize));
  std::string mode =
      CommandLine::ForCurrentProcess().GetSwitchValueASCII("probe-mode");
  if (mode == "install") return RunInstallOrHold(false);
  if (mode == "hold") return RunInstallOrHold(true);
  if (mode == "attack") return RunAttack();
  if (mode == "watch") return RunWatch();
  if (mode == "tamper") return RunTamper();
  std::fprintf(stderr, "usage: elevation_probe --probe-mode=install|hold|"
                       "attack|watch|tamper ...\n");
  return 2;
}

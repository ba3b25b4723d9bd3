#include "installer/kelvra/util/interface_availability.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/program_path.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/test_seams.h"
#include "installer/lite_util/windows_release.h"
#include "installer/main/command_line.h"

namespace lite_installer {
namespace {

constexpr uint32_t kProbeTimeoutMs = 3000;
constexpr char kSafeCheck[] = "IsInternalInterfaceAvailableSafeCheck";
constexpr char kFailed[] =
    "Failed to check Win10 internal interface availability";

// The probing copy's time limit; test builds can lengthen it for programs
// that start slowly under CPU emulation.
uint32_t ProbeTimeoutMs() {
  std::string text;
  if (!lite_util::TestSeamValue("INTERFACE_PROBE_TIMEOUT_MS", &text) ||
      text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
    return kProbeTimeoutMs;
  return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

}  // namespace

uint32_t InterfaceAvailabilityValue(uint32_t state, uint32_t build,
                                    uint32_t ubr) {
  uint64_t base = (build < 29497 ? static_cast<uint64_t>(build) * 10000 : 0) +
                  (ubr < 7296 ? ubr : 0);
  return static_cast<uint32_t>(static_cast<uint64_t>(state) * 1000000000u +
                               base % 1000000000u);
}

bool RunInterfaceSafeCheck(const std::wstring& program, uint32_t timeout_ms,
                           uint32_t* state) {
  if (program.empty() ||
      ::GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
    PLOG_AS(ERROR, kSafeCheck) << kFailed << ": "
                               << "can't get installer exe path.";
    *state = kInterfaceCheckFailed;
    return false;
  }
  CommandLine probe;
  probe.SetProgram(program);
  probe.AppendSwitch("check-the-interface");
  std::wstring text = probe.GetCommandLineString();
  std::vector<wchar_t> buffer(text.begin(), text.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup_info = {};
  startup_info.cb = sizeof(startup_info);
  PROCESS_INFORMATION process_info = {};
  if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup_info, &process_info)) {
    PLOG_AS(ERROR, kSafeCheck) << kFailed << ": "
                               << "can't run installer: " << text;
    *state = kInterfaceCheckFailed;
    return false;
  }
  lite_util::ScopedProcessHandle process(process_info.hProcess);
  lite_util::ScopedThreadHandle thread(process_info.hThread);
  if (::WaitForSingleObject(process.Get(), timeout_ms) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.Get(), 22);
    PLOG_AS(ERROR, kSafeCheck) << kFailed << ", "
                               << " installer was terminated by timeout.";
    *state = kInterfaceProbeTimedOut;
    return false;
  }
  DWORD exit_code = 0;
  ::GetExitCodeProcess(process.Get(), &exit_code);
  int32_t code = static_cast<int32_t>(exit_code);
  if (code < 0) {
    PLOG_AS(ERROR, kSafeCheck) << kFailed << "," << " ret code: " << code
                               << ", installer crashed";
    *state = kInterfaceProbeCrashed;
    return false;
  }
  if (code == 700 || code == 701) {
    LOG_AS(INFO, kSafeCheck)
        << "Successfuly checked Win10 internal interface availability: "
        << "availability: " << (code == 700 ? "1" : "0");
    if (code == 701) *state = kInterfaceNotAvailable;
    return code == 700;
  }
  PLOG_AS(ERROR, kSafeCheck) << kFailed << ", unknown ret code: " << code;
  *state = kInterfaceCheckFailed;
  return false;
}

bool IsInterfaceAvailable(uint32_t* value) {
  if (lite_util::GetWindowsRelease() < lite_util::kWindows10) return false;
  uint32_t build = lite_util::GetWindowsBuildNumber();
  uint32_t ubr = lite_util::GetWindowsUbr();
  uint32_t state = kInterfaceAvailableState;
  bool available = true;
  if (!(build > 17703 || (build == 17134 && ubr > 318))) {
    // The running image itself: the command line's program part is the
    // caller's choice and may be relative or name another file.
    available = RunInterfaceSafeCheck(lite_util::GetRunningProgramPath(),
                                      ProbeTimeoutMs(), &state);
  }
  *value = InterfaceAvailabilityValue(state, build, ubr);
  return available;
}

}  // namespace lite_installer

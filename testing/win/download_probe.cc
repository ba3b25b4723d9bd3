// Runs the installer's HttpDownloader from the command line, so that the
// integration tests can watch it against the test service. Writes its log
// to lite_installer.log in TEMP and prints what the download left behind,
// one "name=value" line each.
// usage:
//   download_probe.exe file URL TARGET
//       DownloadToHandle into TARGET (created or emptied; deleted again
//       when the download fails)
//   download_probe.exe string URL OUTPUT [HEADER...]
//       DownloadToString; the bytes go to OUTPUT, each HEADER named is
//       printed as "header NAME=VALUE"
//   download_probe.exe attempts URL SINK_FILE COUNT
//       up to COUNT attempts (DownloadFile, no pause between them) into
//       one FileDownloadSink on SINK_FILE, which later attempts continue;
//       prints "attempt=N ok=0|1 error=... bytes_written=... total_size=..."
//   download_probe.exe raw URL TARGET PIECE
//       plain WinINet, no installer code: InternetOpenUrlW, then
//       InternetReadFile in fixed pieces of PIECE bytes into TARGET; prints
//       "bytes=N", "reads=N" and "elapsed_ms=N". The benchmark's ceiling:
//       what any reader gets from WinINet on this machine.
//   download_probe.exe module TARGET SETTINGS_FILE [OPTION...]
//       the setup-archive download (DownloadModule) into TARGET with the
//       URLs of the brand settings in SETTINGS_FILE (JSON, as a brand
//       package carries them). OPTIONs: "download-x64", "download-x32"
//       (the switches), "stop-file=PATH" (the stop event is set once PATH
//       exists). Prints "started", one "attempt=N ok=... error=...
//       bytes_written=... total_size=... url=... redirect=... x64=..." line
//       per attempt event and "pause=MS stopped=0|1" per pause, in the
//       order they happen, then "result_code=N", "elapsed_ms=N",
//       "first_progress_ms=N" (from the start to the first progress call,
//       made once the answer's headers are in)
//       and "peak_private_bytes=N". The pause comes from the seam value
//       DOWNLOAD_RETRY_DELAY_MS when it is set.
// Exit code: 0 when the download succeeded, 1 when it failed, 2 for a bad
// usage; module mode exits with the download's result code (0, 2 or 3).
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "installer/brand/brand_info.h"
#include "installer/install/download/delegate_progress_observer.h"
#include "installer/install/download/download_clock.h"
#include "installer/install/download/download_event_reporter.h"
#include "installer/install/download/download_file.h"
#include "installer/install/download/download_module.h"
#include "installer/install/download/download_sink.h"
#include "installer/install/download/http_downloader.h"
#include "installer/install/installer_delegate.h"
#include "installer/lite_util/delay_load_hook.h"
#include "installer/lite_util/logging/file_logger.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"
#include "installer/main/command_line.h"

namespace {

using lite_installer::HttpDownloader;

void Print(const std::string& name, const std::wstring& value) {
  std::printf("%s=%s\n", name.c_str(), lite_util::WideToUtf8(value).c_str());
}

void PrintNumber(const std::string& name, unsigned long long value) {
  std::printf("%s=%llu\n", name.c_str(), value);
}

void PrintState(const HttpDownloader& downloader, bool ok) {
  std::printf("result=%s\n", ok ? "ok" : "failed");
  Print("error", downloader.error());
  Print("url", downloader.url());
  Print("redirect_url", downloader.redirect_url());
  PrintNumber("total_size", downloader.total_size());
  PrintNumber("exception", downloader.exception().code);
  std::fflush(stdout);
}

bool WriteAll(const std::wstring& path, const std::string& bytes) {
  lite_util::ScopedFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file.IsValid() &&
         ::WriteFile(file.Get(), bytes.data(),
                     static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

int RunAttempts(const std::wstring& url, const std::wstring& sink_path,
                int count) {
  lite_util::ScopedFileHandle file(
      ::CreateFileW(sink_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return 2;
  lite_installer::FileDownloadSink sink(file.Get());
  HttpDownloader downloader;
  bool ok = false;
  for (int i = 1; i <= count && !ok; ++i) {
    lite_installer::DownloadAttemptResult result;
    ok = lite_installer::DownloadFile(
        &downloader, url, &sink, nullptr, nullptr,
        lite_installer::SystemDownloadClock(), &result);
    std::printf("attempt=%d ok=%d error=%s bytes_written=%llu "
                "total_size=%llu\n",
                i, ok ? 1 : 0, lite_util::WideToUtf8(result.error).c_str(),
                static_cast<unsigned long long>(sink.bytes_written()),
                static_cast<unsigned long long>(result.total_size));
    std::fflush(stdout);
  }
  PrintState(downloader, ok);
  return ok ? 0 : 1;
}

// The system clock, printing each pause between attempts.
class PrintingClock : public lite_installer::DownloadClock {
 public:
  uint32_t TickCount() override {
    return lite_installer::SystemDownloadClock()->TickCount();
  }
  bool WaitForStop(HANDLE stop_event, uint32_t milliseconds) override {
    bool stopped = lite_installer::SystemDownloadClock()->WaitForStop(
        stop_event, milliseconds);
    std::printf("pause=%u stopped=%d\n", milliseconds, stopped ? 1 : 0);
    std::fflush(stdout);
    return stopped;
  }
};

class PrintingReporter : public lite_installer::DownloadEventReporter {
 public:
  void OnDownloadStarted() override {
    std::printf("started\n");
    std::fflush(stdout);
  }
  void OnDownloadAttempt(
      const lite_installer::DownloadAttemptRecord& attempt) override {
    std::printf(
        "attempt=%d ok=%d error=%s bytes_written=%llu total_size=%llu "
        "url=%s redirect=%s x64=%d\n",
        attempt.attempt_number, attempt.success ? 1 : 0,
        lite_util::WideToUtf8(attempt.error).c_str(),
        static_cast<unsigned long long>(attempt.downloaded_size),
        static_cast<unsigned long long>(attempt.total_size),
        lite_util::WideToUtf8(attempt.url).c_str(),
        lite_util::WideToUtf8(attempt.redirect_url).c_str(),
        attempt.architecture);
    std::fflush(stdout);
  }
};

// Counts the delegate's progress calls instead of moving a progress bar.
class CountingDelegate : public lite_installer::InstallerDelegate {
 public:
  void OnDownloadProgress(float fraction) override {
    if (progress_calls++ == 0) ::QueryPerformanceCounter(&first_progress);
    last_fraction = fraction;
  }
  void OnSlowDownload() override {}
  void OnRemainingTime(int, int) override {}
  void OnFinished(bool) override {}
  void OnError(int) override {}
  HWND GetWindowHandle() override { return nullptr; }
  void SetProgress(int) override {}
  void OnSetupStarted() override {}
  unsigned long long progress_calls = 0;
  float last_fraction = 0;
  LARGE_INTEGER first_progress = {};
};

struct StopFileWatch {
  std::wstring path;
  HANDLE stop_event;
  HANDLE done_event;
};

DWORD WINAPI WatchStopFile(void* context) {
  auto* watch = static_cast<StopFileWatch*>(context);
  while (::WaitForSingleObject(watch->done_event, 20) == WAIT_TIMEOUT) {
    if (::GetFileAttributesW(watch->path.c_str()) != INVALID_FILE_ATTRIBUTES) {
      ::SetEvent(watch->stop_event);
      break;
    }
  }
  return 0;
}

// The peak of the process's private memory (the commit charge), as
// Windows counts it.
unsigned long long PeakPrivateBytes() {
  struct Counters {
    DWORD cb;
    DWORD PageFaultCount;
    SIZE_T PeakWorkingSetSize;
    SIZE_T WorkingSetSize;
    SIZE_T QuotaPeakPagedPoolUsage;
    SIZE_T QuotaPagedPoolUsage;
    SIZE_T QuotaPeakNonPagedPoolUsage;
    SIZE_T QuotaNonPagedPoolUsage;
    SIZE_T PagefileUsage;
    SIZE_T PeakPagefileUsage;
  } counters = {};
  counters.cb = sizeof(counters);
  using QueryFunction = BOOL(WINAPI*)(HANDLE, Counters*, DWORD);
  auto query = reinterpret_cast<QueryFunction>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"),
                       "K32GetProcessMemoryInfo")));
  if (!query || !query(::GetCurrentProcess(), &counters, sizeof(counters)))
    return 0;
  return counters.PeakPagefileUsage;
}

bool ReadAll(const std::wstring& path, std::string* bytes) {
  lite_util::ScopedFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) &&
         read > 0) {
    bytes->append(buffer, read);
  }
  return true;
}

int RunModule(const std::wstring& target, const std::wstring& settings_path,
              int option_count, wchar_t** options) {
  std::string settings;
  if (!ReadAll(settings_path, &settings)) return 2;
  wchar_t temp_dir[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH + 1, temp_dir);
  lite_installer::BrandInfo brand(temp_dir);
  brand.ApplyBrandInfo(settings);

  lite_installer::CommandLine command_line;
  lite_util::ScopedEventHandle stop_event(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  lite_util::ScopedEventHandle done_event(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  StopFileWatch watch = {L"", stop_event.Get(), done_event.Get()};
  for (int i = 0; i < option_count; ++i) {
    const std::wstring option = options[i];
    if (option == L"download-x64" || option == L"download-x32") {
      command_line.AppendSwitch(lite_util::WideToUtf8(option));
    } else if (option.compare(0, 10, L"stop-file=") == 0) {
      watch.path = option.substr(10);
    } else {
      return 2;
    }
  }
  lite_util::ScopedThreadHandle watcher;
  if (!watch.path.empty())
    watcher.Set(::CreateThread(nullptr, 0, &WatchStopFile, &watch, 0, nullptr));

  lite_util::ScopedFileHandle file(
      ::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return 2;

  HttpDownloader downloader;
  PrintingClock clock;
  PrintingReporter reporter;
  CountingDelegate delegate;
  lite_installer::DelegateProgressObserver observer(&delegate);
  lite_installer::DownloadModuleContext context;
  context.downloader = &downloader;
  context.clock = &clock;
  context.stop_event = stop_event.Get();
  context.observer = &observer;
  context.events = &reporter;

  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  int result = lite_installer::DownloadModule(context, file.Get(),
                                              command_line, brand);
  ::QueryPerformanceCounter(&end);
  ::SetEvent(done_event.Get());
  if (watcher.IsValid()) ::WaitForSingleObject(watcher.Get(), INFINITE);

  std::printf("result_code=%d\n", result);
  PrintNumber("elapsed_ms", static_cast<unsigned long long>(
                                (end.QuadPart - start.QuadPart) * 1000 /
                                frequency.QuadPart));
  // From the start to the first progress call, made once the answer's
  // headers are in: the fixed cost (session, connection, TLS, headers)
  // that the read loop does not pay again.
  PrintNumber("first_progress_ms",
              delegate.progress_calls == 0
                  ? 0
                  : static_cast<unsigned long long>(
                        (delegate.first_progress.QuadPart - start.QuadPart) *
                        1000 / frequency.QuadPart));
  PrintNumber("progress_calls", delegate.progress_calls);
  std::printf("last_progress=%.3f\n", delegate.last_fraction);
  PrintNumber("peak_private_bytes", PeakPrivateBytes());
  PrintState(downloader, result == 0);
  return result;
}

// Reads |url| with nothing but WinINet in pieces of |piece| bytes.
int RunRaw(const std::wstring& url, const std::wstring& target,
           DWORD piece) {
  lite_util::ScopedInternetHandle session(::InternetOpenW(
      L"download_probe", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session.IsValid()) return 1;
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  lite_util::ScopedInternetHandle request(::InternetOpenUrlW(
      session.Get(), url.c_str(), nullptr, 0,
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
  lite_util::ScopedFileHandle file(
      ::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string buffer(piece, '\0');
  if (!request.IsValid() || !file.IsValid()) return 1;
  unsigned long long bytes = 0, reads = 0;
  for (;;) {
    DWORD read = 0, written = 0;
    if (!::InternetReadFile(request.Get(), &buffer[0], piece, &read)) return 1;
    if (read == 0) break;
    if (!::WriteFile(file.Get(), buffer.data(), read, &written, nullptr))
      return 1;
    bytes += read;
    ++reads;
  }
  ::QueryPerformanceCounter(&end);
  PrintNumber("bytes", bytes);
  PrintNumber("reads", reads);
  PrintNumber("elapsed_ms", static_cast<unsigned long long>(
                                (end.QuadPart - start.QuadPart) * 1000 /
                                frequency.QuadPart));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  lite_util::InstallDelayLoadFailureHook();
  lite_util::SetLogSink(new lite_util::LogFileSink(
      lite_util::GetLogFilePath(), lite_util::kMaxLogFileSize));
  if (argc < 4) return 2;
  const std::wstring mode = argv[1];
  const std::wstring url = argv[2];
  if (mode == L"file") {
    HttpDownloader downloader;
    lite_util::ScopedFileHandle target(
        ::CreateFileW(argv[3], GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target.IsValid()) return 2;
    bool ok = downloader.DownloadToHandle(url, target.Get(), nullptr);
    // As the side downloads do: a failed result does not stay.
    if (!ok) {
      target.Close();
      ::DeleteFileW(argv[3]);
    }
    PrintState(downloader, ok);
    return ok ? 0 : 1;
  }
  if (mode == L"string") {
    HttpDownloader downloader;
    std::string bytes;
    bool ok = downloader.DownloadToString(url, nullptr, &bytes);
    if (ok && !WriteAll(argv[3], bytes)) return 2;
    for (int i = 4; i < argc; ++i) {
      std::string name = lite_util::WideToUtf8(argv[i]);
      std::printf("header %s=%s\n", name.c_str(),
                  downloader.GetResponseHeader(name).c_str());
    }
    PrintState(downloader, ok);
    return ok ? 0 : 1;
  }
  if (mode == L"module") {
    return RunModule(argv[2], argv[3], argc - 4, argv + 4);
  }
  if (mode == L"raw" && argc == 5) {
    DWORD piece = static_cast<DWORD>(_wtoi(argv[4]));
    if (piece < 1 || piece > 16 * 1024 * 1024) return 2;
    return RunRaw(url, argv[3], piece);
  }
  if (mode == L"attempts" && argc == 5) {
    int count = _wtoi(argv[4]);
    if (count < 1 || count > 20) return 2;
    return RunAttempts(url, argv[3], count);
  }
  return 2;
}

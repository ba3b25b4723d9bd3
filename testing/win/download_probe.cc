// Runs the installer's HttpDownloader from the command line, so that the
// integration tests can watch it against the test service. Writes its log
// to lite_installer.log in TEMP and prints what the download left behind,
// one "name=value" line each.
// usage:
//   download_probe.exe file URL TARGET
//       DownloadToFile into TARGET
//   download_probe.exe string URL OUTPUT [HEADER...]
//       DownloadToString; the bytes go to OUTPUT, each HEADER named is
//       printed as "header NAME=VALUE"
//   download_probe.exe attempts URL SINK_FILE COUNT
//       up to COUNT attempts (DownloadFile, no pause between them) into
//       one FileDownloadSink on SINK_FILE, which later attempts continue;
//       prints "attempt=N ok=0|1 error=... bytes_written=... total_size=..."
// Exit code: 0 when the download succeeded, 1 when it failed, 2 for a bad
// usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "installer/install/download_clock.h"
#include "installer/install/download_file.h"
#include "installer/install/download_sink.h"
#include "installer/install/http_downloader.h"
#include "installer/lite_util/delay_load_hook.h"
#include "installer/lite_util/logging/file_logger.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"

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
    bool ok = downloader.DownloadToFile(url, argv[3], nullptr);
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
  if (mode == L"attempts" && argc == 5) {
    int count = _wtoi(argv[4]);
    if (count < 1 || count > 20) return 2;
    return RunAttempts(url, argv[3], count);
  }
  return 2;
}

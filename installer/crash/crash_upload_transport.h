// The HTTP POST of a crash report through WinHTTP. winhttp.dll is loaded
// and its functions resolved once, long before a crash, so that sending a
// report needs no library loading.
#ifndef INSTALLER_CRASH_CRASH_UPLOAD_TRANSPORT_H_
#define INSTALLER_CRASH_CRASH_UPLOAD_TRANSPORT_H_

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {

// A file version as the four numbers of its fixed version information.
struct FileVersionNumbers {
  bool available = false;
  bool marked_for_nt = false;
  unsigned long parts[4] = {0, 0, 0, 0};
};

// "Crashpad/0.8.0 WinHTTP[/a.b.c.d][ Windows_NT/a.b.c.d (<arch>[; WoW64])]":
// the WinHTTP version when |winhttp| is available; the system part only when
// kernel32's version is available and marked for Windows NT.
std::string BuildCrashUserAgent(const FileVersionNumbers& winhttp,
                                const FileVersionNumbers& kernel32,
                                const char* architecture, bool wow64);

class CrashUploadTransport {
 public:
  using Headers = std::vector<std::pair<std::string, std::string>>;

  CrashUploadTransport() = default;
  CrashUploadTransport(const CrashUploadTransport&) = delete;
  CrashUploadTransport& operator=(const CrashUploadTransport&) = delete;

  // Loads winhttp.dll, resolves its functions and builds the user agent.
  // False (and the reason in |diagnostic|) when any of it is missing.
  bool Load(std::string* diagnostic);

  // POSTs |body_length| bytes of |body_file| (read from its current
  // position) to |url| with |headers| and a Content-Length, 60-second
  // time-outs for every step. True only for an answer with status 200,
  // whose body is read and discarded. A failure's description ("<call>:
  // <system message> (0x<code>)" or "HTTP status <code>") goes to
  // |diagnostic|.
  bool Post(const std::wstring& url, const Headers& headers,
            HANDLE body_file, uint64_t body_length,
            std::string* diagnostic);

  const std::string& user_agent() const { return user_agent_; }

 private:
  std::string DescribeFailure(const char* call) const;

  lite_util::ScopedModule module_;
  std::string user_agent_;

  using OpenFunction = void*(WINAPI*)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR,
                                      DWORD);
  using SetTimeoutsFunction = BOOL(WINAPI*)(void*, int, int, int, int);
  using CrackUrlFunction = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, void*);
  using ConnectFunction = void*(WINAPI*)(void*, LPCWSTR, WORD, DWORD);
  using OpenRequestFunction = void*(WINAPI*)(void*, LPCWSTR, LPCWSTR,
                                             LPCWSTR, LPCWSTR, LPCWSTR*,
                                             DWORD);
  using AddRequestHeadersFunction = BOOL(WINAPI*)(void*, LPCWSTR, DWORD,
                                                  DWORD);
  using SendRequestFunction = BOOL(WINAPI*)(void*, LPCWSTR, DWORD, LPVOID,
                                            DWORD, DWORD, DWORD_PTR);
  using WriteDataFunction = BOOL(WINAPI*)(void*, LPCVOID, DWORD, LPDWORD);
  using ReceiveResponseFunction = BOOL(WINAPI*)(void*, LPVOID);
  using QueryHeadersFunction = BOOL(WINAPI*)(void*, DWORD, LPCWSTR, LPVOID,
                                             LPDWORD, LPDWORD);
  using ReadDataFunction = BOOL(WINAPI*)(void*, LPVOID, DWORD, LPDWORD);

  OpenFunction open_ = nullptr;
  SetTimeoutsFunction set_timeouts_ = nullptr;
  CrackUrlFunction crack_url_ = nullptr;
  ConnectFunction connect_ = nullptr;
  OpenRequestFunction open_request_ = nullptr;
  AddRequestHeadersFunction add_request_headers_ = nullptr;
  SendRequestFunction send_request_ = nullptr;
  WriteDataFunction write_data_ = nullptr;
  ReceiveResponseFunction receive_response_ = nullptr;
  QueryHeadersFunction query_headers_ = nullptr;
  ReadDataFunction read_data_ = nullptr;
};

}  // namespace lite_installer

#endif  // INSTALLER_CRASH_CRASH_UPLOAD_TRANSPORT_H_

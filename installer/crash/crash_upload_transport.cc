#include "installer/crash/crash_upload_transport.h"

#include <winhttp.h>

#include <cstdio>
#include <vector>

#include "installer/lite_util/string_util.h"

namespace lite_installer {
namespace {

constexpr int kTimeoutMs = 60000;
constexpr DWORD kWritePieceSize = 32768;
constexpr DWORD kReadPieceSize = 4096;

#if defined(_WIN64)
constexpr char kArchitecture[] = "x64";
#else
constexpr char kArchitecture[] = "x86";
#endif

FileVersionNumbers ReadFileVersion(HMODULE module) {
  FileVersionNumbers version;
  wchar_t path[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return version;
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return version;
  std::vector<char> data(size);
  if (!::GetFileVersionInfoW(path, 0, size, data.data())) return version;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT info_size = 0;
  if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info),
                        &info_size) ||
      !info || info_size < sizeof(VS_FIXEDFILEINFO))
    return version;
  version.available = true;
  version.marked_for_nt = (info->dwFileOS & VOS_NT) == VOS_NT;
  version.parts[0] = HIWORD(info->dwFileVersionMS);
  version.parts[1] = LOWORD(info->dwFileVersionMS);
  version.parts[2] = HIWORD(info->dwFileVersionLS);
  version.parts[3] = LOWORD(info->dwFileVersionLS);
  return version;
}

std::string FormatVersion(const FileVersionNumbers& version) {
  char text[64];
  std::snprintf(text, sizeof(text), "%lu.%lu.%lu.%lu", version.parts[0],
                version.parts[1], version.parts[2], version.parts[3]);
  return text;
}

bool IsWow64() {
  BOOL wow64 = FALSE;
  return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

template <typename T>
bool Resolve(HMODULE module, const char* name, T* function) {
  *function = reinterpret_cast<T>(
      reinterpret_cast<void*>(::GetProcAddress(module, name)));
  return *function != nullptr;
}

}  // namespace

std::string BuildCrashUserAgent(const FileVersionNumbers& winhttp,
                                const FileVersionNumbers& kernel32,
                                const char* architecture, bool wow64) {
  std::string agent = "Crashpad/0.8.0 WinHTTP";
  if (winhttp.available) agent += "/" + FormatVersion(winhttp);
  if (kernel32.available && kernel32.marked_for_nt) {
    agent += " Windows_NT/" + FormatVersion(kernel32) + " (" + architecture;
    if (wow64) agent += "; WoW64";
    agent += ")";
  }
  return agent;
}

bool CrashUploadTransport::Load(std::string* diagnostic) {
  module_.Set(::LoadLibraryW(L"winhttp.dll"));
  if (!module_.IsValid()) {
    *diagnostic = "LoadLibrary winhttp.dll: error " +
                  std::to_string(::GetLastError());
    return false;
  }
  HMODULE m = module_.Get();
  bool resolved =
      Resolve(m, "WinHttpOpen", &open_) &&
      Resolve(m, "WinHttpSetTimeouts", &set_timeouts_) &&
      Resolve(m, "WinHttpCrackUrl", &crack_url_) &&
      Resolve(m, "WinHttpConnect", &connect_) &&
      Resolve(m, "WinHttpOpenRequest", &open_request_) &&
      Resolve(m, "WinHttpAddRequestHeaders", &add_request_headers_) &&
      Resolve(m, "WinHttpSendRequest", &send_request_) &&
      Resolve(m, "WinHttpWriteData", &write_data_) &&
      Resolve(m, "WinHttpReceiveResponse", &receive_response_) &&
      Resolve(m, "WinHttpQueryHeaders", &query_headers_) &&
      Resolve(m, "WinHttpReadData", &read_data_) &&
      Resolve(m, "WinHttpCloseHandle",
              &lite_util::WinHttpHandleTraits::close_function);
  if (!resolved) {
    *diagnostic = "GetProcAddress winhttp.dll: error " +
                  std::to_string(::GetLastError());
    return false;
  }
  user_agent_ = BuildCrashUserAgent(
      ReadFileVersion(m), ReadFileVersion(::GetModuleHandleW(L"kernel32.dll")),
      kArchitecture, IsWow64());
  return true;
}

std::string CrashUploadTransport::DescribeFailure(const char* call) const {
  DWORD error = ::GetLastError();
  char* buffer = nullptr;
  DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
          FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
          FORMAT_MESSAGE_MAX_WIDTH_MASK,
      module_.Get(), error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  lite_util::ScopedLocalMemory owner(buffer);
  char code[80];
  if (length == 0 || !buffer) {
    std::snprintf(code, sizeof(code), ": error 0x%lx while retrieving error 0x%lx",
                  static_cast<unsigned long>(::GetLastError()),
                  static_cast<unsigned long>(error));
    return std::string(call) + code;
  }
  std::string message(buffer, length);
  for (char& c : message) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  while (!message.empty() && message.back() == ' ') message.pop_back();
  std::snprintf(code, sizeof(code), " (0x%lx)",
                static_cast<unsigned long>(error));
  return std::string(call) + ": " + message + code;
}

bool CrashUploadTransport::Post(const std::wstring& url,
                                const Headers& headers, HANDLE body_file,
                                uint64_t body_length,
                                std::string* diagnostic) {
  if (!open_) {
    *diagnostic = "WinHTTP is not loaded";
    return false;
  }
  if (body_length > 0xFFFFFFFFull) {
    *diagnostic = "body too large: " + std::to_string(body_length);
    return false;
  }
  std::wstring agent = lite_util::WidenBytes(user_agent_);
  lite_util::ScopedWinHttpHandle session(
      open_(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
            WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session.IsValid()) {
    *diagnostic = DescribeFailure("WinHttpOpen");
    return false;
  }
  if (!set_timeouts_(session.Get(), kTimeoutMs, kTimeoutMs, kTimeoutMs,
                     kTimeoutMs)) {
    *diagnostic = DescribeFailure("WinHttpSetTimeouts");
    return false;
  }

  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!crack_url_(url.c_str(), 0, 0, &parts)) {
    *diagnostic = DescribeFailure("WinHttpCrackUrl");
    return false;
  }
  std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo)
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

  lite_util::ScopedWinHttpHandle connection(
      connect_(session.Get(), host.c_str(), parts.nPort, 0));
  if (!connection.IsValid()) {
    *diagnostic = DescribeFailure("WinHttpConnect");
    return false;
  }
  lite_util::ScopedWinHttpHandle request(open_request_(
      connection.Get(), L"POST", path.c_str(), nullptr, WINHTTP_NO_REFERER,
      WINHTTP_DEFAULT_ACCEPT_TYPES,
      parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
  if (!request.IsValid()) {
    *diagnostic = DescribeFailure("WinHttpOpenRequest");
    return false;
  }
  Headers all_headers = headers;
  all_headers.emplace_back("Content-Length", std::to_string(body_length));
  for (const auto& header : all_headers) {
    std::wstring line = lite_util::WidenBytes(header.first + ": " +
                                              header.second + "\r\n");
    if (!add_request_headers_(request.Get(), line.c_str(),
                              static_cast<DWORD>(-1),
                              WINHTTP_ADDREQ_FLAG_ADD)) {
      *diagnostic = DescribeFailure("WinHttpAddRequestHeaders");
      return false;
    }
  }
  if (!send_request_(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                     WINHTTP_NO_REQUEST_DATA, 0,
                     static_cast<DWORD>(body_length), 0)) {
    *diagnostic = DescribeFailure("WinHttpSendRequest");
    return false;
  }

  std::vector<char> piece(kWritePieceSize);
  uint64_t remaining = body_length;
  while (remaining > 0) {
    DWORD wanted = remaining < kWritePieceSize
                       ? static_cast<DWORD>(remaining)
                       : kWritePieceSize;
    DWORD read = 0;
    if (!::ReadFile(body_file, piece.data(), wanted, &read, nullptr) ||
        read != wanted) {
      *diagnostic = "ReadFile: error " + std::to_string(::GetLastError());
      return false;
    }
    DWORD written = 0;
    if (!write_data_(request.Get(), piece.data(), read, &written) ||
        written != read) {
      *diagnostic = DescribeFailure("WinHttpWriteData");
      return false;
    }
    remaining -= read;
  }

  if (!receive_response_(request.Get(), nullptr)) {
    *diagnostic = DescribeFailure("WinHttpReceiveResponse");
    return false;
  }
  DWORD status = 0;
  DWORD status_size = sizeof(status);
  if (!query_headers_(request.Get(),
                      WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                      WINHTTP_HEADER_NAME_BY_INDEX, &status, &status_size,
                      WINHTTP_NO_HEADER_INDEX)) {
    *diagnostic = DescribeFailure("WinHttpQueryHeaders");
    return false;
  }
  if (status != 200) {
    *diagnostic = "HTTP status " + std::to_string(status);
    return false;
  }
  char answer[kReadPieceSize];
  for (;;) {
    DWORD read = 0;
    if (!read_data_(request.Get(), answer, sizeof(answer), &read)) {
      *diagnostic = DescribeFailure("WinHttpReadData");
      return false;
    }
    if (read == 0) break;
  }
  return true;
}

}  // namespace lite_installer

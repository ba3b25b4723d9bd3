#include "installer/install/download/http_downloader.h"

#include <wininet.h>

#include <delayimp.h>

#include <cstring>
#include <new>
#include <cwchar>
#include <utility>

#include "installer/install/download/content_range.h"
#include "installer/install/download/download_clock.h"
#include "installer/install/download/download_sink.h"
#include "installer/install/download/internet_timeouts.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/string_util.h"
#include "installer/lite_util/test_seams.h"

LITE_DELAY_IMPORTS(kWininetImports, wininet);

namespace lite_installer {
namespace {

constexpr wchar_t kAcceptHeader[] = L"Accept: */*";
// Not named by <wininet.h>.
constexpr int kStatusRangeNotSatisfiable = 416;
// The error code reported for a download whose body ended before its
// Content-Length: the one Windows gives for a connection the server ended.
constexpr DWORD kIncompleteBodyError = ERROR_INTERNET_CONNECTION_ABORTED;
// The error code reported when the server would not continue a download
// at the size already stored (the code WinINet's own seek gives for an
// HTTP download it cannot move in).
constexpr DWORD kResumeRefusedError = ERROR_INTERNET_INVALID_OPERATION;
// A piece read within this many milliseconds doubles the next one; one
// that took at least kSlowPieceMs halves it (down to the minimum).
constexpr DWORD kQuickPieceMs = 20;
constexpr DWORD kSlowPieceMs = 100;

// Printable text and tabs only: what may be sent back in a header.
bool IsHeaderValueText(const std::string& value) {
  for (char c : value) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && byte != '\t') || byte == 0x7F) return false;
  }
  return true;
}

struct OpenUrlCall {
  HINTERNET internet;
  const wchar_t* url;
  const wchar_t* headers;
  DWORD_PTR context;
  HINTERNET result;
  DWORD error;
};

// What the delay-load helper raises inside the open on systems where a
// module of the CryptoPro provider cannot load its library; test builds
// raise it on request, as Wine has no such provider.
void RaiseCryptoProLoadFailure() {
  DelayLoadInfo info = {};
  info.cb = sizeof(info);
  info.szDll = "cplib.dll";
  info.dlp.fImportByName = TRUE;
  info.dlp.szProcName = "CryptoProCspInitialize";
  ULONG_PTR arguments[1] = {reinterpret_cast<ULONG_PTR>(&info)};
  ::RaiseException(kDelayLoadModuleNotFound, 0, 1, arguments);
}

void CallInternetOpenUrl(void* context) {
  auto* call = static_cast<OpenUrlCall*>(context);
  if (lite_util::TestSeamEnabled("cryptopro-load-failure"))
    RaiseCryptoProLoadFailure();
  // Nothing downloaded here is read twice: keeping it out of the WinINet
  // cache saves writing every byte a second time (and leaves no copy of
  // the setup archive in the user's cache).
  call->result = ::InternetOpenUrlW(
      call->internet, call->url, call->headers, static_cast<DWORD>(-1),
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, call->context);
  call->error = call->result ? ERROR_SUCCESS : ::GetLastError();
}

}  // namespace

HttpDownloader::HttpDownloader() = default;

HttpDownloader::~HttpDownloader() = default;

void CALLBACK HttpDownloader::StatusCallback(HINTERNET handle,
                                             DWORD_PTR context, DWORD status,
                                             void* information,
                                             DWORD information_length) {
  auto* downloader = reinterpret_cast<HttpDownloader*>(context);
  if (downloader && downloader->timeout_ms_ != 0) {
    SetReceiveTimeoutOnCreatedHandle(status, information, information_length,
                                     downloader->timeout_ms_);
  }
  if (status != INTERNET_STATUS_REDIRECT || !context || !information ||
      information_length == 0) {
    return;
  }
  std::wstring* redirect_url = &downloader->redirect_url_;
  // The Unicode callback receives the address as UTF-16; some WinINet
  // builds hand over ANSI text for a few statuses, which shows as a
  // non-zero second byte of an address that starts with an ASCII letter.
  const char* bytes = static_cast<const char*>(information);
  if (information_length >= 2 && bytes[1] != '\0') {
    redirect_url->assign(lite_util::WidenBytes(
        std::string(bytes, strnlen(bytes, information_length))));
    return;
  }
  const wchar_t* text = static_cast<const wchar_t*>(information);
  redirect_url->assign(text,
                       wcsnlen(text, information_length / sizeof(wchar_t)));
}

void HttpDownloader::SetError(const wchar_t* stage, DWORD error_code) {
  error_ = stage + std::to_wstring(error_code);
}

bool HttpDownloader::IsSuccessStatus() const {
  return status_code_ == HTTP_STATUS_OK ||
         (resumed_ && status_code_ == HTTP_STATUS_PARTIAL_CONTENT);
}

bool HttpDownloader::OpenDownload(const std::wstring& url,
                                  DownloadSink* sink) {
  url_.clear();
  error_.clear();
  redirect_url_.clear();
  exception_ = DownloadException();
  total_size_ = 0;
  sink_ = nullptr;
  status_code_ = 0;
  resumed_ = false;
  next_piece_ = kMinReadPieceSize;
  url_handle_.Close();
  internet_.Close();

  const std::wstring agent = lite_util::Utf8ToWide(kDownloaderUserAgent);
  internet_.Set(::InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG,
                                nullptr, nullptr, 0));
  if (!internet_.IsValid()) {
    SetError(L"internet_open-", ::GetLastError());
    return false;
  }
  if (::InternetSetStatusCallbackW(internet_.Get(), &StatusCallback) ==
      INTERNET_INVALID_STATUS_CALLBACK) {
    LOG(ERROR) << "SetStatusCallback failed";
  }
  if (timeout_ms_ != 0) {
    // The receive time-out goes to each new handle (StatusCallback).
    ::InternetSetOptionW(internet_.Get(), INTERNET_OPTION_CONNECT_TIMEOUT,
                         &timeout_ms_, sizeof(timeout_ms_));
    ::InternetSetOptionW(internet_.Get(), INTERNET_OPTION_SEND_TIMEOUT,
                         &timeout_ms_, sizeof(timeout_ms_));
  }

  // A sink that already holds the start of the file asks for the rest.
  const uint64_t offset = sink->bytes_written();
  std::wstring headers = kAcceptHeader;
  if (offset > 0) {
    headers += L"\r\nRange: bytes=" + std::to_wstring(offset) + L"-";
    // Only the rest of the same file: a server whose file changed answers
    // with the whole new one.
    if (!sink->validator().empty())
      headers += L"\r\nIf-Range: " + lite_util::WidenBytes(sink->validator());
  }

  OpenUrlCall call = {internet_.Get(), url.c_str(), headers.c_str(),
                      reinterpret_cast<DWORD_PTR>(this), nullptr,
                      ERROR_SUCCESS};
  static const ImgDelayDescr* const kBindFirst[] = {&kWininetImports,
                                                    nullptr};
  if (!RunUnderDelayLoadGuard(&CallInternetOpenUrl, &call, &exception_,
                              kBindFirst)) {
    ::InternetSetStatusCallbackW(internet_.Get(), nullptr);
    LOG(ERROR) << "An attempt to open url " << url << " generated an exception "
               << exception_.code;
    return false;
  }
  url_handle_.Set(call.result);
  ::InternetSetStatusCallbackW(internet_.Get(), nullptr);
  if (!url_handle_.IsValid()) {
    SetError(L"internet_open_url-", call.error);
    return false;
  }

  DWORD status = 0;
  DWORD size = sizeof(status);
  if (::HttpQueryInfoW(url_handle_.Get(),
                       HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                       &status, &size, nullptr)) {
    status_code_ = static_cast<int>(status);
  }
  if (offset > 0) {
    CheckResumedAnswer(sink, offset);
  } else if (status_code_ == HTTP_STATUS_OK) {
    TakeWholeFileAnswer(sink);
  }

  url_ = url;
  sink_ = sink;
  LOG(INFO) << "Connection established: " << url;
  return true;
}

void HttpDownloader::TakeWholeFileAnswer(DownloadSink* sink) {
  std::string text;
  uint64_t value = 0;
  if (QueryHeader(HTTP_QUERY_CONTENT_LENGTH, &text) &&
      ParseContentLength(text, &value)) {
    total_size_ = value;
  }
  sink->SetOrigin(ReadValidator(), total_size_);
}

std::string HttpDownloader::ReadValidator() {
  // If-Range takes a strong ETag or a date; a weak ETag ("W/...") cannot
  // vouch for the bytes. A value with a control character would break the
  // request it is sent in.
  std::string value;
  if (QueryHeader(HTTP_QUERY_ETAG, &value) && !value.empty() &&
      value.compare(0, 2, "W/") != 0 && IsHeaderValueText(value)) {
    return value;
  }
  if (QueryHeader(HTTP_QUERY_LAST_MODIFIED, &value) && !value.empty() &&
      IsHeaderValueText(value)) {
    return value;
  }
  return std::string();
}

void HttpDownloader::CheckResumedAnswer(DownloadSink* sink,
                                        uint64_t offset) {
  std::string text;
  if (status_code_ == HTTP_STATUS_PARTIAL_CONTENT) {
    ContentRange range;
    if (QueryHeader(HTTP_QUERY_CONTENT_RANGE, &text) &&
        ParseContentRange(text, &range) && range.first == offset &&
        range.last + 1 == range.complete_length) {
      // The rest of another file than the one stored: a server that
      // ignored If-Range, or one that sent none of the validators, shows
      // the change in the length or in the ETag.
      std::string etag;
      const bool same_length = sink->complete_length() == 0 ||
                               range.complete_length == sink->complete_length();
      const bool same_etag =
          sink->validator().empty() || sink->validator()[0] != '"' ||
          !QueryHeader(HTTP_QUERY_ETAG, &etag) || etag == sink->validator();
      if (same_length && same_etag) {
        resumed_ = true;
        total_size_ = range.complete_length;
        sink->set_resumed();
        LOG(INFO) << "Download resumed at byte " << offset << " of "
                  << total_size_;
        return;
      }
      LOG(WARNING) << "The file changed on the server: " << offset
                   << " bytes of " << sink->complete_length()
                   << " are stored, the answer holds \"" << text
                   << "\" of a file with ETag \"" << etag << "\"";
    } else {
      LOG(WARNING) << "Cannot resume at byte " << offset
                   << ", the answer holds \"" << text << "\"";
    }
  } else if (status_code_ == HTTP_STATUS_OK) {
    // The server sends the whole file (it ignored the range, or the file
    // changed since the stored bytes): take it from its first byte.
    if (!sink->Reset()) {
      SetError(L"write_file-", ::GetLastError());
      return;
    }
    LOG(INFO) << "The server ignored the range; downloading from the start";
    TakeWholeFileAnswer(sink);
    return;
  } else if (status_code_ == kStatusRangeNotSatisfiable) {
    LOG(WARNING) << "Cannot resume at byte " << offset
                 << ", the range is not satisfiable";
  } else {
    // Any other status fails the attempt through FinalizeDownload and
    // keeps what was stored: the next attempt may still continue it.
    return;
  }
  // The stored start no longer fits the file on the server: the next
  // attempt starts from zero.
  sink->Reset();
  SetError(L"internet_set_file_pointer-", kResumeRefusedError);
}

uint32_t HttpDownloader::ReadChunk() {
  if (!error_.empty() || !sink_ || !url_handle_.IsValid()) return 0;
  if (!IsSuccessStatus()) return 0;
  // A fast link is read in large pieces (each read has a fixed cost); a
  // slow one in small pieces, so that the stop check and the progress come
  // often. What has arrived is what WinINet reports waiting, or, where it
  // reports only its own buffer (a TLS record at a time), what the last
  // piece showed: one that filled quickly makes the next twice as large,
  // one that took long halves it.
  DWORD available = 0;
  uint32_t piece = next_piece_;
  if (::InternetQueryDataAvailable(url_handle_.Get(), &available, 0, 0) &&
      available > piece) {
    piece = available < kMaxReadPieceSize ? available : kMaxReadPieceSize;
  }
  if (piece > buffer_size_) {
    std::unique_ptr<char[]> larger(new (std::nothrow) char[piece]);
    if (larger) {
      buffer_ = std::move(larger);
      buffer_size_ = piece;
    } else if (!buffer_) {
      SetError(L"internet_read-", ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    if (piece > buffer_size_) piece = buffer_size_;
  }
  DWORD read = 0;
  const DWORD started = ::GetTickCount();
  if (!::InternetReadFile(url_handle_.Get(), buffer_.get(), piece, &read)) {
    SetError(L"internet_read-", ::GetLastError());
    return 0;
  }
  const DWORD took = ::GetTickCount() - started;
  if (read == piece && took <= kQuickPieceMs) {
    next_piece_ = piece >= kMaxReadPieceSize / 2 ? kMaxReadPieceSize
                                                 : piece * 2;
  } else if (took >= kSlowPieceMs) {
    next_piece_ = piece / 2 > kMinReadPieceSize ? piece / 2
                                                : kMinReadPieceSize;
  }
  if (read > 0 && !sink_->Write(buffer_.get(), read)) {
    SetError(L"write_file-", ::GetLastError());
    return 0;
  }
  return read;
}

bool HttpDownloader::FinalizeDownload(int* http_status) {
  if (http_status) *http_status = status_code_;
  if (!error_.empty() || !sink_) return false;
  DWORD status = 0;
  DWORD size = sizeof(status);
  bool queried = ::HttpQueryInfoW(
      url_handle_.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
      &status, &size, nullptr);
  DWORD query_error = ::GetLastError();
  if (!queried) status = 0;
  if (http_status) *http_status = static_cast<int>(status);
  if (!queried || !IsSuccessStatus()) {
    error_ = L"final_query_info-" + std::to_wstring(status) + L"-" +
             std::to_wstring(queried ? ERROR_SUCCESS : query_error);
    LOG(WARNING) << "Unsuccessful download: " << url_;
    return false;
  }
  // WinINet ends the body without an error when the connection closes
  // early: only the count tells a cut download from a complete one.
  if (total_size_ > 0 && sink_->bytes_written() != total_size_) {
    SetError(L"internet_read-", kIncompleteBodyError);
    LOG(WARNING) << "Incomplete download: " << sink_->bytes_written()
                 << " of " << total_size_ << " bytes from " << url_;
    return false;
  }
  return true;
}

bool HttpDownloader::QueryHeader(DWORD query, std::string* value) {
  std::string buffer(64, '\0');
  for (int i = 0; i < 2; ++i) {
    DWORD size = static_cast<DWORD>(buffer.size());
    if (::HttpQueryInfoA(url_handle_.Get(), query, &buffer[0], &size,
                         nullptr)) {
      buffer.resize(size);
      *value = std::move(buffer);
      return true;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    buffer.assign(size + 1, '\0');
  }
  return false;
}

std::string HttpDownloader::GetResponseHeader(const std::string& name) {
  if (!url_handle_.IsValid() || name.empty()) return std::string();
  // HTTP_QUERY_CUSTOM takes the header's name in the buffer it fills.
  std::string buffer(name.c_str(), name.size() + 1);
  for (int i = 0; i < 2; ++i) {
    DWORD size = static_cast<DWORD>(buffer.size());
    if (::HttpQueryInfoA(url_handle_.Get(), HTTP_QUERY_CUSTOM, &buffer[0],
                         &size, nullptr)) {
      buffer.resize(size);
      return buffer;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    buffer.assign(size + 1, '\0');
    std::memcpy(&buffer[0], name.c_str(), name.size() + 1);
  }
  return std::string();
}

bool HttpDownloader::DownloadToSink(const std::wstring& url,
                                    HANDLE cancel_event, DownloadSink* sink) {
  if (!OpenDownload(url, sink)) return false;
  while (ReadChunk() > 0) {
    if (IsEventSignaled(cancel_event)) {
      LOG(INFO) << "Download cancelled: " << url;
      return false;
    }
  }
  return FinalizeDownload(nullptr);
}

bool HttpDownloader::DownloadToHandle(const std::wstring& url, HANDLE file,
                                      HANDLE cancel_event) {
  FileDownloadSink sink(file);
  bool ok = sink.Reset() && DownloadToSink(url, cancel_event, &sink);
  sink_ = nullptr;
  return ok;
}

bool HttpDownloader::RequestWithoutBody(const std::wstring& url) {
  // A sink that takes nothing: the body is never read.
  StringDownloadSink sink(0);
  bool ok = OpenDownload(url, &sink);
  if (ok && !IsSuccessStatus()) {
    error_ = L"final_query_info-" + std::to_wstring(status_code_) + L"-0";
    ok = false;
  }
  sink_ = nullptr;
  url_handle_.Close();
  internet_.Close();
  return ok;
}

bool HttpDownloader::DownloadToString(const std::wstring& url,
                                      HANDLE cancel_event,
                                      std::string* bytes) {
  StringDownloadSink sink;
  bool ok = DownloadToSink(url, cancel_event, &sink);
  sink_ = nullptr;
  if (ok) *bytes = sink.TakeBytes();
  return ok;
}

}  // namespace lite_installer

// The WinINet downloader shared by the setup-archive download, the side
// downloads, the installation report and the slides. One download is
// OpenDownload -> ReadChunk until it returns 0 -> FinalizeDownload; the
// first failure is kept in error() as "<stage>-<Windows error code>" and
// makes every later step return at once.
//
// A download into a sink that already holds data continues with a Range
// request from bytes_written() and an If-Range with the validator of the
// answer the stored bytes came from: a 206 answer must continue exactly
// there and describe a file of the same complete length, a 200 answer (the
// server ignored the range, or the file changed) starts the sink again
// from zero. A download is complete only when the status is right and, when the
// length is known, every byte of it arrived: WinINet reports a connection
// that closed early as an ordinary end of data.
#ifndef INSTALLER_INSTALL_DOWNLOAD_HTTP_DOWNLOADER_H_
#define INSTALLER_INSTALL_DOWNLOAD_HTTP_DOWNLOADER_H_

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "installer/install/download/download_exception.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {

class DownloadSink;

constexpr char kDownloaderUserAgent[] = "Kelvra.Browser lite installer";
// The pieces ReadChunk reads: what has arrived, but at least the minimum
// (a read of less costs more than it brings) and at most the maximum (the
// stop check and the progress come between two pieces).
constexpr uint32_t kMinReadPieceSize = 32768;
constexpr uint32_t kMaxReadPieceSize = 1024 * 1024;

class HttpDownloader {
 public:
  HttpDownloader();
  HttpDownloader(const HttpDownloader&) = delete;
  HttpDownloader& operator=(const HttpDownloader&) = delete;
  virtual ~HttpDownloader();

  // Downloads into |file| (open for writing; emptied first). |cancel_event|
  // (may be null) is tested after every chunk; a cancelled download fails.
  virtual bool DownloadToHandle(const std::wstring& url, HANDLE file,
                                HANDLE cancel_event);
  // The whole body in |bytes|, which is left alone on failure. A body
  // beyond kMaxInMemoryDownloadBytes fails the download ("write_file-8").
  virtual bool DownloadToString(const std::wstring& url, HANDLE cancel_event,
                                std::string* bytes);
  // Sends a GET to |url| and reads only the status of its answer: true for
  // 200. The body is never read; the connection is closed after the
  // headers.
  virtual bool RequestWithoutBody(const std::wstring& url);

  // Starts a download into |sink| (not owned; must outlive the download).
  // Clears the state of the previous download and closes its handles.
  virtual bool OpenDownload(const std::wstring& url, DownloadSink* sink);
  // Reads and stores the next chunk, sized to what has arrived (see
  // kMinReadPieceSize); returns its size, 0 at the end of the body, on a
  // failure (see error()) and when the status is not a success.
  virtual uint32_t ReadChunk();
  // Whether the open download ended complete and with a success status.
  // |http_status| (may be null) receives the status, 0 when unknown.
  virtual bool FinalizeDownload(int* http_status);

  // Connect, send and receive time-outs of later downloads; 0 (the
  // default) leaves the system's.
  void set_timeout_ms(DWORD timeout_ms) { timeout_ms_ = timeout_ms; }

  // One response header of the open download; empty when absent.
  virtual std::string GetResponseHeader(const std::string& name);

  const std::wstring& url() const { return url_; }
  const std::wstring& error() const { return error_; }
  const DownloadException& exception() const { return exception_; }
  // The last address WinINet reported as a redirect target.
  const std::wstring& redirect_url() const { return redirect_url_; }
  // The complete length of the file (Content-Length of a 200 answer, the
  // length after "/" in Content-Range of a 206 one); 0 while unknown.
  uint64_t total_size() const { return total_size_; }
  DownloadSink* sink() const { return sink_; }

 protected:
  // Protected so that tests of the code built on top can stand in for a
  // download without a network.
  std::wstring url_;
  std::wstring error_;
  DownloadException exception_;
  std::wstring redirect_url_;
  uint64_t total_size_ = 0;
  DownloadSink* sink_ = nullptr;

 private:
  static void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context,
                                      DWORD status, void* information,
                                      DWORD information_length);

  bool DownloadToSink(const std::wstring& url, HANDLE cancel_event,
                      DownloadSink* sink);
  // After the headers of an answer to a Range request arrived: accepts a
  // 206 that continues at the sink's size, restarts the sink on a 200.
  void CheckResumedAnswer(DownloadSink* sink, uint64_t offset);
  // After the headers of a 200 answer: its length, and the sink's origin.
  void TakeWholeFileAnswer(DownloadSink* sink);
  // The answer's validator for a later If-Range (see DownloadSink).
  std::string ReadValidator();
  bool QueryHeader(DWORD query, std::string* value);
  void SetError(const wchar_t* stage, DWORD error_code);
  // 200, or 206 for an accepted resume.
  bool IsSuccessStatus() const;

  lite_util::ScopedInternetHandle internet_;
  lite_util::ScopedInternetHandle url_handle_;
  // Grown on demand up to kMaxReadPieceSize.
  std::unique_ptr<char[]> buffer_;
  uint32_t buffer_size_ = 0;
  // The size of the next piece, from how quickly the last one filled.
  uint32_t next_piece_ = kMinReadPieceSize;
  int status_code_ = 0;
  bool resumed_ = false;
  DWORD timeout_ms_ = 0;
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_DOWNLOAD_HTTP_DOWNLOADER_H_

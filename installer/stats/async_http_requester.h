// Sends statistics requests one after another on a worker thread of its
// own, in the order they were queued, without reading the answers.
//
// The thread starts with the first request. Destruction sets the stop flag
// and waits for the thread: URLs still queued are dropped; a request in
// progress completes first, or is left behind at its deadline
// (kStatRequestTimeoutMs after it was sent, whatever the host sends).
// A class that overrides SendUrl must call Stop() in its own destructor, so
// that the worker is gone before the override is.
#ifndef INSTALLER_STATS_ASYNC_HTTP_REQUESTER_H_
#define INSTALLER_STATS_ASYNC_HTTP_REQUESTER_H_

#include <windows.h>

#include <deque>
#include <string>

#include "installer/lite_util/lock.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {

constexpr char kStatUserAgent[] = "Kelvra.Browser installer";
// Connect, send and receive time-outs of one statistics request, and the
// deadline of the whole request.
constexpr DWORD kStatRequestTimeoutMs = 2000;
// How long a statistics request may take to be sent (connecting and the
// TLS handshake) before its deadline starts anyway.
constexpr DWORD kStatConnectDeadlineMs = 10000;

class AsyncHttpRequester {
 public:
  AsyncHttpRequester();
  AsyncHttpRequester(const AsyncHttpRequester&) = delete;
  AsyncHttpRequester& operator=(const AsyncHttpRequester&) = delete;
  virtual ~AsyncHttpRequester();

  // Queues |url|. False only when the worker thread cannot be started; the
  // URL is then dropped and the next call tries again.
  virtual bool Send(const std::wstring& url);

  // Ends the worker (see above); later Send calls start no thread again.
  void Stop();

 protected:
  // Performs one request: a GET abandoned as soon as it has been sent, on
  // a thread of its own that is left behind at the deadline.
  virtual void SendUrl(const std::wstring& url);
  // Whether Stop has been called.
  bool IsStopping();

 private:
  static DWORD WINAPI WorkerProc(void* requester);
  // The request itself; it touches nothing of the object.
  static void SendUrlNow(const std::wstring& url);
  void Work();

  lite_util::ScopedThreadHandle worker_;
  lite_util::Lock lock_;
  lite_util::ScopedEventHandle work_event_;
  bool stop_ = false;
  std::deque<std::wstring> queue_;
};

}  // namespace lite_installer

#endif  // INSTALLER_STATS_ASYNC_HTTP_REQUESTER_H_

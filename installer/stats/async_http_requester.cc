#include "installer/stats/async_http_requester.h"

#include <wininet.h>

#include <memory>

#include "installer/install/download/deadline_call.h"
#include "installer/install/download/download_exception.h"
#include "installer/install/download/internet_timeouts.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/string_util.h"

namespace lite_installer {
namespace {

// Closes a request as soon as it has been sent: its answer is never read,
// and InternetOpenUrlW then fails with ERROR_INTERNET_OPERATION_CANCELLED.
// The request this thread's callback closed, so that it is not closed twice.
thread_local HINTERNET abandoned_request = nullptr;
// Signalled once this thread's request has been sent.
thread_local HANDLE request_sent_event = nullptr;

// Every handle the request creates gets the receive time-out as well: where
// closing the request from this callback does not end the call (Wine goes
// on waiting for the answer), a host that accepts and never answers would
// otherwise hold the worker, and the destructor's wait with it, for good.
void CALLBACK AbandonWhenSent(HINTERNET handle, DWORD_PTR, DWORD status,
                              void* information, DWORD information_length) {
  SetReceiveTimeoutOnCreatedHandle(status, information, information_length,
                                   kStatRequestTimeoutMs);
  if (status != INTERNET_STATUS_REQUEST_SENT) return;
  if (request_sent_event) ::SetEvent(request_sent_event);
  abandoned_request = handle;
  ::InternetCloseHandle(handle);
}

struct OpenUrlCall {
  HINTERNET session;
  const std::wstring* url;
  HINTERNET request;
  DWORD error;
};

void OpenUrl(void* context) {
  OpenUrlCall* call = static_cast<OpenUrlCall*>(context);
  call->request =
      ::InternetOpenUrlW(call->session, call->url->c_str(), L"Accept: */*",
                         static_cast<DWORD>(-1), INTERNET_FLAG_RELOAD, 1);
  call->error = ::GetLastError();
}

}  // namespace

AsyncHttpRequester::AsyncHttpRequester()
    : work_event_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

AsyncHttpRequester::~AsyncHttpRequester() { Stop(); }

bool AsyncHttpRequester::Send(const std::wstring& url) {
  lite_util::AutoLock hold(lock_);
  if (stop_) return true;
  if (!worker_.IsValid()) {
    worker_.Set(::CreateThread(nullptr, 0, &WorkerProc, this, 0, nullptr));
    if (!worker_.IsValid()) {
      PLOG_AS(ERROR, "InitializeThread")
          << "Failed to create thread for async http requests";
      return false;
    }
  }
  queue_.push_back(url);
  ::SetEvent(work_event_.Get());
  return true;
}

void AsyncHttpRequester::Stop() {
  HANDLE worker = nullptr;
  {
    lite_util::AutoLock hold(lock_);
    stop_ = true;
    worker = worker_.Get();
    ::SetEvent(work_event_.Get());
  }
  if (worker) ::WaitForSingleObject(worker, INFINITE);
}

bool AsyncHttpRequester::IsStopping() {
  lite_util::AutoLock hold(lock_);
  return stop_;
}

DWORD WINAPI AsyncHttpRequester::WorkerProc(void* requester) {
  static_cast<AsyncHttpRequester*>(requester)->Work();
  return 0;
}

void AsyncHttpRequester::Work() {
  for (;;) {
    ::WaitForSingleObject(work_event_.Get(), INFINITE);
    for (;;) {
      std::wstring url;
      {
        lite_util::AutoLock hold(lock_);
        if (stop_) return;
        if (queue_.empty()) break;
        url = std::move(queue_.front());
        queue_.pop_front();
      }
      SendUrl(url);
    }
  }
}

void AsyncHttpRequester::SendUrl(const std::wstring& url) {
  // The time-outs apply to each read: a host that trickles its answer
  // would hold the worker, and the installer's exit with it, for as long
  // as it likes. The request gets its own thread and a deadline.
  // The deadline runs from the moment the request is sent, so requests
  // reach the host in the order they were queued; connecting is bounded
  // apart (a slow machine may need more than the deadline for the TLS
  // handshake alone).
  auto sent = std::make_shared<lite_util::ScopedEventHandle>(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  RunWithDeadlineAfter(
      [url, sent] {
        request_sent_event = sent->Get();
        SendUrlNow(url);
        request_sent_event = nullptr;
      },
      sent->Get(), kStatConnectDeadlineMs, kStatRequestTimeoutMs);
}

void AsyncHttpRequester::SendUrlNow(const std::wstring& url) {
  lite_util::ScopedInternetHandle session(
      ::InternetOpenW(lite_util::Utf8ToWide(kStatUserAgent).c_str(),
                      INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session.IsValid()) {
    PLOG_AS(ERROR, "SendUrl") << "Failed to open session for " << url;
    return;
  }
  ::InternetSetStatusCallbackW(session.Get(), &AbandonWhenSent);
  DWORD timeout = kStatRequestTimeoutMs;
  if (!::InternetSetOptionW(session.Get(), INTERNET_OPTION_CONNECT_TIMEOUT,
                            &timeout, sizeof(timeout)) ||
      !::InternetSetOptionW(session.Get(), INTERNET_OPTION_SEND_TIMEOUT,
                            &timeout, sizeof(timeout))) {
    PLOG_AS(ERROR, "SendUrl") << "Failed to set internet options for " << url;
    return;
  }
  abandoned_request = nullptr;
  OpenUrlCall call = {session.Get(), &url, nullptr, 0};
  DownloadException exception;
  RunUnderDelayLoadGuard(&OpenUrl, &call, &exception);
  if (exception.code != 0) {
    PLOG_AS(ERROR, "SendUrl") << "An attempt to open url " << url
                              << " generated an exception "
                              << exception.code;
  } else if (!call.request &&
             call.error != ERROR_INTERNET_OPERATION_CANCELLED) {
    ::SetLastError(call.error);
    PLOG_AS(ERROR, "SendUrl") << "Failed to open " << url;
  }
  // A request the callback did not close goes here.
  if (call.request && call.request != abandoned_request)
    ::InternetCloseHandle(call.request);
  abandoned_request = nullptr;
}

}  // namespace lite_installer

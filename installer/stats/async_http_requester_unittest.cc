#include "installer/stats/async_http_requester.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/lite_util/lock.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

// Records the URLs it is asked to send; the first request can be held
// until the requester is being stopped.
class HoldingRequester : public AsyncHttpRequester {
 public:
  explicit HoldingRequester(bool hold_first) : hold_first_(hold_first) {}
  ~HoldingRequester() override { Stop(); }

  std::vector<std::wstring> Sent() {
    lite_util::AutoLock hold(lock_);
    return sent_;
  }
  // Signalled once |count| requests have been sent.
  void ExpectCount(size_t count) { expected_ = count; }

  lite_util::ScopedEventHandle first_started_{
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  lite_util::ScopedEventHandle all_sent_{
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};

 protected:
  void SendUrl(const std::wstring& url) override {
    bool first = false;
    {
      lite_util::AutoLock hold(lock_);
      first = sent_.empty();
      concurrent_ = in_request_;
      in_request_ = true;
    }
    if (first) {
      ::SetEvent(first_started_.Get());
      for (int i = 0; hold_first_ && !IsStopping() && i < 2000; ++i)
        ::Sleep(5);
    }
    lite_util::AutoLock hold(lock_);
    in_request_ = false;
    sent_.push_back(url);
    if (sent_.size() == expected_) ::SetEvent(all_sent_.Get());
  }

 public:
  bool concurrent_ = false;

 private:
  const bool hold_first_;
  lite_util::Lock lock_;
  std::vector<std::wstring> sent_;
  size_t expected_ = 0;
  bool in_request_ = false;
};

TEST(AsyncHttpRequesterTest, SendsInQueueOrderOneAtATime) {
  HoldingRequester requester(false);
  requester.ExpectCount(20);
  std::vector<std::wstring> queued;
  for (int i = 0; i < 20; ++i) {
    queued.push_back(L"u" + std::to_wstring(i));
    ASSERT_TRUE(requester.Send(queued.back()));
  }
  ASSERT_EQ(WAIT_OBJECT_0,
            ::WaitForSingleObject(requester.all_sent_.Get(), 10000));
  EXPECT_EQ(queued, requester.Sent());
  EXPECT_FALSE(requester.concurrent_);
}

TEST(AsyncHttpRequesterTest, DestructionDropsTheQueueButEndsTheRunningRequest) {
  std::vector<std::wstring> sent;
  {
    HoldingRequester requester(true);
    ASSERT_TRUE(requester.Send(L"first"));
    ASSERT_EQ(WAIT_OBJECT_0,
              ::WaitForSingleObject(requester.first_started_.Get(), 10000));
    for (const wchar_t* url : {L"second", L"third", L"fourth"})
      ASSERT_TRUE(requester.Send(url));
    // The running request ends only once the stop has begun.
    requester.Stop();
    sent = requester.Sent();
  }
  EXPECT_EQ(std::vector<std::wstring>{L"first"}, sent);
}

TEST(AsyncHttpRequesterTest, NothingIsSentAfterStop) {
  HoldingRequester requester(false);
  requester.Stop();
  EXPECT_TRUE(requester.Send(L"late"));
  ::Sleep(50);
  EXPECT_TRUE(requester.Sent().empty());
}

TEST(AsyncHttpRequesterTest, StopWithoutAnyRequestReturnsAtOnce) {
  HoldingRequester requester(false);
  requester.Stop();
  requester.Stop();
  EXPECT_TRUE(requester.Sent().empty());
}

}  // namespace
}  // namespace lite_installer

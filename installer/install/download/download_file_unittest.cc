#include "installer/install/download/download_file.h"

#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/install/download/download_clock.h"
#include "installer/install/download/download_progress_observer.h"
#include "installer/install/download/download_sink.h"
#include "installer/install/download/http_downloader.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

class FakeClock : public DownloadClock {
 public:
  uint32_t TickCount() override { return now; }
  bool WaitForStop(HANDLE, uint32_t milliseconds) override {
    now += milliseconds;
    return false;
  }
  // Starts near the wrap of the 32-bit tick count on purpose.
  uint32_t now = 0xFFFFF000u;
};

// Hands out a scripted body: |chunks| sizes, one per ReadChunk, then 0.
// Before each chunk the clock moves to the time given for that chunk.
class ScriptedDownloader : public HttpDownloader {
 public:
  explicit ScriptedDownloader(FakeClock* clock) : clock_(clock) {}

  bool OpenDownload(const std::wstring& url, DownloadSink* sink) override {
    ++opens;
    url_ = url;
    redirect_url_ = L"https://mirror.kelvra.example/final.arc";
    total_size_ = total;
    if (!open_ok) {
      error_ = L"internet_open_url-12029";
      return false;
    }
    sink_ = sink;
    return true;
  }

  uint32_t ReadChunk() override {
    if (next_ >= chunks.size()) return 0;
    size_t index = next_++;
    auto time = elapsed_ms_at_chunk.find(index);
    if (time != elapsed_ms_at_chunk.end()) clock_->now = start + time->second;
    std::string data(chunks[index], 'x');
    sink_->Write(data.data(), chunks[index]);
    if (index == stop_after_chunk) ::SetEvent(stop_event);
    return chunks[index];
  }

  bool FinalizeDownload(int* http_status) override {
    ++finalizes;
    if (!finalize_ok) error_ = L"final_query_info-404-0";
    return finalize_ok;
  }

  bool open_ok = true;
  bool finalize_ok = true;
  uint64_t total = 0;
  std::vector<uint32_t> chunks;
  std::map<size_t, uint32_t> elapsed_ms_at_chunk;
  uint32_t start = 0;
  size_t stop_after_chunk = SIZE_MAX;
  HANDLE stop_event = nullptr;
  int opens = 0;
  int finalizes = 0;

 private:
  FakeClock* clock_;
  size_t next_ = 0;
};

class RecordingObserver : public DownloadProgressObserver {
 public:
  void OnProgress(float fraction) override {
    char text[32];
    std::snprintf(text, sizeof(text), "progress %.2f", fraction);
    calls.push_back(text);
  }
  void OnSlow() override { calls.push_back("slow"); }
  void OnRemainingTime(int seconds, int state) override {
    calls.push_back("remaining " + std::to_string(seconds) + " " +
                    std::to_string(state));
  }
  std::vector<std::string> calls;
};

class DownloadFileTest : public testing::Test {
 protected:
  void SetUp() override {
    stop_event_.Set(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    downloader_.start = clock_.now;
    downloader_.stop_event = stop_event_.Get();
  }

  // The observer calls made after the opening pair.
  std::vector<std::string> Estimates() {
    std::vector<std::string> out;
    for (const std::string& call : observer_.calls) {
      if (call.compare(0, 8, "progress") != 0) out.push_back(call);
    }
    return out;
  }

  bool Run() {
    return DownloadFile(&downloader_, L"https://download.kelvra.example/a",
                        &sink_, stop_event_.Get(), &observer_, &clock_,
                        &result_);
  }

  FakeClock clock_;
  ScriptedDownloader downloader_{&clock_};
  StringDownloadSink sink_;
  RecordingObserver observer_;
  DownloadAttemptResult result_;
  lite_util::ScopedEventHandle stop_event_;
};

TEST_F(DownloadFileTest, ProgressRunsFromZeroToDone) {
  downloader_.total = 400;
  downloader_.chunks = {100, 100, 100, 100};
  EXPECT_TRUE(Run());
  EXPECT_EQ((std::vector<std::string>{
                "progress 0.00", "remaining -1 0", "progress 0.25",
                "progress 0.50", "progress 0.75", "progress 1.00",
                "progress 1.00", "remaining 0 2"}),
            observer_.calls);
  EXPECT_EQ(400u, result_.total_size);
  EXPECT_EQ(L"https://mirror.kelvra.example/final.arc", result_.redirect_url);
  EXPECT_EQ(L"", result_.error);
}

TEST_F(DownloadFileTest, AnUnknownLengthGivesOnlyStartAndEnd) {
  downloader_.chunks = {10, 10};
  EXPECT_TRUE(Run());
  EXPECT_EQ((std::vector<std::string>{"progress 0.00", "remaining -1 0",
                                      "progress 1.00", "remaining 0 2"}),
            observer_.calls);
}

TEST_F(DownloadFileTest, FailuresFillTheResultAndNeverReportDone) {
  downloader_.open_ok = false;
  EXPECT_FALSE(Run());
  EXPECT_EQ(L"internet_open_url-12029", result_.error);
  EXPECT_TRUE(observer_.calls.empty());

  downloader_.open_ok = true;
  downloader_.finalize_ok = false;
  downloader_.total = 0;
  EXPECT_FALSE(Run());
  EXPECT_EQ(L"final_query_info-404-0", result_.error);
  EXPECT_EQ((std::vector<std::string>{"progress 0.00", "remaining -1 0"}),
            observer_.calls);
}

TEST_F(DownloadFileTest, TheStopEventEndsTheAttemptBeforeTheNextChunk) {
  downloader_.total = 500;
  downloader_.chunks = {100, 100, 100, 100, 100};
  downloader_.stop_after_chunk = 1;
  EXPECT_FALSE(Run());
  EXPECT_EQ(200u, sink_.bytes_written());
  EXPECT_EQ(0, downloader_.finalizes);
  EXPECT_EQ(500u, result_.total_size);
}

TEST_F(DownloadFileTest, EstimatesAtMostOncePerMinute) {
  downloader_.total = 1000;
  downloader_.chunks = {100, 100, 100, 100, 100};
  // 200 bytes after 60 s: 800 more take 240 s, 300 s in all: slow.
  downloader_.elapsed_ms_at_chunk = {
      {1, 60000}, {2, 119999}, {3, 120000}, {4, 150000}};
  EXPECT_TRUE(Run());
  // At 120 s 400 bytes are in: 600 more take 180 s.
  EXPECT_EQ((std::vector<std::string>{"remaining -1 0", "slow",
                                      "remaining 240 1", "slow",
                                      "remaining 180 1", "remaining 0 2"}),
            Estimates());
}

TEST_F(DownloadFileTest, ADownloadDueWithinTwoMinutesIsNotSlow) {
  downloader_.total = 1000;
  downloader_.chunks = std::vector<uint32_t>(10, 100);
  // 900 bytes after 60 s: the last 100 take 6 s, 66 s in all.
  downloader_.elapsed_ms_at_chunk = {{8, 60000}};
  EXPECT_TRUE(Run());
  EXPECT_EQ((std::vector<std::string>{"remaining -1 0", "remaining 6 1",
                                      "remaining 0 2"}),
            Estimates());
}

TEST_F(DownloadFileTest, AResumedAttemptEstimatesFromItsOwnBytes) {
  ASSERT_TRUE(sink_.Write(std::string(500, 'o').data(), 500));
  downloader_.total = 1000;
  downloader_.chunks = {100, 100, 100, 100, 100};
  // This attempt brought 100 bytes in 60 s: 400 more take 240 s (the 500
  // bytes of an earlier attempt do not make it faster).
  downloader_.elapsed_ms_at_chunk = {{0, 60000}};
  EXPECT_TRUE(Run());
  EXPECT_EQ("progress 0.60", observer_.calls.at(0))
      << "a resumed attempt does not report zero first";
  EXPECT_EQ((std::vector<std::string>{"slow", "remaining 240 1",
                                      "remaining 0 2"}),
            Estimates());
}

TEST(DownloadTest, LogsTheAttemptAndStartsFromAnEmptySink) {
  std::vector<lite_util::LogRecord> records;
  lite_util::SetLogSink(new lite_util::RecordingSink(&records));
  FakeClock clock;
  ScriptedDownloader downloader(&clock);
  downloader.total = 3;
  downloader.chunks = {3};
  StringDownloadSink sink;
  ASSERT_TRUE(sink.Write("old", 3));
  DownloadAttemptResult result;
  EXPECT_TRUE(Download(&downloader, L"https://stat.kelvra.example/r?x=1",
                       &sink, nullptr, &result));
  lite_util::SetLogSink(nullptr);
  EXPECT_EQ("xxx", sink.bytes());
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ("Attempt to download module: https://stat.kelvra.example/r?x=1",
            records[0].text);
  EXPECT_STREQ("Download", records[0].function_name);
}

}  // namespace
}  // namespace lite_installer

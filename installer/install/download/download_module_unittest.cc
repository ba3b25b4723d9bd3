#include "installer/install/download/download_module.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/install/download/download_clock.h"
#include "installer/install/download/download_event_reporter.h"
#include "installer/install/download/download_progress_observer.h"
#include "installer/install/download/download_sink.h"
#include "installer/install/download/http_downloader.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

constexpr uint32_t kDelay = 15000;

// The byte at |position| of every file the fake servers hold.
char PatternByte(uint64_t position) {
  return static_cast<char>((position * 131u + (position >> 9)) & 0xFF);
}

// Stores nothing but checks that every byte lands at its own position of
// the pattern, so resumes and restarts are checked without holding files of
// hundreds of megabytes.
class PatternCheckingSink : public DownloadSink {
 public:
  bool Write(const void* bytes, uint32_t length) override {
    const char* data = static_cast<const char*>(bytes);
    for (uint32_t i = 0; i < length; ++i) {
      if (data[i] != PatternByte(bytes_written_ + i)) ++misplaced_bytes;
    }
    bytes_written_ += length;
    return true;
  }
  bool Reset() override {
    ++resets;
    bytes_written_ = 0;
    return true;
  }
  int resets = 0;
  uint64_t misplaced_bytes = 0;
};

// The pauses of the loop, in fake time. |stop_at_pause| (1-based) makes
// that pause end at once with the stop event signalled.
class FakeClock : public DownloadClock {
 public:
  uint32_t TickCount() override { return now; }
  bool WaitForStop(HANDLE stop_event, uint32_t milliseconds) override {
    pauses.push_back(milliseconds);
    // Like WaitForSingleObject: a signalled event ends the wait at once.
    if (IsEventSignaled(stop_event)) return true;
    if (static_cast<int>(pauses.size()) == stop_at_pause) {
      ::SetEvent(stop_event);
      return true;
    }
    now += milliseconds;
    return false;
  }
  uint32_t now = 1000;
  std::vector<uint32_t> pauses;
  int stop_at_pause = 0;
};

// What the fake server does on one attempt.
struct AttemptScript {
  // Body bytes delivered before the connection ends; -1 for all of them.
  int64_t deliver = -1;
  bool open_fails = false;
  int status = 200;  // anything else: nothing is written
  DownloadException exception;
  bool announce_length = true;
  // The attempt fails at its end even though the body looked complete (a
  // read time-out, say).
  bool fail_at_end = false;
};

// A downloader standing in for WinINet: it serves a file of |file_size|
// pattern bytes, continues at the sink's size like a Range request would,
// and fails each attempt as |scripts| say (attempts past the script
// succeed).
class FakeDownloader : public HttpDownloader {
 public:
  struct Open {
    std::wstring url;
    uint64_t offset;
  };

  bool OpenDownload(const std::wstring& url, DownloadSink* sink) override {
    script_ = opens.size() < scripts.size() ? scripts[opens.size()]
                                            : AttemptScript();
    opens.push_back({url, sink->bytes_written()});
    url_ = url;
    error_.clear();
    exception_ = script_.exception;
    redirect_url_ = redirect_url;
    total_size_ = script_.announce_length ? file_size : 0;
    sink_ = nullptr;
    if (exception_.code != 0) return false;
    if (script_.open_fails) {
      error_ = L"internet_open_url-12029";
      return false;
    }
    sink_ = sink;
    position_ = sink->bytes_written();
    delivered_ = 0;
    return true;
  }

  uint32_t ReadChunk() override {
    if (script_.status != 200) return 0;
    uint64_t left = file_size - position_;
    if (script_.deliver >= 0) {
      uint64_t allowed = static_cast<uint64_t>(script_.deliver) - delivered_;
      if (allowed < left) left = allowed;
    }
    const uint32_t n =
        static_cast<uint32_t>(left < chunk_size ? left : chunk_size);
    if (n == 0) return 0;
    std::string data(n, '\0');
    for (uint32_t i = 0; i < n; ++i) data[i] = PatternByte(position_ + i);
    sink_->Write(data.data(), n);
    position_ += n;
    delivered_ += n;
    ++chunks_read;
    if (chunks_read == stop_after_chunk) ::SetEvent(stop_event);
    return n;
  }

  bool FinalizeDownload(int* http_status) override {
    if (http_status) *http_status = script_.status;
    if (script_.status != 200) {
      error_ = L"final_query_info-" + std::to_wstring(script_.status) + L"-0";
      return false;
    }
    if (script_.fail_at_end) {
      error_ = L"internet_read-12002";
      return false;
    }
    if (position_ != file_size && script_.announce_length) {
      error_ = L"internet_read-12030";
      return false;
    }
    return true;
  }

  uint64_t file_size = 100000;
  uint32_t chunk_size = 1000;
  std::vector<AttemptScript> scripts;
  std::wstring redirect_url;
  std::vector<Open> opens;
  int chunks_read = 0;
  int stop_after_chunk = -1;
  HANDLE stop_event = nullptr;

 private:
  AttemptScript script_;
  uint64_t position_ = 0;
  uint64_t delivered_ = 0;
};

class RecordingReporter : public DownloadEventReporter {
 public:
  void OnDownloadStarted() override { ++started; }
  void OnDownloadAttempt(const DownloadAttemptRecord& attempt) override {
    attempts.push_back(attempt);
  }
  int started = 0;
  std::vector<DownloadAttemptRecord> attempts;
};

class CountingObserver : public DownloadProgressObserver {
 public:
  void OnProgress(float fraction) override { last_fraction = fraction; }
  void OnSlow() override {}
  void OnRemainingTime(int, int state) override {
    if (state == kRemainingTimeDone) ++done;
  }
  float last_fraction = -1;
  int done = 0;
};

AttemptScript Failure(int64_t deliver) {
  AttemptScript script;
  script.deliver = deliver;
  return script;
}

AttemptScript Status(int status) {
  AttemptScript script;
  script.status = status;
  return script;
}

class DownloadModuleTest : public testing::Test {
 protected:
  void SetUp() override {
    lite_util::SetLogSink(new lite_util::RecordingSink(&log_));
    stop_event_.Set(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    downloader_.stop_event = stop_event_.Get();
    context_.downloader = &downloader_;
    context_.clock = &clock_;
    context_.stop_event = stop_event_.Get();
    context_.observer = &observer_;
    context_.events = &events_;
    context_.retry_delay_ms = kDelay;
  }
  void TearDown() override { lite_util::SetLogSink(nullptr); }

  int Run(const std::vector<std::string>& urls) {
    return DownloadModuleFromUrls(context_, urls, 1, &sink_);
  }

  void FailAlways(int attempts) {
    downloader_.scripts.assign(attempts, Status(503));
  }

  std::vector<std::wstring> OpenedUrls() const {
    std::vector<std::wstring> urls;
    for (const auto& open : downloader_.opens) urls.push_back(open.url);
    return urls;
  }

  std::vector<uint64_t> OpenOffsets() const {
    std::vector<uint64_t> offsets;
    for (const auto& open : downloader_.opens) offsets.push_back(open.offset);
    return offsets;
  }

  std::vector<std::string> LogTexts(lite_util::LogSeverity severity) const {
    std::vector<std::string> texts;
    for (const auto& record : log_) {
      if (record.severity == severity) texts.push_back(record.text);
    }
    return texts;
  }

  std::vector<lite_util::LogRecord> log_;
  lite_util::ScopedEventHandle stop_event_;
  FakeDownloader downloader_;
  FakeClock clock_;
  PatternCheckingSink sink_;
  RecordingReporter events_;
  CountingObserver observer_;
  DownloadModuleContext context_;
};

TEST(DownloadModuleRulesTest, AttemptCounts) {
  EXPECT_EQ(0, GetDownloadAttemptCount(0));
  EXPECT_EQ(6, GetDownloadAttemptCount(1));
  EXPECT_EQ(6, GetDownloadAttemptCount(2));
  EXPECT_EQ(9, GetDownloadAttemptCount(3));
}

TEST(DownloadModuleRulesTest, ATenthOfTheFileDecidesBetweenRestartAndResume) {
  EXPECT_TRUE(ShouldRestartFailedDownload(0, 1000));
  EXPECT_TRUE(ShouldRestartFailedDownload(99, 1000));
  EXPECT_FALSE(ShouldRestartFailedDownload(100, 1000));
  EXPECT_FALSE(ShouldRestartFailedDownload(500, 1000));
  // The tenth is rounded down: 1 byte of 19 is not less than 19 / 10.
  EXPECT_FALSE(ShouldRestartFailedDownload(1, 19));
  // Unknown length: what arrived is kept.
  EXPECT_FALSE(ShouldRestartFailedDownload(0, 0));
  EXPECT_FALSE(ShouldRestartFailedDownload(12345, 0));
  // Above 409.6 MiB the total times ten no longer fits 32 bits; 20 MiB of
  // 500 MiB is still less than a tenth.
  const uint64_t mib = 1024 * 1024;
  EXPECT_TRUE(ShouldRestartFailedDownload(20 * mib, 500 * mib));
  EXPECT_FALSE(ShouldRestartFailedDownload(60 * mib, 500 * mib));
  EXPECT_TRUE(ShouldRestartFailedDownload(400 * mib, 5 * 1024 * mib));
  EXPECT_FALSE(ShouldRestartFailedDownload(600 * mib, 5 * 1024 * mib));
}

TEST(DownloadModuleRulesTest, OnlyTheMissingCryptoProLibraryIsTheCryptoProCase) {
  DownloadException exception;
  exception.code = kDelayLoadModuleNotFound;
  exception.dll_name = "CpLib.DLL";
  exception.proc_name = "InitCRYPTOPROProvider";
  EXPECT_TRUE(IsCryptoProException(exception));
  DownloadException other = exception;
  other.code = kDelayLoadProcedureNotFound;
  EXPECT_FALSE(IsCryptoProException(other));
  other = exception;
  other.dll_name = "cplib2.dll";
  EXPECT_FALSE(IsCryptoProException(other));
  other = exception;
  other.proc_name = "Initialize";
  EXPECT_FALSE(IsCryptoProException(other));
}

TEST_F(DownloadModuleTest, OneUrlGetsSixAttemptsAndFivePauses) {
  FailAlways(6);
  EXPECT_EQ(kDownloadModuleFailed, Run({"https://a/setup.arc"}));
  EXPECT_EQ(std::vector<std::wstring>(6, L"https://a/setup.arc"),
            OpenedUrls());
  // No pause after the last attempt.
  EXPECT_EQ(std::vector<uint32_t>(5, kDelay), clock_.pauses);
  ASSERT_EQ(6u, events_.attempts.size());
  for (int i = 0; i < 6; ++i) {
    const DownloadAttemptRecord& attempt = events_.attempts[i];
    EXPECT_FALSE(attempt.success);
    EXPECT_EQ(i + 1, attempt.attempt_number);
    EXPECT_EQ(L"final_query_info-503-0", attempt.error);
    EXPECT_EQ(1, attempt.architecture);
  }
  EXPECT_EQ(1, events_.started);
  EXPECT_EQ(std::vector<std::string>{"Max download attempts failed (6)"},
            LogTexts(lite_util::LOG_ERROR));
}

TEST_F(DownloadModuleTest, ThreeUrlsGetThreeAttemptsEachInListOrder) {
  FailAlways(9);
  EXPECT_EQ(kDownloadModuleFailed, Run({"https://a/", "https://b/",
                                        "https://c/"}));
  EXPECT_EQ((std::vector<std::wstring>{
                L"https://a/", L"https://a/", L"https://a/", L"https://b/",
                L"https://b/", L"https://b/", L"https://c/", L"https://c/",
                L"https://c/"}),
            OpenedUrls());
  EXPECT_EQ(8u, clock_.pauses.size());
  EXPECT_EQ("Max download attempts failed (9)",
            LogTexts(lite_util::LOG_ERROR).back());
}

TEST_F(DownloadModuleTest, TwoUrlsShareSixAttempts) {
  FailAlways(6);
  Run({"https://a/", "https://b/"});
  EXPECT_EQ((std::vector<std::wstring>{L"https://a/", L"https://a/",
                                       L"https://a/", L"https://b/",
                                       L"https://b/", L"https://b/"}),
            OpenedUrls());
}

TEST_F(DownloadModuleTest, SuccessEndsTheLoopAndIsReported) {
  downloader_.scripts = {Status(404)};
  downloader_.redirect_url = L"https://mirror/setup.arc";
  EXPECT_EQ(kDownloadModuleSucceeded, Run({"https://a/"}));
  EXPECT_EQ(2u, downloader_.opens.size());
  EXPECT_EQ(1u, clock_.pauses.size());
  EXPECT_EQ(downloader_.file_size, sink_.bytes_written());
  EXPECT_EQ(0u, sink_.misplaced_bytes);
  ASSERT_EQ(2u, events_.attempts.size());
  const DownloadAttemptRecord& failed = events_.attempts[0];
  EXPECT_EQ(L"final_query_info-404-0", failed.error);
  EXPECT_EQ(0u, failed.downloaded_size);
  const DownloadAttemptRecord& done = events_.attempts[1];
  EXPECT_TRUE(done.success);
  EXPECT_EQ(2, done.attempt_number);
  EXPECT_EQ(L"https://a/", done.url);
  EXPECT_EQ(L"", done.error);
  EXPECT_EQ(L"https://mirror/setup.arc", done.redirect_url);
  EXPECT_EQ(100000u, done.downloaded_size);
  EXPECT_EQ(100000u, done.total_size);
  EXPECT_EQ(1.0f, observer_.last_fraction);
  EXPECT_EQ(1, observer_.done);
}

TEST_F(DownloadModuleTest, LessThanATenthStartsOverHalfResumes) {
  // 5 % arrives, then 50 % of what the fresh start asks for, then the rest.
  downloader_.scripts = {Failure(5000), Failure(50000)};
  EXPECT_EQ(kDownloadModuleSucceeded, Run({"https://a/"}));
  EXPECT_EQ((std::vector<uint64_t>{0, 0, 50000}), OpenOffsets());
  EXPECT_EQ(100000u, sink_.bytes_written());
  EXPECT_EQ(0u, sink_.misplaced_bytes);
  // The attempt events name what was in the file before the restart.
  ASSERT_EQ(3u, events_.attempts.size());
  EXPECT_EQ(5000u, events_.attempts[0].downloaded_size);
  EXPECT_EQ(L"internet_read-12030", events_.attempts[0].error);
  EXPECT_EQ(50000u, events_.attempts[1].downloaded_size);
}

TEST_F(DownloadModuleTest, ExactlyATenthIsKept) {
  downloader_.scripts = {Failure(10000)};
  EXPECT_EQ(kDownloadModuleSucceeded, Run({"https://a/"}));
  EXPECT_EQ((std::vector<uint64_t>{0, 10000}), OpenOffsets());
  EXPECT_EQ(0u, sink_.misplaced_bytes);
}

TEST_F(DownloadModuleTest, ALargeArchiveRestartsBelowATenthIn64Bits) {
  // 500 MiB: a 32-bit "total * 10 / 100" wraps to about 9 MiB and would
  // keep 20 MiB as if it were more than a tenth.
  downloader_.file_size = 500ull * 1024 * 1024;
  downloader_.chunk_size = 4 * 1024 * 1024;
  downloader_.scripts = {Failure(20 * 1024 * 1024),
                         Failure(60 * 1024 * 1024), Status(503)};
  // The third attempt fails without a byte; the fourth ends the download.
  EXPECT_EQ(kDownloadModuleSucceeded, Run({"https://a/"}));
  EXPECT_EQ((std::vector<uint64_t>{0, 0, 60 * 1024 * 1024, 60 * 1024 * 1024}),
            OpenOffsets());
  EXPECT_EQ(downloader_.file_size, sink_.bytes_written());
  EXPECT_EQ(0u, sink_.misplaced_bytes);
}

TEST_F(DownloadModuleTest, AChangeOfUrlEmptiesTheFile) {
  // The first URL leaves half of its file on every attempt; the second
  // URL must not continue it.
  downloader_.scripts = {Failure(50000), Failure(10000), Failure(10000)};
  EXPECT_EQ(kDownloadModuleSucceeded, Run({"https://a/", "https://b/"}));
  EXPECT_EQ((std::vector<uint64_t>{0, 50000, 60000, 0}), OpenOffsets());
  EXPECT_EQ(L"https://b/", downloader_.opens[3].url);
  EXPECT_EQ(0u, sink_.misplaced_bytes);
  EXPECT_EQ(100000u, sink_.bytes_written());
}

TEST_F(DownloadModuleTest, AnUnknownLengthKeepsWhatArrived) {
  AttemptScript script = Failure(3000);
  script.announce_length = false;
  script.fail_at_end = true;
  downloader_.scripts = {script};
  EXPECT_EQ(kDownloadModuleSucceeded, Run({"https://a/"}));
  EXPECT_EQ((std::vector<uint64_t>{0, 3000}), OpenOffsets());
  EXPECT_EQ(1, sink_.resets);  // only for the first URL
  EXPECT_EQ(0u, sink_.misplaced_bytes);
  EXPECT_EQ(0u, events_.attempts[0].total_size);
}

TEST_F(DownloadModuleTest, AStopDuringThePauseEndsTheLoopAtOnce) {
  FailAlways(6);
  clock_.stop_at_pause = 2;
  EXPECT_EQ(kDownloadModuleFailed, Run({"https://a/"}));
  EXPECT_EQ(2u, downloader_.opens.size());
  EXPECT_EQ(2u, clock_.pauses.size());
  EXPECT_EQ(2u, events_.attempts.size());
  EXPECT_EQ((std::vector<std::string>{"Max download attempts failed (6)"}),
            LogTexts(lite_util::LOG_ERROR));
}

TEST_F(DownloadModuleTest, AStopBetweenChunksEndsTheAttemptAndTheLoop) {
  downloader_.stop_after_chunk = 3;
  const uint32_t start = clock_.now;
  EXPECT_EQ(kDownloadModuleFailed, Run({"https://a/"}));
  EXPECT_EQ(3, downloader_.chunks_read);
  EXPECT_EQ(1u, downloader_.opens.size());
  // The pause that follows ends before any time passed.
  EXPECT_EQ(start, clock_.now);
}

TEST_F(DownloadModuleTest, AStopBeforeTheFirstAttemptOpensNothing) {
  ::SetEvent(stop_event_.Get());
  EXPECT_EQ(kDownloadModuleFailed, Run({"https://a/"}));
  EXPECT_TRUE(downloader_.opens.empty());
  EXPECT_TRUE(events_.attempts.empty());
}

TEST_F(DownloadModuleTest, AnExceptionEndsTheLoopAtOnce) {
  AttemptScript crypto_pro;
  crypto_pro.exception.code = kDelayLoadModuleNotFound;
  crypto_pro.exception.dll_name = "CPLIB.dll";
  crypto_pro.exception.proc_name = "CryptoProCspInitialize";
  AttemptScript other;
  other.exception.code = kDelayLoadProcedureNotFound;
  other.exception.dll_name = "x.dll";
  other.exception.proc_name = "#7";
  struct Case {
    AttemptScript script;
    int result;
    std::string text;
  } cases[] = {
      {crypto_pro, kDownloadModuleCryptoProFailure,
       "Exception with code=3228369022dll_name=CPLIB.dllproc_name="
       "CryptoProCspInitialize"},
      {other, kDownloadModuleFailed,
       "Exception with code=3228369023dll_name=x.dllproc_name=#7"},
  };
  for (const Case& c : cases) {
    downloader_.opens.clear();
    events_.attempts.clear();
    clock_.pauses.clear();
    log_.clear();
    downloader_.scripts = {Status(503), c.script};
    EXPECT_EQ(c.result, Run({"https://a/"}));
    EXPECT_EQ(2u, downloader_.opens.size());
    EXPECT_EQ(1u, clock_.pauses.size());
    // The attempt that raised is not reported.
    EXPECT_EQ(1u, events_.attempts.size());
    std::vector<std::string> errors = LogTexts(lite_util::LOG_ERROR);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(0u, errors[0].find(c.text)) << errors[0];
  }
}

TEST_F(DownloadModuleTest, AnEmptyListFailsWithoutAttempts) {
  EXPECT_EQ(kDownloadModuleFailed, Run({}));
  EXPECT_TRUE(downloader_.opens.empty());
  EXPECT_EQ(0, events_.started);
  EXPECT_EQ(std::vector<std::string>{"Setup url is empty."},
            LogTexts(lite_util::LOG_ERROR));
}

TEST_F(DownloadModuleTest, LogsTheListUnderItsOwnName) {
  Run({"https://a/?from_installer=true", "https://b/?from_installer=true"});
  std::vector<std::string> info;
  for (const auto& record : log_) {
    if (std::string(record.function_name) == "DownloadModule")
      info.push_back(record.text);
  }
  EXPECT_EQ((std::vector<std::string>{"Selected download urls:",
                                      "https://a/?from_installer=true",
                                      "https://b/?from_installer=true"}),
            info);
}

TEST_F(DownloadModuleTest, WorksWithoutObserverAndReporter) {
  context_.observer = nullptr;
  context_.events = nullptr;
  downloader_.scripts = {Failure(50000)};
  EXPECT_EQ(kDownloadModuleSucceeded, Run({"https://a/"}));
  EXPECT_EQ(0u, sink_.misplaced_bytes);
}

}  // namespace
}  // namespace lite_installer

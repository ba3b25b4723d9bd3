// What HttpDownloader does without a server to talk to. Its downloads are
// tested against the test service in tests/integration/download_test.py.
#include "installer/install/download/http_downloader.h"

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/install/download/download_sink.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

// Nothing listens on port 1 of the loopback address: the connection is
// refused at once.
constexpr wchar_t kRefusedUrl[] = L"http://127.0.0.1:1/setup.arc";

class HttpDownloaderTest : public testing::Test {
 protected:
  void SetUp() override {
    lite_util::SetLogSink(new lite_util::RecordingSink(&records_));
  }
  void TearDown() override { lite_util::SetLogSink(nullptr); }

  bool Logged(const std::string& start) {
    for (const lite_util::LogRecord& record : records_) {
      if (record.text.compare(0, start.size(), start) == 0) return true;
    }
    return false;
  }

  std::vector<lite_util::LogRecord> records_;
  HttpDownloader downloader_;
};

TEST_F(HttpDownloaderTest, NothingIsReadBeforeAnOpen) {
  EXPECT_EQ(0u, downloader_.ReadChunk());
  int status = -1;
  EXPECT_FALSE(downloader_.FinalizeDownload(&status));
  EXPECT_EQ(0, status);
  EXPECT_EQ("", downloader_.GetResponseHeader("Content-Length"));
}

TEST_F(HttpDownloaderTest, ARefusedConnectionFailsTheOpenWithItsCode) {
  StringDownloadSink sink;
  EXPECT_FALSE(downloader_.OpenDownload(kRefusedUrl, &sink));
  EXPECT_EQ(L"internet_open_url-12029", downloader_.error());
  EXPECT_EQ(L"", downloader_.url());
  EXPECT_EQ(0u, downloader_.exception().code);
  EXPECT_EQ(0u, downloader_.total_size());
  // Every later step returns at once and the first error stays.
  EXPECT_EQ(0u, downloader_.ReadChunk());
  EXPECT_FALSE(downloader_.FinalizeDownload(nullptr));
  EXPECT_EQ(L"internet_open_url-12029", downloader_.error());
  EXPECT_FALSE(Logged("Connection established"));
  EXPECT_FALSE(Logged("Unsuccessful download"));
}

TEST_F(HttpDownloaderTest, AnAddressWithoutSchemeFailsTheOpen) {
  StringDownloadSink sink;
  EXPECT_FALSE(downloader_.OpenDownload(L"setup.arc", &sink));
  EXPECT_EQ(0u, downloader_.error().find(L"internet_open_url-"))
      << std::string(downloader_.error().begin(), downloader_.error().end());
  EXPECT_GT(downloader_.error().size(), wcslen(L"internet_open_url-"));
}

TEST_F(HttpDownloaderTest, AFailedStringDownloadLeavesTheBytesAlone) {
  std::string bytes = "unchanged";
  EXPECT_FALSE(downloader_.DownloadToString(kRefusedUrl, nullptr, &bytes));
  EXPECT_EQ("unchanged", bytes);
  EXPECT_FALSE(downloader_.RequestWithoutBody(kRefusedUrl));
  EXPECT_EQ(0u, downloader_.error().find(L"internet_open_url-"));
}

}  // namespace
}  // namespace lite_installer

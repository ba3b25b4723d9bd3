#include "installer/install/async_install_tasks.h"
#include "installer/brand/map_distrib_params_for_test.h"

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/brand/brand_info.h"
#include "installer/brand/distrib_info_params.h"
#include "installer/install/download/http_downloader.h"
#include "installer/lite_util/file_test_util.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"

namespace lite_installer {
namespace {

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CanOpenForWriting(const std::wstring& path) {
  lite_util::ScopedFileHandle file(::CreateFileW(
      path.c_str(), GENERIC_WRITE,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.IsValid();
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
  lite_util::ScopedFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  ASSERT_TRUE(file.IsValid());
  ASSERT_TRUE(::WriteFile(file.Get(), bytes.data(),
                          static_cast<DWORD>(bytes.size()), &written,
                          nullptr));
}

// What the fake network answers and what it was asked, shared by every
// downloader one AsyncInstallTasks makes.
struct FakeNetwork {
  struct Answer {
    bool ok = true;
    std::string body;
    std::map<std::string, std::string> headers;
    // The download waits for the cancel event and then fails.
    bool stall = false;
    // The download ignores the cancel, like a WinINet call blocked on a
    // quiet server, and answers once |release| is signalled.
    bool hang = false;
  };
  std::map<std::wstring, Answer> answers;  // by URL; others fail
  std::mutex lock;
  std::vector<std::wstring> requested;
  lite_util::ScopedEventHandle stalled{
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  lite_util::ScopedEventHandle release{
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

class FakeDownloader : public HttpDownloader {
 public:
  explicit FakeDownloader(FakeNetwork* network) : network_(network) {}

  bool DownloadToString(const std::wstring& url, HANDLE cancel_event,
                        std::string* bytes) override {
    const FakeNetwork::Answer* answer = Answer(url, cancel_event);
    if (!answer) return false;
    *bytes = answer->body;
    headers_ = answer->headers;
    return true;
  }
  bool DownloadToHandle(const std::wstring& url, HANDLE file,
                        HANDLE cancel_event) override {
    const FakeNetwork::Answer* answer = Answer(url, cancel_event);
    if (!answer) return false;
    DWORD written = 0;
    return ::WriteFile(file, answer->body.data(),
                       static_cast<DWORD>(answer->body.size()), &written,
                       nullptr) != FALSE;
  }
  std::string GetResponseHeader(const std::string& name) override {
    auto it = headers_.find(name);
    return it == headers_.end() ? std::string() : it->second;
  }

 private:
  const FakeNetwork::Answer* Answer(const std::wstring& url,
                                    HANDLE cancel_event) {
    {
      std::lock_guard<std::mutex> hold(network_->lock);
      network_->requested.push_back(url);
    }
    auto it = network_->answers.find(url);
    if (it == network_->answers.end() || !it->second.ok) {
      error_ = L"internet_open_url-12007";
      return nullptr;
    }
    if (it->second.hang) {
      ::SetEvent(network_->stalled.Get());
      ::WaitForSingleObject(network_->release.Get(), INFINITE);
      return &it->second;
    }
    if (it->second.stall) {
      ::SetEvent(network_->stalled.Get());
      ::WaitForSingleObject(cancel_event, INFINITE);
      error_.clear();
      return nullptr;
    }
    return &it->second;
  }

  FakeNetwork* network_;
  std::map<std::string, std::string> headers_;
};

constexpr char kBrandSettings[] =
    "{\"brand_id\": \"br\", \"partner_id\": \"pa\", \"urls\": {"
    "\"variations\": \"https://seed.test/v\", \"abt\": \"https://seed.test/a\"},"
    " \"install\": {\"preloaded_wallpapers_url\": \"https://wp.test/set?id=\"}}";

class AsyncInstallTasksTest : public testing::Test {
 protected:
  void SetUp() override {
    lite_util::SetLogSink(new lite_util::RecordingSink(&log_));
    brand_.ApplyBrandInfo(kBrandSettings);
    variations_url_ = lite_util::Utf8ToWide(brand_.GetVariationsUrl());
    abt_url_ = lite_util::Utf8ToWide(brand_.GetAbtUrl());
  }
  void TearDown() override { lite_util::SetLogSink(nullptr); }

  std::unique_ptr<AsyncInstallTasks> Start(
      std::map<std::string, std::string> params,
      const BrandInfo* brand = nullptr) {
    distrib_.reset(new MapParams(std::move(params)));
    return std::unique_ptr<AsyncInstallTasks>(new AsyncInstallTasks(
        brand ? brand : &brand_, distrib_.get(), [this] {
          return std::unique_ptr<HttpDownloader>(new FakeDownloader(&net_));
        }));
  }

  // Destroys |tasks| (which waits for its thread) and returns the URLs
  // its downloads asked for, in order.
  std::vector<std::wstring> Finish(std::unique_ptr<AsyncInstallTasks> tasks) {
    tasks.reset();
    return net_.requested;
  }

  // Waits until |count| downloads have begun. Destruction cancels the tasks
  // that have not started yet, so a test that wants them all to run waits
  // for the last one first.
  void WaitForRequests(size_t count) {
    for (int i = 0; i < 3000; ++i) {
      {
        std::lock_guard<std::mutex> hold(net_.lock);
        if (net_.requested.size() >= count) return;
      }
      ::Sleep(10);
    }
  }

  FakeNetwork::Answer Seed(const std::string& body) {
    FakeNetwork::Answer answer;
    answer.body = body;
    answer.headers["X-Seed-Signature"] = "sig==";
    answer.headers["Last-Modified"] = "Tue, 09 May 2023 10:00:00 GMT";
    answer.headers["X-Country"] = "tr";
    return answer;
  }

  std::vector<lite_util::LogRecord> log_;
  BrandInfo brand_{L"C:\\unused\\"};
  std::unique_ptr<MapParams> distrib_;
  FakeNetwork net_;
  std::wstring variations_url_;
  std::wstring abt_url_;
};

TEST(SelectAsyncTasksTest, ParametersSwitchEachTask) {
  AsyncTaskSelection none = SelectAsyncTasks(nullptr);
  EXPECT_TRUE(none.variations);
  EXPECT_TRUE(none.abt);
  EXPECT_FALSE(none.webntp);
  EXPECT_FALSE(none.server_config);
  EXPECT_FALSE(none.wallpapers);

  MapParams off({{"vup", "0"}, {"abtup", ""}, {"webntp", "2"},
                            {"scup", "yes"}, {"pwexp", ""}});
  AsyncTaskSelection selection = SelectAsyncTasks(&off);
  EXPECT_FALSE(selection.variations);
  EXPECT_FALSE(selection.abt);
  EXPECT_FALSE(selection.webntp);
  EXPECT_FALSE(selection.server_config);
  EXPECT_FALSE(selection.wallpapers);

  MapParams on({{"vup", "1"}, {"abtup", "1"}, {"webntp", "1"},
                           {"scup", "1"}, {"pwexp", "0"}});
  selection = SelectAsyncTasks(&on);
  EXPECT_TRUE(selection.variations);
  EXPECT_TRUE(selection.abt);
  EXPECT_TRUE(selection.webntp);
  EXPECT_TRUE(selection.server_config);
  EXPECT_TRUE(selection.wallpapers);
  EXPECT_EQ("0", selection.wallpaper_parameter);
}

TEST(ServerConfigBundleUrlTest, AddsTheIdsThatAreSet) {
  const std::wstring base = L"https://api.browser.kelvra.example/configs/all_zip";
  EXPECT_EQ(base, ServerConfigBundleUrl("", ""));
  EXPECT_EQ(base + L"?brandID=b1", ServerConfigBundleUrl("b1", ""));
  EXPECT_EQ(base + L"?partnerID=p2", ServerConfigBundleUrl("", "p2"));
  EXPECT_EQ(base + L"?brandID=b1&partnerID=p2",
            ServerConfigBundleUrl("b1", "p2"));
}

TEST_F(AsyncInstallTasksTest, WithoutParametersOnlyTheSeedsRun) {
  auto tasks = Start({});
  EXPECT_FALSE(tasks->variations_path().empty());
  EXPECT_FALSE(tasks->abt_path().empty());
  EXPECT_NE(tasks->variations_path(), tasks->abt_path());
  EXPECT_TRUE(tasks->webntp_path().empty());
  EXPECT_TRUE(tasks->server_config_path().empty());
  EXPECT_TRUE(tasks->wallpaper_path().empty());
  // The reserved names are in the system temporary folder, without files.
  wchar_t temp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH + 1, temp);
  EXPECT_EQ(0u, tasks->variations_path().find(temp));
  EXPECT_TRUE(tasks->has_thread());
  WaitForRequests(2);
  std::vector<std::wstring> requested = Finish(std::move(tasks));
  EXPECT_EQ((std::vector<std::wstring>{variations_url_, abt_url_}),
            requested);
}

TEST_F(AsyncInstallTasksTest, EveryTaskRunsInQueueOrder) {
  net_.answers[variations_url_].hang = true;
  auto tasks = Start({{"webntp", "1"}, {"scup", "1"}, {"pwexp", "w7"}});
  ASSERT_EQ(WAIT_OBJECT_0,
            ::WaitForSingleObject(net_.stalled.Get(), 30000));
  // Each downloaded result is created at once and held: nobody can put
  // another file, or a link, in its place before its task writes it.
  for (const std::wstring* path :
       {&tasks->variations_path(), &tasks->abt_path(),
        &tasks->server_config_path(), &tasks->wallpaper_path()}) {
    EXPECT_FALSE(path->empty());
    EXPECT_TRUE(FileExists(*path));
    EXPECT_FALSE(CanOpenForWriting(*path));
    EXPECT_FALSE(::DeleteFileW(path->c_str()));
  }
  EXPECT_FALSE(tasks->webntp_path().empty());
  EXPECT_FALSE(FileExists(tasks->webntp_path()));
  ::SetEvent(net_.release.Get());
  std::wstring webntp = tasks->webntp_path();
  WaitForRequests(4);
  EXPECT_EQ(
      (std::vector<std::wstring>{
          variations_url_, abt_url_,
          L"https://api.browser.kelvra.example/configs/all_zip"
          L"?brandID=br&partnerID=pa",
          L"https://wp.test/set?id=w7"}),
      Finish(std::move(tasks)));
  // webntp only reserves its path: no file ever appears there.
  EXPECT_FALSE(FileExists(webntp));
}

TEST_F(AsyncInstallTasksTest, AllSwitchedOffStartsNoThread) {
  auto tasks = Start({{"vup", "0"}, {"abtup", "0"}});
  EXPECT_FALSE(tasks->has_thread());
  EXPECT_TRUE(tasks->variations_path().empty());
  EXPECT_TRUE(Finish(std::move(tasks)).empty());

  // webntp alone reserves a path and queues nothing.
  tasks = Start({{"vup", "0"}, {"abtup", "0"}, {"webntp", "1"}});
  EXPECT_FALSE(tasks->webntp_path().empty());
  EXPECT_FALSE(tasks->has_thread());
}

TEST_F(AsyncInstallTasksTest, WallpapersNeedTheBrandAddress) {
  BrandInfo plain(L"C:\\unused\\");
  plain.ApplyBrandInfo("{\"brand_id\": \"br\"}");
  auto tasks = Start({{"vup", "0"}, {"abtup", "0"}, {"pwexp", "w7"}}, &plain);
  // The path is reserved and handed on all the same.
  EXPECT_FALSE(tasks->wallpaper_path().empty());
  EXPECT_FALSE(tasks->has_thread());
  EXPECT_TRUE(Finish(std::move(tasks)).empty());
}

// The server-config download stalls until it is cancelled: once it has
// begun, both seed tasks before it are done and their files are final.
TEST_F(AsyncInstallTasksTest, SeedsAreSavedWithTheirHeaders) {
  net_.answers[variations_url_] = Seed(std::string("\x01\x02seed", 6));
  FakeNetwork::Answer abt = Seed("abt");
  abt.headers.erase("Last-Modified");
  abt.headers.erase("X-Country");
  net_.answers[abt_url_] = abt;
  net_.answers[ServerConfigBundleUrl("br", "pa")].stall = true;
  auto tasks = Start({{"scup", "1"}});
  std::wstring variations = tasks->variations_path();
  std::wstring abt_path = tasks->abt_path();
  ASSERT_EQ(WAIT_OBJECT_0,
            ::WaitForSingleObject(net_.stalled.Get(), 30000));
  EXPECT_EQ(
      "{\"variations_seed_base64\": \"AQJzZWVk\", "
      "\"variations_seed_signature\": \"sig==\", "
      "\"variations_last_modified_time\": \"Tue, 09 May 2023 10:00:00 GMT\", "
      "\"variations_country\": \"tr\"}",
      lite_util::ReadFileForTest(variations));
  EXPECT_EQ(
      "{\"variations_seed_base64\": \"YWJ0\", "
      "\"variations_seed_signature\": \"sig==\", "
      "\"variations_last_modified_time\": \"\", \"variations_country\": \"\"}",
      lite_util::ReadFileForTest(abt_path));
  tasks.reset();
  // Cancelled and waited for; the seed results are gone.
  EXPECT_FALSE(FileExists(variations));
  EXPECT_FALSE(FileExists(abt_path));
  EXPECT_EQ((std::vector<std::string>{
                "Variations are saved in " + lite_util::WideToUtf8(variations),
                "Variations are saved in " + lite_util::WideToUtf8(abt_path)}),
            lite_util::TextsLoggedBy(log_, "DownloadAndSaveVariations"));
  EXPECT_EQ(std::vector<std::string>{
                "Failed to download server config bundle: "},
            lite_util::TextsLoggedBy(log_, "DownloadServerConfigBundle"));
}

TEST_F(AsyncInstallTasksTest, SeedWithoutSignatureOrAnswerWritesNothing) {
  FakeNetwork::Answer unsigned_seed = Seed("seed");
  unsigned_seed.headers.erase("X-Seed-Signature");
  net_.answers[variations_url_] = unsigned_seed;
  // The ABT seed has no answer at all.
  net_.answers[ServerConfigBundleUrl("br", "pa")].stall = true;
  auto tasks = Start({{"scup", "1"}});
  std::wstring variations = tasks->variations_path();
  std::wstring abt_path = tasks->abt_path();
  ASSERT_EQ(WAIT_OBJECT_0,
            ::WaitForSingleObject(net_.stalled.Get(), 30000));
  EXPECT_FALSE(FileExists(variations));
  EXPECT_FALSE(FileExists(abt_path));
  tasks.reset();
  EXPECT_EQ((std::vector<std::string>{
                "Failed to get variations seed signature",
                "Failed to download variations seed: internet_open_url-12007"}),
            lite_util::TextsLoggedBy(log_, "DownloadAndSaveVariations"));
  for (const lite_util::LogRecord& record : log_) {
    if (std::string(record.function_name) == "DownloadAndSaveVariations") {
      EXPECT_EQ(lite_util::LOG_ERROR, record.severity);
    }
  }
}

TEST_F(AsyncInstallTasksTest, DestructionCancelsTheRunningTaskAndSkipsTheRest) {
  net_.answers[variations_url_].stall = true;
  net_.answers[abt_url_] = Seed("abt");
  auto tasks = Start({{"scup", "1"}, {"pwexp", "w7"}});
  ASSERT_EQ(WAIT_OBJECT_0,
            ::WaitForSingleObject(net_.stalled.Get(), 30000));
  EXPECT_EQ(std::vector<std::wstring>{variations_url_},
            Finish(std::move(tasks)));
}

// Signals an event when the last copy of the downloader factory goes,
// which is when the task thread has let go of its queue.
struct QueueReleased {
  explicit QueueReleased(HANDLE event) : event(event) {}
  ~QueueReleased() { ::SetEvent(event); }
  HANDLE event;
};

TEST_F(AsyncInstallTasksTest, IgnoredCancelDoesNotHoldDestruction) {
  FakeNetwork::Answer late = Seed("late seed");
  late.hang = true;
  net_.answers[variations_url_] = late;
  net_.answers[abt_url_] = Seed("abt");
  lite_util::ScopedEventHandle released(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  distrib_.reset(new MapParams(ParamMap()));
  {
    auto sentinel = std::make_shared<QueueReleased>(released.Get());
    FakeNetwork* net = &net_;
    std::unique_ptr<AsyncInstallTasks> tasks(new AsyncInstallTasks(
        &brand_, distrib_.get(), [net, sentinel] {
          return std::unique_ptr<HttpDownloader>(new FakeDownloader(net));
        }));
    const std::wstring variations = tasks->variations_path();
    ASSERT_EQ(WAIT_OBJECT_0,
              ::WaitForSingleObject(net_.stalled.Get(), 30000));
    DWORD begun = ::GetTickCount();
    tasks.reset();
    DWORD waited = ::GetTickCount() - begun;
    EXPECT_GE(waited + 50, kAsyncTasksCancelWaitMs);
    EXPECT_LT(waited, kAsyncTasksCancelWaitMs + 3000);
    EXPECT_EQ(1u, lite_util::TextsLoggedBy(log_, "~AsyncInstallTasks").size());

    // The late answer arrives after the results were deleted: nothing is
    // written and no further task runs.
    ::SetEvent(net_.release.Get());
    sentinel.reset();
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(released.Get(), 30000));
    EXPECT_FALSE(FileExists(variations));
  }
  EXPECT_EQ(std::vector<std::wstring>{variations_url_}, net_.requested);
  EXPECT_EQ(std::vector<std::string>{"Download cancelled: " +
                                     lite_util::WideToUtf8(variations_url_)},
            lite_util::TextsLoggedBy(log_, "DownloadAndSaveVariations"));
}

TEST_F(AsyncInstallTasksTest, DestructionKeepsOnlyWebNtpAndWallpapers) {
  net_.answers[variations_url_] = Seed("v");
  net_.answers[abt_url_] = Seed("a");
  net_.answers[ServerConfigBundleUrl("br", "pa")].body = "zip";
  net_.answers[L"https://wp.test/set?id=w7"].body = "wallpapers";
  auto tasks = Start({{"webntp", "1"}, {"scup", "1"}, {"pwexp", "w7"}});
  const std::wstring variations = tasks->variations_path();
  const std::wstring abt = tasks->abt_path();
  const std::wstring webntp = tasks->webntp_path();
  const std::wstring server_config = tasks->server_config_path();
  const std::wstring wallpapers = tasks->wallpaper_path();
  // The browser's own web new-tab page file, as the setup would leave it.
  WriteFile(webntp, "ntp");
  // The wallpapers are the last task: once their file can be read every
  // other result has been written.
  for (int i = 0; i < 3000 &&
                  lite_util::ReadFileForTest(wallpapers) != "wallpapers";
       ++i) {
    ::Sleep(10);
  }
  ASSERT_EQ("wallpapers", lite_util::ReadFileForTest(wallpapers));
  EXPECT_TRUE(FileExists(server_config));
  tasks.reset();
  EXPECT_FALSE(FileExists(variations));
  EXPECT_FALSE(FileExists(abt));
  EXPECT_FALSE(FileExists(server_config));
  EXPECT_EQ("ntp", lite_util::ReadFileForTest(webntp));
  EXPECT_EQ("wallpapers", lite_util::ReadFileForTest(wallpapers));
  ::DeleteFileW(webntp.c_str());
  ::DeleteFileW(wallpapers.c_str());
}

}  // namespace
}  // namespace lite_installer

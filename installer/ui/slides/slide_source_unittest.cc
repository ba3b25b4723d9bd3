#include "installer/ui/slides/slide_source.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/ui/slides/slide_show.h"

namespace lite_installer {
namespace {

// The build renders the test service's slides into build/<arch>/test_slides.
std::string ReadTestSlide(const std::wstring& relative) {
  wchar_t buffer[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path(buffer, length);
  path = path.substr(0, path.rfind(L'\\'));
  path = path.substr(0, path.rfind(L'\\') + 1) + L"test_slides\\" + relative;
  std::ifstream file(path.c_str(), std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

ResourceBitmap Picture(const std::string& bytes, double unit_scale = 1.0) {
  int status = 0;
  return ResourceBitmap::FromMemory(bytes.data(), bytes.size(), unit_scale,
                                    &status);
}

class RecordingSink : public lite_util::LogSink {
 public:
  explicit RecordingSink(std::vector<lite_util::LogRecord>* records,
                         std::mutex* lock)
      : records_(records), lock_(lock) {}
  void Emit(const lite_util::LogRecord& record) override {
    std::lock_guard<std::mutex> guard(*lock_);
    records_->push_back(record);
  }

 private:
  std::vector<lite_util::LogRecord>* records_;
  std::mutex* lock_;
};

// A slide folder in memory: name -> the bodies its requests get in turn
// (the last one repeats); a name not listed fails. Records every URL.
class FakeSlideFolder {
 public:
  void Serve(const std::wstring& name, std::vector<std::string> bodies) {
    std::lock_guard<std::mutex> guard(lock_);
    files_[name] = std::move(bodies);
  }
  void ServeEverything(const std::string& body) {
    std::lock_guard<std::mutex> guard(lock_);
    everything_ = body;
  }
  SlideFetcher Fetcher() {
    return [this](const std::wstring& url, const std::function<bool()>&,
                  std::string* body) {
      std::lock_guard<std::mutex> guard(lock_);
      urls_.push_back(url);
      if (!everything_.empty()) {
        *body = everything_;
        return true;
      }
      std::wstring name = url.substr(url.rfind(L'/') + 1);
      auto file = files_.find(name);
      if (file == files_.end()) return false;
      size_t turn = served_[name]++;
      const std::vector<std::string>& bodies = file->second;
      *body = bodies[turn < bodies.size() ? turn : bodies.size() - 1];
      return true;
    };
  }
  std::vector<std::wstring> urls() {
    std::lock_guard<std::mutex> guard(lock_);
    return urls_;
  }

 private:
  std::mutex lock_;
  std::map<std::wstring, std::vector<std::string>> files_;
  std::map<std::wstring, size_t> served_;
  std::string everything_;
  std::vector<std::wstring> urls_;
};

constexpr wchar_t kBase[] = L"https://cdn.example/browser/installer/en/";

class SlideSourceTest : public testing::Test {
 protected:
  void SetUp() override {
    slide02_ = ReadTestSlide(L"facetune\\en\\x2\\02.jpg");
    slide03_ = ReadTestSlide(L"facetune\\en\\x2\\03.jpg");
    origin02_ = ReadTestSlide(L"en\\x2\\02.jpg");
    ASSERT_FALSE(slide02_.empty());
    ASSERT_FALSE(slide03_.empty());
    ASSERT_FALSE(origin02_.empty());
  }

  std::string slide02_, slide03_, origin02_;
  FakeSlideFolder folder_;
};

TEST(SlideFileNameTest, TwoDigits) {
  EXPECT_EQ(L"02.jpg", SlideFileName(2));
  EXPECT_EQ(L"09.jpg", SlideFileName(9));
  EXPECT_EQ(L"10.jpg", SlideFileName(10));
  EXPECT_EQ(L"99.jpg", SlideFileName(99));
}

// The server has 02.jpg and 03.jpg only: two slides join the one initial
// picture, then ten attempts at 04.jpg fail and the thread ends.
TEST_F(SlideSourceTest, TwoSlidesThenTenFailuresEndTheThread) {
  folder_.Serve(L"02.jpg", {slide02_});
  folder_.Serve(L"03.jpg", {slide03_});
  std::vector<ResourceBitmap> initial = {Picture(origin02_)};
  SlideSource source(initial, kBase, folder_.Fetcher(), 0.5);
  ASSERT_TRUE(source.WaitForDownloads(60000));
  EXPECT_EQ(2, source.DownloadedCount());
  EXPECT_EQ(3, source.PictureCount());
  std::vector<std::wstring> urls = folder_.urls();
  ASSERT_EQ(12u, urls.size());
  EXPECT_EQ(std::wstring(kBase) + L"x2/02.jpg", urls[0]);
  EXPECT_EQ(std::wstring(kBase) + L"x2/03.jpg", urls[1]);
  for (size_t i = 2; i < urls.size(); ++i)
    EXPECT_EQ(std::wstring(kBase) + L"x2/04.jpg", urls[i]);
  // The show cycles the three: the initial one (1456 wide at unit scale 1),
  // then the two slides (802 x 430 at unit scale 0.5).
  for (int index = 0; index < 7; ++index) {
    ResourceBitmap picture = source.PictureAt(index);
    if (index % 3 == 0) {
      EXPECT_EQ(1456, picture.Width()) << index;
    } else {
      EXPECT_EQ(802, picture.Width()) << index;
      EXPECT_EQ(430, picture.Height()) << index;
    }
  }
}

// The first screen was skipped: its background is shown once, then the
// progress-screen background for good (offline: no slide joins).
TEST_F(SlideSourceTest, FirstScreenBackgroundShownOnce) {
  ResourceBitmap first = Picture(origin02_);         // 1456 wide
  ResourceBitmap progress = Picture(slide03_, 0.5);  // 802 wide
  SlideSource source({first, progress}, kBase, folder_.Fetcher(), 0.5);
  EXPECT_EQ(1456, source.PictureAt(0).Width());
  EXPECT_EQ(1456, source.PictureAt(0).Width());
  for (int index = 1; index < 6; ++index)
    EXPECT_EQ(802, source.PictureAt(index).Width()) << index;
  ASSERT_TRUE(source.WaitForDownloads(60000));
  EXPECT_EQ(1, source.PictureCount());
  EXPECT_EQ(10u, folder_.urls().size());
  EXPECT_EQ(802, source.PictureAt(0).Width());
}

// Offline with one initial picture: ten failures, the picture stays.
TEST_F(SlideSourceTest, OfflineKeepsTheOnePicture) {
  SlideSource source({Picture(slide03_, 0.5)}, kBase, folder_.Fetcher(), 0.5);
  ASSERT_TRUE(source.WaitForDownloads(60000));
  EXPECT_EQ(10u, folder_.urls().size());
  for (const std::wstring& url : folder_.urls())
    EXPECT_EQ(std::wstring(kBase) + L"x2/02.jpg", url);
  for (int index = 0; index < 4; ++index)
    EXPECT_EQ(802, source.PictureAt(index).Width());
}

// A server that answers every name stops at 99.jpg.
TEST_F(SlideSourceTest, CatchAllServerStopsAtNinetyNine) {
  folder_.ServeEverything(slide02_);
  SlideSource source({Picture(origin02_)}, kBase, folder_.Fetcher(), 0.5);
  ASSERT_TRUE(source.WaitForDownloads(300000));
  EXPECT_EQ(98, source.DownloadedCount());
  std::vector<std::wstring> urls = folder_.urls();
  ASSERT_EQ(98u, urls.size());
  EXPECT_EQ(std::wstring(kBase) + L"x2/99.jpg", urls.back());
}

// Undecodable bytes and a picture beyond 4096 pixels are logged and count
// as failures; the downloads go on.
TEST_F(SlideSourceTest, GarbageAndOversizedPicturesAreRefused) {
  std::string garbage = ReadTestSlide(L"extra\\not_a_picture.jpg");
  std::string too_large = ReadTestSlide(L"extra\\too_large.png");
  ASSERT_FALSE(garbage.empty());
  ASSERT_FALSE(too_large.empty());
  folder_.Serve(L"02.jpg", {garbage, too_large, slide02_});
  folder_.Serve(L"03.jpg", {slide03_});
  std::vector<lite_util::LogRecord> records;
  std::mutex lock;
  lite_util::SetLogSink(new RecordingSink(&records, &lock));
  {
    SlideSource source({Picture(origin02_)}, kBase, folder_.Fetcher(), 0.5);
    ASSERT_TRUE(source.WaitForDownloads(60000));
    EXPECT_EQ(2, source.DownloadedCount());
  }
  lite_util::SetLogSink(nullptr);
  const std::string line =
      "Failed to load a background slide bitmap from data downloaded from "
      "https://cdn.example/browser/installer/en/x2/02.jpg";
  int refused = 0;
  for (const lite_util::LogRecord& record : records) {
    if (record.text.find(line) == std::string::npos) continue;
    ++refused;
    EXPECT_STREQ("DownloadImage", record.function_name);
    EXPECT_EQ(lite_util::LOG_ERROR, record.severity);
  }
  EXPECT_EQ(2, refused);
  EXPECT_EQ(14u, folder_.urls().size());
}

// The destructor stops a download in progress: the fetcher sees the stop
// between pieces and the thread ends.
TEST_F(SlideSourceTest, DestructorStopsADownloadInProgress) {
  auto saw_stop = std::make_shared<std::atomic<bool>>(false);
  lite_util::ScopedEventHandle started(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE started_event = started.Get();
  SlideFetcher fetcher = [saw_stop, started_event](
                             const std::wstring&,
                             const std::function<bool()>& keep_going,
                             std::string*) {
    ::SetEvent(started_event);
    while (keep_going()) ::Sleep(10);
    *saw_stop = true;
    return true;
  };
  auto source = std::make_unique<SlideSource>(
      std::vector<ResourceBitmap>{Picture(origin02_)}, kBase, fetcher, 0.5);
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(started.Get(), 10000));
  source.reset();
  EXPECT_TRUE(saw_stop->load());
}

// A request that never returns: the destructor gives up waiting and the
// thread, once its request ends, still has everything it uses.
TEST_F(SlideSourceTest, StuckThreadOutlivesTheSource) {
  lite_util::ScopedEventHandle release(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  lite_util::ScopedEventHandle started(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  lite_util::ScopedEventHandle finished(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE release_event = release.Get();
  HANDLE started_event = started.Get();
  HANDLE finished_event = finished.Get();
  std::string body = slide02_;
  SlideFetcher fetcher = [=](const std::wstring&, const std::function<bool()>&,
                             std::string* out) {
    ::SetEvent(started_event);
    ::WaitForSingleObject(release_event, INFINITE);
    *out = body;
    ::SetEvent(finished_event);
    return true;
  };
  auto source = std::make_unique<SlideSource>(
      std::vector<ResourceBitmap>{Picture(origin02_)}, kBase, fetcher, 0.5);
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(started.Get(), 10000));
  source.reset();  // Waits kSlideSourceStopWaitMs, then leaves the thread.
  EXPECT_NE(WAIT_OBJECT_0, ::WaitForSingleObject(finished.Get(), 0));
  ::SetEvent(release.Get());
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(finished.Get(), 10000));
  // The thread saw the stop and appends nothing; give it time to end.
  ::Sleep(200);
}

// The show with a clock the test moves.
class SlideShowTest : public SlideSourceTest {
 protected:
  MicrosecondClock Clock() {
    return [this]() { return now_us_; };
  }
  int64_t now_us_ = 1000000;
};

TEST_F(SlideShowTest, ChangesOnTheFirstTickAfterThePeriod) {
  folder_.Serve(L"02.jpg", {slide02_});
  auto source = std::make_unique<SlideSource>(
      std::vector<ResourceBitmap>{Picture(slide03_, 0.5)}, kBase,
      folder_.Fetcher(), 0.5);
  ASSERT_TRUE(source->WaitForDownloads(60000));
  SlideShow show({802, 430}, std::move(source), nullptr, 10000, 1, Clock());
  EXPECT_FALSE(show.HasAdvanced());
  EXPECT_TRUE(show.Tick());   // The first slide needs its paint once.
  EXPECT_FALSE(show.Tick());  // Nothing changed: no repaint.
  now_us_ += 9999999;
  EXPECT_FALSE(show.Tick());
  EXPECT_EQ(0, show.index());
  now_us_ += 1;
  EXPECT_TRUE(show.Tick());
  EXPECT_FALSE(show.Tick());
  EXPECT_EQ(1, show.index());
  EXPECT_TRUE(show.HasAdvanced());
  // 802 x 430 at the bottom-left corner of the window.
  RECT rect = show.slide_rect();
  EXPECT_EQ(0, rect.left);
  EXPECT_EQ(0, rect.top);
  EXPECT_EQ(802, rect.right);
  EXPECT_EQ(430, rect.bottom);
  now_us_ += 10000000;
  EXPECT_TRUE(show.Tick());
  EXPECT_EQ(2, show.index());
}

TEST_F(SlideShowTest, DrawsTheSlideOnTheBottomLeftOverTheBrush) {
  // A window taller and wider than the 802 x 430 slide.
  lite_util::ScopedBrush brush(::CreateSolidBrush(RGB(207, 207, 207)));
  SlideShow show({900, 500},
                 std::make_unique<SlideSource>(
                     std::vector<ResourceBitmap>{Picture(slide02_, 0.5)},
                     L"", SlideFetcher(), 0.5),
                 brush.Get(), 10000, 1, Clock());
  RECT rect = show.slide_rect();
  EXPECT_EQ(70, rect.top);
  EXPECT_EQ(802, rect.right);
  EXPECT_EQ(500, rect.bottom);
  lite_util::ScopedGetDC screen(nullptr);
  lite_util::ScopedMemoryDC dc(::CreateCompatibleDC(screen.Get()));
  lite_util::ScopedBitmap bitmap(
      ::CreateCompatibleBitmap(screen.Get(), 900, 500));
  lite_util::ScopedSelectObject select(dc.Get(), bitmap.Get());
  RECT window = {0, 0, 900, 500};
  show.Draw(dc.Get(), window);
  // Above and right of the slide: the brush; inside: the slide's blue.
  EXPECT_EQ(RGB(207, 207, 207), ::GetPixel(dc.Get(), 450, 30));
  EXPECT_EQ(RGB(207, 207, 207), ::GetPixel(dc.Get(), 850, 300));
  COLORREF inside = ::GetPixel(dc.Get(), 20, 100);
  EXPECT_NEAR(0x1E, GetRValue(inside), 6);
  EXPECT_NEAR(0x2A, GetGValue(inside), 6);
  EXPECT_NEAR(0x4A, GetBValue(inside), 6);
}

}  // namespace
}  // namespace lite_installer

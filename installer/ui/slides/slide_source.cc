#include "installer/ui/slides/slide_source.h"

#include <atomic>
#include <utility>

#include "installer/install/download/download_sink.h"
#include "installer/install/download/http_downloader.h"
#include "installer/lite_util/logging/log.h"
#include "installer/ui/scale.h"

namespace lite_installer {

// One entry of the list: an initial picture, or a downloaded slide kept as
// its compressed bytes and decoded when it is shown (a decoded 1604 x 860
// slide takes 5.5 MB; 99 of them would not fit a 32-bit process).
struct SlideEntry {
  ResourceBitmap picture;
  std::shared_ptr<const std::string> bytes;
};

// Everything the download thread touches; shared with it, so that a thread
// that outlives the source (stuck in a request) never uses freed memory.
struct SlideSource::State {
  SRWLOCK lock = SRWLOCK_INIT;
  std::vector<SlideEntry> pictures;
  int retirable_count = 0;
  int downloaded_count = 0;
  std::wstring base_url;
  SlideFetcher fetcher;
  double unit_scale = 1.0;
  std::atomic<bool> running{true};
};

namespace {

class ExclusiveLock {
 public:
  explicit ExclusiveLock(SRWLOCK* lock) : lock_(lock) {
    ::AcquireSRWLockExclusive(lock_);
  }
  ~ExclusiveLock() { ::ReleaseSRWLockExclusive(lock_); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

 private:
  SRWLOCK* lock_;
};

// A downloaded picture GDI+ can decode and of an acceptable size; |status|
// gets the GDI+ status, or -1 for a picture that is too large.
ResourceBitmap DecodeSlide(const std::string& bytes, double unit_scale,
                           int* status) {
  ResourceBitmap picture =
      ResourceBitmap::FromMemory(bytes.data(), bytes.size(), unit_scale,
                                 status);
  if (!picture.IsEmpty() && (picture.pixel_width() > kSlideMaxPictureSide ||
                             picture.pixel_height() > kSlideMaxPictureSide)) {
    *status = -1;
    return ResourceBitmap();
  }
  return picture;
}

}  // namespace

std::wstring SlideFileName(int number) {
  std::wstring name = std::to_wstring(number);
  if (number <= 9) name = L"0" + name;
  return name + L".jpg";
}

bool FetchSlideWithHttpDownloader(const std::wstring& url,
                                  const std::function<bool()>& keep_going,
                                  std::string* body) {
  HttpDownloader downloader;
  downloader.set_timeout_ms(kSlideAttemptBudgetMs);
  StringDownloadSink sink(kSlideMaxBodyBytes);
  bool ok = downloader.OpenDownload(url, &sink);
  if (ok && downloader.total_size() > kSlideMaxBodyBytes) {
    LOG(WARNING) << "Slide " << url << " is too large: "
                 << downloader.total_size() << " bytes";
    return false;
  }
  while (ok && downloader.ReadChunk() > 0) {
    if (!keep_going()) {
      LOG(WARNING) << "Slide download abandoned: " << url;
      return false;
    }
  }
  if (!ok || !downloader.FinalizeDownload(nullptr)) {
    LOG(WARNING) << "Slide download failed: " << url << " "
                 << downloader.error();
    return false;
  }
  *body = sink.TakeBytes();
  return true;
}

SlideSource::SlideSource(std::vector<ResourceBitmap> initial_pictures,
                         const std::wstring& base_url)
    : SlideSource(std::move(initial_pictures), base_url,
                  &FetchSlideWithHttpDownloader, GetScaleFactor() * 0.5) {}

SlideSource::SlideSource(std::vector<ResourceBitmap> initial_pictures,
                         const std::wstring& base_url, SlideFetcher fetcher,
                         double unit_scale)
    : state_(std::make_shared<State>()) {
  for (ResourceBitmap& picture : initial_pictures)
    state_->pictures.push_back({std::move(picture), nullptr});
  state_->retirable_count = static_cast<int>(state_->pictures.size()) - 1;
  state_->base_url = base_url;
  state_->fetcher = std::move(fetcher);
  state_->unit_scale = unit_scale;
  if (base_url.empty() || !state_->fetcher) {
    state_->running = false;
    return;
  }
  // The thread holds its own reference to the state.
  auto* reference = new std::shared_ptr<State>(state_);
  thread_.Set(::CreateThread(nullptr, 0, &DownloadThread, reference, 0,
                             nullptr));
  if (!thread_.IsValid()) {
    PLOG(ERROR) << "Failed to start the slide download thread";
    delete reference;
    state_->running = false;
  }
}

SlideSource::~SlideSource() {
  state_->running = false;
  if (!thread_.IsValid()) return;
  if (::WaitForSingleObject(thread_.Get(), kSlideSourceStopWaitMs) !=
      WAIT_OBJECT_0) {
    LOG(WARNING) << "The slide download thread did not end within "
                 << kSlideSourceStopWaitMs << " ms; left to the process exit";
  }
}

DWORD WINAPI SlideSource::DownloadThread(void* parameter) {
  std::unique_ptr<std::shared_ptr<State>> reference(
      static_cast<std::shared_ptr<State>*>(parameter));
  State* state = reference->get();
  int failures = 0;
  while (state->running) {
    if (AttemptDownload(state)) {
      failures = 0;
    } else if (++failures >= kSlideMaxConsecutiveFailures) {
      LOG(INFO) << "Slide downloads end after " << failures
                << " failed attempts";
      state->running = false;
    }
  }
  return 0;
}

bool SlideSource::AttemptDownload(State* state) {
  int number;
  {
    ExclusiveLock lock(&state->lock);
    number = static_cast<int>(state->pictures.size()) -
             state->retirable_count + 1;
  }
  if (number > kSlideLastNumber) {
    LOG(INFO) << "Slide downloads end at " << kSlideLastNumber << " slides";
    state->running = false;
    return false;
  }
  const std::wstring url = state->base_url + L"x2/" + SlideFileName(number);
  const DWORD started = ::GetTickCount();
  auto keep_going = [state, started]() {
    return state->running &&
           ::GetTickCount() - started <= kSlideAttemptBudgetMs;
  };
  auto bytes = std::make_shared<std::string>();
  bool fetched = state->fetcher(url, keep_going, bytes.get());
  // A download that ended while the source was stopping does not count.
  if (!fetched || !state->running) return false;
  int status = 0;
  if (DecodeSlide(*bytes, state->unit_scale, &status).IsEmpty()) {
    lite_util::ErrorLogStatement(
        lite_util::LOG_ERROR, "DownloadImage", __LINE__,
        lite_util::DescribeWindowsError(ERROR_INVALID_DATA))
        << "Failed to load a background slide bitmap from data downloaded "
           "from "
        << url << " (GDI+ status " << status << ", "
        << static_cast<int>(bytes->size()) << " bytes)";
    return false;
  }
  ExclusiveLock lock(&state->lock);
  state->pictures.push_back({ResourceBitmap(), std::move(bytes)});
  ++state->downloaded_count;
  return true;
}

ResourceBitmap SlideSource::PictureAt(int index) {
  std::shared_ptr<const std::string> bytes;
  {
    ExclusiveLock lock(&state_->lock);
    std::vector<SlideEntry>& pictures = state_->pictures;
    if (pictures.empty()) return ResourceBitmap();
    if (index != 0 && state_->retirable_count > 0 && pictures.size() > 1) {
      pictures.erase(pictures.begin());
      --state_->retirable_count;
    }
    const SlideEntry& entry =
        pictures[static_cast<size_t>(index) % pictures.size()];
    if (!entry.bytes) return entry.picture;
    bytes = entry.bytes;
  }
  // Decoded outside the lock: the download thread may append meanwhile.
  int status = 0;
  return DecodeSlide(*bytes, state_->unit_scale, &status);
}

int SlideSource::PictureCount() const {
  ExclusiveLock lock(&state_->lock);
  return static_cast<int>(state_->pictures.size());
}

int SlideSource::DownloadedCount() const {
  ExclusiveLock lock(&state_->lock);
  return state_->downloaded_count;
}

bool SlideSource::WaitForDownloads(DWORD timeout_ms) const {
  return !thread_.IsValid() ||
         ::WaitForSingleObject(thread_.Get(), timeout_ms) == WAIT_OBJECT_0;
}

}  // namespace lite_installer

// The pictures of the progress screen's slide show: the initial pictures
// from the installer's resources, followed by slides downloaded in the
// background from the slide folder (x2/02.jpg, x2/03.jpg, ...) until ten
// attempts in a row fail.
#ifndef INSTALLER_UI_SLIDES_SLIDE_SOURCE_H_
#define INSTALLER_UI_SLIDES_SLIDE_SOURCE_H_

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "installer/lite_util/scoped_handle.h"
#include "installer/ui/resource_bitmap.h"

namespace lite_installer {

// Bounds of the slide downloads.
constexpr int kSlideMaxConsecutiveFailures = 10;
// Each attempt is abandoned when it takes longer; also the connect, send
// and receive time-out of its requests.
constexpr DWORD kSlideAttemptBudgetMs = 5000;
// The names have two digits: 99.jpg is the last slide asked for.
constexpr int kSlideLastNumber = 99;
constexpr size_t kSlideMaxBodyBytes = 8 * 1024 * 1024;
constexpr UINT kSlideMaxPictureSide = 4096;
// How long the destructor waits for the download thread; a thread stuck in
// a request is then left to the process exit.
constexpr DWORD kSlideSourceStopWaitMs = 5000;

// "02.jpg" for 2, "10.jpg" for 10.
std::wstring SlideFileName(int number);

// Downloads |url| into |body| (at most kSlideMaxBodyBytes). |keep_going| is
// asked between pieces of the body: false abandons the download. True when
// the whole body arrived with a success status.
using SlideFetcher =
    std::function<bool(const std::wstring& url,
                       const std::function<bool()>& keep_going,
                       std::string* body)>;
// The installer's downloader with kSlideAttemptBudgetMs time-outs.
bool FetchSlideWithHttpDownloader(const std::wstring& url,
                                  const std::function<bool()>& keep_going,
                                  std::string* body);

class SlideSource {
 public:
  // |base_url| is the slide folder (ending with "/"); empty downloads
  // nothing. Downloads with the installer's downloader; downloaded slides
  // measure (display scale factor / 2) device pixels per image pixel.
  SlideSource(std::vector<ResourceBitmap> initial_pictures,
              const std::wstring& base_url);
  // The same with another fetcher and unit scale (tests, probes).
  SlideSource(std::vector<ResourceBitmap> initial_pictures,
              const std::wstring& base_url, SlideFetcher fetcher,
              double unit_scale);
  SlideSource(const SlideSource&) = delete;
  SlideSource& operator=(const SlideSource&) = delete;
  // Stops the downloads and waits for the thread at most
  // kSlideSourceStopWaitMs; what the thread uses stays alive until it ends.
  virtual ~SlideSource();

  // The picture for slide |index|; any index but 0 first retires one
  // initial picture while more than one is left. Empty list: empty picture.
  ResourceBitmap PictureAt(int index);

  // Pictures in the list now (initial ones not yet retired, and slides).
  int PictureCount() const;
  int DownloadedCount() const;
  // Waits at most |timeout_ms| for the download thread to end; true when it
  // has ended (or never ran).
  bool WaitForDownloads(DWORD timeout_ms) const;

 private:
  struct State;
  static DWORD WINAPI DownloadThread(void* parameter);
  static bool AttemptDownload(State* state);

  std::shared_ptr<State> state_;
  lite_util::ScopedThreadHandle thread_;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_SLIDES_SLIDE_SOURCE_H_

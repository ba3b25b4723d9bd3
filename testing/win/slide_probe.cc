// The slide show's download side driven from the command line, a test
// program that is never shipped: a SlideSource with the installer's
// downloader against a slide folder, or a whole SlideShow in a window with
// the 20 ms timer for the benchmark.
//
// usage: slide_probe.exe --base=URL [--skip-first-screen] [--wait-ms=N]
//          [--force-device-scale-factor=F]
//        slide_probe.exe --base=URL --show-seconds=S [--period-ms=P]
// Prints (flushed) "ended 0|1" (whether the download thread ended within
// --wait-ms), "downloaded N", "count N", "picture I W H" for the slides of
// indices 0 to count + 1 (index 1 retires the first-screen background),
// then "destroyed_ms T" (how long the source's destruction took), and
// "log" lines. The show prints "show ticks N paints N index N
// downloaded N cpu_ms N private_bytes N" at the end.
#include <windows.h>
#include <psapi.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/main/command_line.h"
#include "installer/main/ui_environment.h"
#include "installer/ui/resource_bitmap.h"
#include "installer/ui/scale.h"
#include "installer/ui/slides/slide_show.h"
#include "installer/ui/slides/slide_source.h"
#include "testing/win/probe_output.h"

namespace lite_installer {
namespace {

constexpr UINT_PTR kSlideTimer = 1;
constexpr UINT_PTR kEndTimer = 2;

// The Facetune variant's pictures: its first screen and progress screen
// (802 x 430), as the main window hands them over.
std::vector<ResourceBitmap> InitialPictures(bool first_screen_skipped) {
  std::vector<ResourceBitmap> pictures;
  if (first_screen_skipped) pictures.push_back(ResourceBitmap::LoadPair(1021, 1022));
  pictures.push_back(ResourceBitmap::LoadPair(1023, 1024));
  return pictures;
}

int64_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(),
                       reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof(counters));
  // Wine leaves PrivateUsage 0; its PagefileUsage is the same commit charge.
  SIZE_T bytes = counters.PrivateUsage ? counters.PrivateUsage
                                       : counters.PagefileUsage;
  return static_cast<int64_t>(bytes);
}

int64_t ThreadCpuMilliseconds() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  auto ticks = [](const FILETIME& t) {
    return (static_cast<int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return (ticks(kernel) + ticks(user)) / 10000;
}

// The progress screen's loop: a 20 ms timer that ticks the show and
// repaints only when the slide changed.
class SlideShowWindow {
 public:
  SlideShowWindow(std::unique_ptr<SlideShow> show, int seconds)
      : show_(std::move(show)), seconds_(seconds) {}

  void Run() {
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &Proc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"KelvraSlideProbe";
    RegisterClassExW(&window_class);
    HWND window = CreateWindowExW(0, window_class.lpszClassName,
                                  L"Kelvra slides", WS_POPUP | WS_VISIBLE, 0,
                                  0, Scale(802), Scale(430), nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    cpu_start_ms_ = ThreadCpuMilliseconds();
    SetTimer(window, kSlideTimer, 20, nullptr);
    SetTimer(window, kEndTimer, seconds_ * 1000, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam,
                               LPARAM lparam) {
    auto* self =
        reinterpret_cast<SlideShowWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self) {
      switch (message) {
        case WM_TIMER:
          if (wparam == kSlideTimer) {
            ++self->ticks_;
            if (self->show_->Tick()) InvalidateRect(window, nullptr, FALSE);
          } else if (wparam == kEndTimer) {
            self->Report();
            DestroyWindow(window);
          }
          return 0;
        case WM_ERASEBKGND:
          return 1;
        case WM_PAINT: {
          ++self->paints_;
          lite_util::ScopedPaint paint(window);
          RECT client;
          GetClientRect(window, &client);
          self->show_->Draw(paint.Get(), client);
          return 0;
        }
        case WM_DESTROY:
          PostQuitMessage(0);
          return 0;
      }
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }

  void Report() {
    Say("show ticks %d paints %d index %d downloaded %d cpu_ms %lld "
        "private_bytes %lld",
        ticks_, paints_, show_->index(), show_->source()->DownloadedCount(),
        static_cast<long long>(ThreadCpuMilliseconds() - cpu_start_ms_),
        static_cast<long long>(PrivateBytes()));
  }

  std::unique_ptr<SlideShow> show_;
  int seconds_;
  int ticks_ = 0;
  int paints_ = 0;
  int64_t cpu_start_ms_ = 0;
};

}  // namespace
}  // namespace lite_installer

int wmain() {
  using namespace lite_installer;
  lite_util::SetLogSink(new StdoutLogSink());
  UiEnvironment environment;
  const CommandLine& command_line = CommandLine::ForCurrentProcess();
  std::wstring base = command_line.GetSwitchValueNative("base");
  bool skipped = command_line.HasSwitch("skip-first-screen");
  DWORD wait_ms = 120000;
  if (command_line.HasSwitch("wait-ms"))
    wait_ms = static_cast<DWORD>(
        std::atol(command_line.GetSwitchValueASCII("wait-ms").c_str()));
  Say("pid %lu", GetCurrentProcessId());
  Say("scale %.4f", GetScaleFactor());
  Say("private_bytes_start %lld", static_cast<long long>(PrivateBytes()));

  auto source = std::make_unique<SlideSource>(InitialPictures(skipped), base);
  if (command_line.HasSwitch("show-seconds")) {
    int seconds =
        std::atoi(command_line.GetSwitchValueASCII("show-seconds").c_str());
    float period = 10000;
    if (command_line.HasSwitch("period-ms"))
      period = static_cast<float>(
          std::atof(command_line.GetSwitchValueASCII("period-ms").c_str()));
    lite_util::ScopedBrush brush(CreateSolidBrush(RGB(207, 207, 207)));
    auto show = std::make_unique<SlideShow>(SIZE{Scale(802), Scale(430)},
                                            std::move(source), brush.Get(),
                                            period, 1);
    SlideShowWindow(std::move(show), seconds).Run();
    return 0;
  }

  bool ended = source->WaitForDownloads(wait_ms);
  Say("ended %d", ended ? 1 : 0);
  Say("downloaded %d", source->DownloadedCount());
  int count = source->PictureCount();
  Say("count %d", count);
  for (int index = 0; index <= count + 1; ++index) {
    ResourceBitmap picture = source->PictureAt(index);
    Say("picture %d %d %d", index, picture.Width(), picture.Height());
  }
  DWORD started = GetTickCount();
  source.reset();
  Say("destroyed_ms %lu", GetTickCount() - started);
  return 0;
}

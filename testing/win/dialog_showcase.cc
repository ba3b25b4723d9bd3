// The notice and error dialogs' showcase, a test program that is never
// shipped: it opens an owner window the size of the installer window and
// runs one dialog variant over it with the installer's template, pictures
// and strings, so that tests and people can look at each variant without
// the install flow.
//
// usage: dialog_showcase.exe --variant=V [--language=ID]
//          [--force-device-scale-factor=F] [--code=N] [--runs=N]
//          [--distr-info-params=TEXT] [--disable-error-dialog-download-button]
//          [--missing-picture] [--owner-size=WxH]
// Variants: confirm (confirm-cancel), disk-space, higher-version,
// corp-higher-version, corp-replace (notices), crypto, error (message 428),
// factory (ErrorDialogFactory with --code, brand language from --language).
// Prints (flushed) "pid", "scale", "owner X Y W H", then per run "dialog
// HWND X Y W H", "client W H", "control ID HWND X Y W H VISIBLE ENABLED
// TEXT" (client coordinates), "shadow X Y W H EXSTYLE", "ready", and
// "result N"; "open URL" when the download page would open, "log" lines.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "installer/brand/brand_info.h"
#include "installer/brand/distrib_info_params.h"
#include "installer/lite_util/logging/log.h"
#include "installer/main/command_line.h"
#include "installer/main/ui_environment.h"
#include "installer/ui/dialogs/error_dialog_factory.h"
#include "installer/ui/dialogs/notice_dialog.h"
#include "installer/ui/scale.h"
#include "testing/win/probe_output.h"

namespace lite_installer {
namespace {

constexpr UINT_PTR kFindDialogTimer = 1;
constexpr UINT kRunDialog = WM_APP + 1;

// Line breaks of a text as "\n", so that a report stays on one line.
std::string OneLine(const std::wstring& text) {
  std::string out;
  for (char c : Utf8(text)) {
    if (c == '\r') continue;
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out;
}

// Parameters from the switch only; nothing goes to the registry.
class SwitchOnlyDistribInfoParams : public DistribInfoParams {
 public:
  std::wstring GetOwnModulePath() const override { return std::wstring(); }
  void StoreInRegistry(const std::string&) override {}
};

std::wstring WindowText(HWND window) {
  wchar_t text[1024];
  int length = GetWindowTextW(window, text, 1024);
  return std::wstring(text, length > 0 ? length : 0);
}

struct Options {
  std::string variant = "confirm";
  int language = 1033;
  int code = 2;
  int runs = 1;
  bool missing_picture = false;
  SIZE owner_size = {728, 400};
};

class Showcase {
 public:
  explicit Showcase(const Options& options)
      : options_(options), brand_(L"C:\\") {}

  int Run() {
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &OwnerProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hbrBackground =
        static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    window_class.lpszClassName = L"KelvraDialogShowcaseOwner";
    RegisterClassExW(&window_class);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    int width = Scale(options_.owner_size.cx);
    int height = Scale(options_.owner_size.cy);
    int x = (info.rcWork.left + info.rcWork.right - width) / 2;
    int y = (info.rcWork.top + info.rcWork.bottom - height) / 2;
    owner_ = CreateWindowExW(WS_EX_APPWINDOW, window_class.lpszClassName,
                             L"Kelvra owner", WS_POPUP | WS_VISIBLE, x, y,
                             width, height, nullptr, nullptr,
                             GetModuleHandleW(nullptr), this);
    SetWindowLongPtrW(owner_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    RECT rect;
    GetWindowRect(owner_, &rect);
    Say("owner %ld %ld %ld %ld", rect.left, rect.top, rect.right - rect.left,
        rect.bottom - rect.top);
    UpdateWindow(owner_);
    PostMessageW(owner_, kRunDialog, 0, 0);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    return 0;
  }

 private:
  static LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wparam,
                                    LPARAM lparam) {
    auto* self = reinterpret_cast<Showcase*>(
        GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == kRunDialog) {
      self->RunDialogs();
      DestroyWindow(window);
      return 0;
    }
    if (self && message == WM_TIMER && wparam == kFindDialogTimer) {
      self->ReportDialog();
      return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wparam, lparam);
  }

  std::unique_ptr<NoticeDialog> MakeDialog() {
    const int lang = options_.language;
    const std::string& v = options_.variant;
    if (v == "confirm") return std::make_unique<ConfirmCancelDialog>(lang);
    if (v == "disk-space")
      return std::make_unique<NoticeDialog>(lang, 446, 447, 437, 0);
    if (v == "higher-version")
      return std::make_unique<NoticeDialog>(lang, 432, 433, 437, 0);
    if (v == "corp-higher-version")
      return std::make_unique<NoticeDialog>(lang, 466, 467, 437, 0);
    if (v == "corp-replace")
      return std::make_unique<NoticeDialog>(lang, 462, 463, 464, 465);
    if (v == "crypto") return std::make_unique<CryptoProErrorDialog>(lang);
    if (v == "error")
      return std::make_unique<ErrorMessageDialog>(lang, 428, nullptr);
    // "factory": the dialog the installer shows for an error code.
    brand_.set_default_language(lang == 1049 ? "ru" : "en");
    brand_.ApplyBrandDefaults();
    distrib_.Load(CommandLine::ForCurrentProcess(), L"C:\\");
    ErrorDialogFactory factory(&brand_, &distrib_);
    std::unique_ptr<NoticeDialog> dialog = factory.Create(options_.code);
    if (auto* download = dynamic_cast<DownloadErrorDialog*>(dialog.get())) {
      download->set_url_opener([](const std::wstring& url) {
        Say("open %s", Utf8(url).c_str());
        return true;
      });
    }
    return dialog;
  }

  void RunDialogs() {
    std::unique_ptr<NoticeDialog> dialog = MakeDialog();
    if (!dialog) {
      Say("no dialog");
      return;
    }
    if (options_.missing_picture) dialog->set_pictures(9999, 9998, 9997);
    // The same object runs again, as the main window's confirmation does.
    for (int run = 0; run < options_.runs; ++run) {
      dialog_ = dialog.get();
      reported_ = false;
      SetTimer(owner_, kFindDialogTimer, 100, nullptr);
      INT_PTR result = dialog->RunModal(owner_);
      KillTimer(owner_, kFindDialogTimer);
      Say("result %d", static_cast<int>(result));
    }
  }

  void ReportDialog() {
    if (reported_ || !dialog_) return;
    HWND window = dialog_->hwnd();
    if (!window || !IsWindowVisible(window)) return;
    reported_ = true;
    // A title for the tests' window search (the box has no caption).
    SetWindowTextW(window, L"Kelvra dialog");
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT rect;
    GetWindowRect(window, &rect);
    Say("dialog %llu %ld %ld %ld %ld",
        static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)),
        rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    RECT client;
    GetClientRect(window, &client);
    Say("client %ld %ld", client.right, client.bottom);
    Say("styles %lx %lx", static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
        static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)));
    for (HWND child = GetWindow(window, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
      RECT r;
      GetWindowRect(child, &r);
      MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
      Say("control %d %llu %ld %ld %ld %ld %d %d %s",
          static_cast<int>(static_cast<short>(GetDlgCtrlID(child))),
          static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(child)),
          r.left, r.top, r.right - r.left, r.bottom - r.top,
          IsWindowVisible(child) ? 1 : 0, IsWindowEnabled(child) ? 1 : 0,
          OneLine(WindowText(child)).c_str());
    }
    // The shadow: a top-level window the dialog owns.
    for (HWND top = GetTopWindow(nullptr); top;
         top = GetWindow(top, GW_HWNDNEXT)) {
      if (GetWindow(top, GW_OWNER) != window) continue;
      GetWindowRect(top, &rect);
      Say("shadow %ld %ld %ld %ld %lx %d", rect.left, rect.top,
          rect.right - rect.left, rect.bottom - rect.top,
          static_cast<unsigned long>(GetWindowLongW(top, GWL_EXSTYLE)),
          IsWindowVisible(top) ? 1 : 0);
    }
    Say("ready");
  }

  Options options_;
  BrandInfo brand_;
  SwitchOnlyDistribInfoParams distrib_;
  HWND owner_ = nullptr;
  NoticeDialog* dialog_ = nullptr;
  bool reported_ = false;
};

}  // namespace
}  // namespace lite_installer

int wmain() {
  using namespace lite_installer;
  lite_util::SetLogSink(new StdoutLogSink());
  UiEnvironment environment;
  const CommandLine& command_line = CommandLine::ForCurrentProcess();
  Options options;
  if (command_line.HasSwitch("variant"))
    options.variant = command_line.GetSwitchValueASCII("variant");
  if (command_line.HasSwitch("language"))
    options.language =
        std::atoi(command_line.GetSwitchValueASCII("language").c_str());
  if (command_line.HasSwitch("code"))
    options.code = std::atoi(command_line.GetSwitchValueASCII("code").c_str());
  if (command_line.HasSwitch("runs"))
    options.runs = std::atoi(command_line.GetSwitchValueASCII("runs").c_str());
  options.missing_picture = command_line.HasSwitch("missing-picture");
  if (command_line.HasSwitch("owner-size")) {
    std::string size = command_line.GetSwitchValueASCII("owner-size");
    options.owner_size.cx = std::atoi(size.c_str());
    options.owner_size.cy = std::atoi(size.substr(size.find('x') + 1).c_str());
  }
  Say("pid %lu", GetCurrentProcessId());
  Say("scale %.4f", GetScaleFactor());
  Showcase showcase(options);
  return showcase.Run();
}

// The window toolkit's showcase, a test program that is never shipped: it
// lays out the installer window's controls in either variant at the scale
// factor of its command line, with real pictures, fonts and strings, so
// that tests and people can look at them without the install flow.
//
// usage: control_showcase.exe [--variant=origin|facetune]
//          [--screen=first|progress|states] [--force-device-scale-factor=F]
//          [--progress=N] [--license=TEXT] [--language=ID]
//          [--steal-capture-ms=N] [--stray-move] [--no-shadow]
//          [--bench [--plain]]
// Prints (flushed) "pid", "scale", "themed", "window", "workarea",
// "control ID HWND X Y W H" (in the parent's client area), "run", "box",
// "picture" lines and "ready"; later "clicked", "moved", "capture",
// "pressed"/"released" (the drag state once the window has handled a left
// button press or release on its surface), "stray move" and "log" lines as
// things happen.
// --stray-move: after the first move of a drag the window is sent a mouse
// move without MK_LBUTTON, as when the button went up where the window did
// not see it; it reports its drag state before and after.
// Messages: WM_APP + 1 (wParam = control id) destroys that control and its
// object; WM_APP + 2 (wParam = percent) sets every progress bar.
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/main/command_line.h"
#include "installer/main/ui_environment.h"
#include "installer/ui/controls/control_order.h"
#include "installer/ui/controls/custom_progress_bar.h"
#include "installer/ui/controls/image_button.h"
#include "installer/ui/controls/image_check_box.h"
#include "installer/ui/controls/link_label.h"
#include "installer/ui/dialog_window.h"
#include "installer/ui/installation_window_style.h"
#include "installer/ui/localized_strings.h"
#include "installer/ui/scale.h"
#include "installer/ui/shadow_window.h"
#include "installer/ui/text_drawing.h"
#include "installer/ui/text_runs.h"
#include "testing/win/probe_output.h"

namespace lite_installer {
namespace {

constexpr UINT kDestroyControl = WM_APP + 1;
constexpr UINT kSetProgress = WM_APP + 2;
// Posted to itself: reports the drag state after the window has handled
// the mouse message in wParam; sends the stray mouse move.
constexpr UINT kReportDrag = WM_APP + 4;
constexpr UINT kStrayMove = WM_APP + 5;
constexpr UINT_PTR kStealCaptureTimer = 7;
constexpr int kFirstStateId = 3000;

std::wstring WindowText(HWND window) {
  wchar_t text[1024];
  int length = GetWindowTextW(window, text, 1024);
  return std::wstring(text, length > 0 ? length : 0);
}

struct Options {
  bool facetune = false;
  std::string screen = "first";
  int progress = 37;
  std::wstring license;
  LANGID language = 1033;
  int steal_capture_ms = 0;
  bool stray_move = false;
  bool no_shadow = false;
  // Benchmark: report the time to the first complete paint and the cost
  // of a progress step, then end; "plain" lays out standard controls only.
  bool bench = false;
  bool plain = false;
};

LARGE_INTEGER g_started;

double MicrosecondsSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return (now.QuadPart - start.QuadPart) * 1e6 / frequency.QuadPart;
}

constexpr UINT kBenchPainted = WM_APP + 3;

class Showcase : public DialogWindow {
 public:
  explicit Showcase(const Options& options) : options_(options) {
    if (options.facetune) {
      layout_ = std::make_shared<InstallationWindowLayoutFacetune>();
      style_ = std::make_unique<InstallationWindowStyleFacetune>(
          options.language, layout_);
    } else {
      layout_ = std::make_shared<InstallationWindowLayoutOrigin>();
      style_ = std::make_unique<InstallationWindowStyleOrigin>(
          options.language, layout_);
    }
  }
  ~Showcase() override {
    // Control objects go before the window's fonts they draw with.
    buttons_.clear();
    check_boxes_.clear();
    links_.clear();
    bars_.clear();
  }

  int GetDialogTemplateId() const override { return 1001; }

  bool HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                     LRESULT* result) override {
    switch (message) {
      case WM_INITDIALOG:
        if (options_.plain) {
          OnInitPlain();
        } else {
          OnInitDialog();
        }
        // Handled after the dialog manager has shown the window.
        PostMessageW(window, kBenchPainted, 0, 0);
        return true;
      case kBenchPainted:
        if (options_.bench) {
          OnBenchPainted(window);
        } else {
          RedrawWindow(window, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
          Say("painted");
        }
        return true;
      case WM_ERASEBKGND:
        if (options_.plain) return false;
        *result = 1;
        return true;
      case WM_PAINT:
        if (options_.plain) return false;
        OnPaint(window);
        *result = 0;
        return true;
      case WM_DRAWITEM:
        OnDrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lparam));
        *result = TRUE;
        return true;
      case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lparam);
        if (header->code != NM_CUSTOMDRAW) return false;
        *result = OnCustomDraw(*reinterpret_cast<NMCUSTOMDRAW*>(lparam));
        return true;
      }
      case WM_COMMAND:
        OnCommand(LOWORD(wparam), HIWORD(wparam),
                  reinterpret_cast<HWND>(lparam));
        *result = 0;
        return true;
      case WM_LBUTTONDOWN:
        if (options_.steal_capture_ms > 0)
          SetTimer(window, kStealCaptureTimer, options_.steal_capture_ms,
                   nullptr);
        PostMessageW(window, kReportDrag, message, 0);
        return false;
      case WM_LBUTTONUP:
        PostMessageW(window, kReportDrag, message, 0);
        return false;
      case kReportDrag:
        Say("%s dragging=%d", wparam == WM_LBUTTONDOWN ? "pressed" : "released",
            dragging() ? 1 : 0);
        return true;
      case kStrayMove: {
        POINT point;
        GetCursorPos(&point);
        ScreenToClient(window, &point);
        Say("stray move before dragging=%d", dragging() ? 1 : 0);
        SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
        Say("stray move after dragging=%d", dragging() ? 1 : 0);
        return true;
      }
      case WM_TIMER:
        if (wparam == kStealCaptureTimer) {
          KillTimer(window, kStealCaptureTimer);
          Say("capture stealing dragging=%d", dragging() ? 1 : 0);
          // Another window of this thread takes the mouse, as a menu or a
          // message box would.
          SetCapture(GetDlgItem(window, 224));
          Say("capture stolen dragging=%d", dragging() ? 1 : 0);
        }
        return true;
      case kDestroyControl:
        DestroyControl(static_cast<int>(wparam));
        return true;
      case kSetProgress:
        for (auto& bar : bars_)
          SendMessageW(bar->hwnd(), PBM_SETPOS, wparam, 0);
        for (auto& bar : bars_) UpdateWindow(bar->hwnd());
        *result = 1;
        return true;
      case WM_CLOSE:
        EndDialog(window, 2);
        return true;
    }
    if (message == move_message()) {
      shadow_.Follow(window);
      RECT rect;
      GetWindowRect(window, &rect);
      Say("moved %ld %ld", rect.left, rect.top);
      if (options_.stray_move && !stray_move_sent_) {
        stray_move_sent_ = true;
        PostMessageW(window, kStrayMove, 0, 0);
      }
      return true;
    }
    return false;
  }

 private:
  HWND Item(int id) const { return GetDlgItem(hwnd(), id); }

  void MakeFonts() {
    tagline_font_.Set(style_->CreateTaglineFont());
    button_font_.Set(style_->CreateButtonFont());
    text_font_.Set(style_->CreateTextFont());
    link_font_.Set(style_->CreateLinkFont());
    large_font_.Set(style_->CreateLargeTextFont());
    medium_font_.Set(style_->CreateMediumTextFont());
    small_font_.Set(style_->CreateSmallTextFont());
    small_link_font_.Set(style_->CreateSmallLinkFont());
  }

  void OnInitDialog() {
    MakeFonts();
    // A title without a caption bar (the template's CAPTION would add one).
    SetWindowTextW(hwnd(), L"Kelvra showcase");
    Say("scale %.4f", GetScaleFactor());
    Say("themed %d", IsAppThemed() ? 1 : 0);
    background_ = style_->FirstScreenBackground();
    Say("picture background %d %d %.4f", background_.Width(),
        background_.Height(), background_.unit_scale());
    SetWindowPos(hwnd(), nullptr, 0, 0, background_.Width(),
                 background_.Height(), SWP_NOMOVE | SWP_NOZORDER);
    int radius = layout_->CornerRadius();
    if (radius != 0) {
      lite_util::ScopedRegion region(CreateRoundRectRgn(
          0, 0, background_.WidthRoundedUp(), background_.HeightRoundedUp(),
          2 * Scale(radius), 2 * Scale(radius)));
      if (SetWindowRgn(hwnd(), region.Get(), TRUE)) region.Take();
    }
    CenterWindow(nullptr);
    if (options_.screen == "progress")
      LayoutProgress();
    else if (options_.screen == "states")
      LayoutStates();
    else
      LayoutFirst();
    if (options_.screen != "states" && !options_.no_shadow) {
      ShadowPictures pictures;
      for (int i = 0; i < 8; ++i)
        pictures.pieces[i] = style_->ShadowPicture(static_cast<ShadowPiece>(i));
      shadow_.Create(hwnd(), pictures, Scale(8),
                     Scale(layout_->ShadowCornerOverlap()));
    }
    // The main window's tab and z-order.
    StackControls(hwnd(), {1, 213, 214, 109, 112, 110, 218, 223});
    ReportLayout();
  }

  // The same template with standard controls at the same places: the
  // benchmark's yardstick.
  void OnInitPlain() {
    SIZE size = layout_->WindowSize();
    SetWindowPos(hwnd(), nullptr, 0, 0, Scale(size.cx), Scale(size.cy),
                 SWP_NOMOVE | SWP_NOZORDER);
    CenterWindow(nullptr);
    const int set = options_.facetune ? 3 : 7;
    LANGID lang = options_.language;
    SetItemText(107, style_->TaglineStringId(), lang);
    SetItemText(1, 410, lang);
    SetItemText(109, style_->DefaultBrowserStringId(), lang);
    SetItemText(110, 418, lang);
    SetItemText(112, 420, lang);
    SetItemText(218, 422, lang);
    auto place = [this](int id, const RECT& rect) {
      RECT r = ScaleRect(rect);
      SetWindowPos(Item(id), nullptr, r.left, r.top, r.right - r.left,
                   r.bottom - r.top, SWP_NOZORDER | SWP_SHOWWINDOW);
    };
    POINT install = layout_->InstallButtonOrigin();
    place(1, {install.x, install.y, install.x + 112, install.y + 32});
    POINT close = layout_->CloseButtonOrigin();
    place(213, {close.x, close.y, close.x + 12, close.y + 12});
    place(107, layout_->TaglineRect(set));
    place(109, layout_->DefaultBrowserCheckBoxRect(set));
    place(110, layout_->StatisticsCheckBoxRect(set));
    place(112, layout_->TaskbarCheckBoxRect(set));
    place(218, {84, 340, 170, 354});
    place(215, layout_->ProgressBarRect());
    SendMessageW(Item(215), PBM_SETRANGE32, 0, 100);
    std::vector<HWND> runs = CreateTextRuns(
        hwnd(), LicenseText(), ScaleRect(layout_->LicenseAreaRect()),
        text_font_.Get(), false, 222, 223);
    for (HWND run : runs) {
      // Standard controls: plain statics and buttons with the run's text.
      LONG_PTR style = GetWindowLongPtrW(run, GWL_STYLE);
      SetWindowLongPtrW(run, GWL_STYLE,
                        (style & ~static_cast<LONG_PTR>(0x1F)) |
                            (GetDlgCtrlID(run) == 223 ? BS_PUSHBUTTON
                                                      : SS_LEFT));
    }
    Say("ready");
  }

  void OnBenchPainted(HWND window) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    double first_paint = MicrosecondsSince(g_started);
    HWND bar = Item(215);
    if (!options_.plain && !bars_.empty()) bar = bars_.front()->hwnd();
    if (options_.plain) ShowWindow(bar, SW_SHOW);
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    const int kSteps = 100;
    for (int i = 1; i <= kSteps; ++i) {
      SendMessageW(bar, PBM_SETPOS, i, 0);
      UpdateWindow(bar);
    }
    double step = MicrosecondsSince(start) / kSteps;
    Say("bench first_paint_us %.0f step_us %.1f", first_paint, step);
    EndDialog(window, 1);
  }

  ImageButtonParams ButtonParams(ResourceBitmap strip, HFONT font,
                                 int focus_inset) {
    ImageButtonParams params;
    params.strip = std::move(strip);
    params.background = background_;
    params.font = font;
    params.focus_inset = focus_inset;
    return params;
  }

  ImageButton* AddButton(HWND window, ImageButtonParams params, POINT origin,
                         const std::wstring& name) {
    auto button = std::make_unique<ImageButton>(window, std::move(params));
    SIZE size = button->PictureSize();
    SetWindowPos(window, nullptr, origin.x, origin.y, size.cx, size.cy,
                 SWP_NOZORDER | SWP_SHOWWINDOW);
    button->accessibility().SetRole(kRolePushButton);
    button->accessibility().SetName(name.empty() ? WindowText(window) : name);
    buttons_.push_back(std::move(button));
    return buttons_.back().get();
  }

  ImageCheckBox* AddCheckBox(HWND window, const RECT& rect, bool checked) {
    ImageCheckBoxParams params;
    params.box_strip = style_->CheckBoxPictures();
    params.background = background_;
    params.font = text_font_.Get();
    params.text_color = style_->TextColor();
    params.text_opacity = style_->TextOpacity();
    params.text_gap = layout_->CheckBoxTextGap();
    params.checked = checked;
    auto box = std::make_unique<ImageCheckBox>(window, std::move(params));
    int height = box->RequiredHeight(rect);
    SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left,
                 height, SWP_NOZORDER | SWP_SHOWWINDOW);
    Say("box %d %d %d %d", GetDlgCtrlID(window), height, box->BoxSize().cy,
        box->TextIndent());
    ImageCheckBox* raw = box.get();
    check_boxes_[window] = std::move(box);
    return raw;
  }

  LinkLabel* AddLink(HWND window, HFONT font, COLORREF color, BYTE opacity) {
    links_.push_back(std::make_unique<LinkLabel>(window, background_, font,
                                                 color, opacity));
    return links_.back().get();
  }

  std::wstring LicenseText() const {
    std::wstring text = options_.license.empty()
                            ? LoadLocalizedString(438, options_.language)
                            : options_.license;
    if (options_.facetune && !text.empty() && text.back() == L'.')
      text.pop_back();
    return text;
  }

  void LayoutFirst() {
    const int set = options_.facetune ? 3 : 7;
    LANGID lang = options_.language;
    SetItemText(107, style_->TaglineStringId(), lang);
    SetItemText(1, 410, lang);
    SetItemText(109, style_->DefaultBrowserStringId(), lang);
    SetItemText(110, 418, lang);
    SetItemText(112, 420, lang);
    SetItemText(218, 422, lang);
    logo_ = style_->FirstScreenLogo();

    std::vector<HWND> runs =
        CreateTextRuns(hwnd(), LicenseText(), ScaleRect(layout_->LicenseAreaRect()),
                       text_font_.Get(), false, 222, 223);
    for (HWND run : runs) {
      if (GetDlgCtrlID(run) != 223) continue;
      LinkLabel* link = AddLink(run, link_font_.Get(), style_->TextColor(),
                                style_->LinkOpacity());
      link->accessibility().SetName(RemoveParentheses(LicenseText()));
    }

    ImageButtonParams install =
        ButtonParams(style_->InstallButtonPictures(), button_font_.Get(), 2);
    RECT insets = ScaleRect(layout_->InstallButtonTextInsets());
    install.text_insets = insets;
    POINT origin = layout_->InstallButtonOrigin();
    AddButton(Item(1), std::move(install), {Scale(origin.x), Scale(origin.y)},
              L"");
    origin = layout_->CloseButtonOrigin();
    AddButton(Item(213), ButtonParams(style_->CloseButtonPictures(), nullptr, 0),
              {Scale(origin.x), Scale(origin.y)},
              LoadLocalizedString(411, lang));
    if (layout_->HasMinimizeButton()) {
      origin = layout_->MinimizeButtonOrigin();
      AddButton(Item(214),
                ButtonParams(style_->MinimizeButtonPictures(), nullptr, 0),
                {Scale(origin.x), Scale(origin.y)},
                LoadLocalizedString(412, lang));
    }

    RECT tagline = ScaleRect(layout_->TaglineRect(set));
    SetWindowPos(Item(107), nullptr, tagline.left, tagline.top,
                 tagline.right - tagline.left, tagline.bottom - tagline.top,
                 SWP_NOZORDER | SWP_SHOWWINDOW);
    AddCheckBox(Item(109), ScaleRect(layout_->DefaultBrowserCheckBoxRect(set)),
                true);
    if (set & 4)
      AddCheckBox(Item(112), ScaleRect(layout_->TaskbarCheckBoxRect(set)),
                  false);
    RECT stat_rect = ScaleRect(layout_->StatisticsCheckBoxRect(set));
    ImageCheckBox* stat = AddCheckBox(Item(110), stat_rect, true);
    RECT stat_now;
    GetWindowRect(Item(110), &stat_now);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&stat_now), 2);
    int x = Scale(layout_->PrivacyLinkRect().left) +
            (options_.facetune ? stat->TextIndent() : ImageCheckBox::kBoxInset);
    SIZE size;
    {
      lite_util::ScopedGetDC dc(hwnd());
      lite_util::ScopedSelectObject select(dc.Get(), link_font_.Get());
      size = TextExtent(dc.Get(), WindowText(Item(218)));
    }
    SetWindowPos(Item(218), nullptr, x, stat_now.bottom, size.cx, size.cy,
                 SWP_NOZORDER | SWP_SHOWWINDOW);
    LinkLabel* privacy = AddLink(Item(218), link_font_.Get(),
                                 style_->TextColor(), style_->LinkOpacity());
    privacy->accessibility().SetName(LoadLocalizedString(422, lang));
  }

  void LayoutProgress() {
    LANGID lang = options_.language;
    background_ = style_->BuildProgressScreenBackground();
    logo_ = style_->ProgressScreenLogo();
    AddBar(Item(215), ScaleRect(layout_->ProgressBarRect()));
    std::wstring text = std::to_wstring(options_.progress) + L"%";
    if (options_.facetune) {
      int prefix = options_.progress <= 40 ? 407
                   : options_.progress <= 90 ? 408 : 409;
      text = LoadLocalizedString(prefix, lang) + text;
    }
    SetItemTextDirect(224, text);
    RECT text_rect = ScaleRect(layout_->ProgressTextRect());
    SetWindowPos(Item(224), nullptr, text_rect.left, text_rect.top,
                 text_rect.right - text_rect.left,
                 text_rect.bottom - text_rect.top,
                 SWP_NOZORDER | SWP_SHOWWINDOW);
    POINT origin = layout_->CloseButtonOrigin();
    AddButton(Item(212), ButtonParams(ResourceBitmap::LoadPair(101, 0), nullptr, 2),
              {Scale(origin.x), Scale(origin.y)}, LoadLocalizedString(411, lang));
    if (layout_->HasMinimizeButton()) {
      origin = layout_->MinimizeButtonOrigin();
      AddButton(Item(214),
                ButtonParams(style_->MinimizeButtonPictures(), nullptr, 0),
                {Scale(origin.x), Scale(origin.y)},
                LoadLocalizedString(412, lang));
    }
    DestroyWindow(Item(1));
    DestroyWindow(Item(213));
    // Only the Origin window repeats the licence line on its progress
    // screen; in Facetune the area would run into the progress bar.
    std::vector<HWND> runs;
    if (!options_.facetune) {
      runs = CreateTextRuns(hwnd(), LicenseText(),
                            ScaleRect(layout_->ProgressLicenseAreaRect()),
                            small_font_.Get(), true, 1013, 1014);
    }
    for (HWND run : runs) {
      if (GetDlgCtrlID(run) != 1014) continue;
      LinkLabel* link = AddLink(run, small_link_font_.Get(), RGB(0, 0, 0),
                                style_->ProgressLicenseLinkOpacity());
      link->accessibility().SetName(RemoveParentheses(LicenseText()));
    }
  }

  CustomProgressBar* AddBar(HWND window, const RECT& rect) {
    auto bar = std::make_unique<CustomProgressBar>(
        window, style_->ProgressFill(), style_->ProgressTrack(), background_);
    SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_SHOWWINDOW);
    SendMessageW(window, PBM_SETRANGE32, 0, 100);
    SendMessageW(window, PBM_SETPOS, options_.progress, 0);
    bars_.push_back(std::move(bar));
    return bars_.back().get();
  }

  HWND CreateChild(const wchar_t* class_name, const wchar_t* text, DWORD style,
                   int id) {
    return CreateWindowExW(0, class_name, text, WS_CHILD | style, 0, 0, 0, 0,
                           hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
  }

  // Every button picture in its three states, the check box in its six,
  // progress bars at 0, 37 and 100 percent, and a text sample.
  void LayoutStates() {
    const UINT kStates[3] = {0, CDIS_HOT, CDIS_SELECTED};
    int id = kFirstStateId;
    int y = Scale(20);
    struct Strip {
      ResourceBitmap pictures;
      HFONT font;
      const wchar_t* text;
    };
    std::vector<Strip> strips = {
        {style_->InstallButtonPictures(), button_font_.Get(), L"Install"},
        {style_->CloseButtonPictures(), nullptr, L""},
        {style_->MinimizeButtonPictures(), nullptr, L""},
        {ResourceBitmap::LoadPair(101, 0), nullptr, L""},
    };
    for (Strip& strip : strips) {
      if (strip.pictures.IsEmpty()) continue;
      int x = Scale(20);
      int height = 0;
      for (UINT state : kStates) {
        HWND window = CreateChild(L"Button", strip.text, BS_PUSHBUTTON, id++);
        ImageButton* button =
            AddButton(window, ButtonParams(strip.pictures, strip.font, 2),
                      {x, y}, L"");
        forced_[window] = state;
        Say("state %d button %u", GetDlgCtrlID(window), state);
        x += button->PictureSize().cx + Scale(10);
        height = button->PictureSize().cy;
      }
      y += height + Scale(10);
    }
    for (int checked = 0; checked < 2; ++checked) {
      int x = Scale(20);
      for (UINT state : kStates) {
        HWND window = CreateChild(L"Button", L"Option", BS_AUTOCHECKBOX, id++);
        AddCheckBox(window, {x, y, x + Scale(110), y + Scale(40)}, checked != 0);
        forced_[window] = state;
        Say("state %d check%d %u", GetDlgCtrlID(window), checked, state);
        x += Scale(120);
      }
      y += Scale(28);
    }
    HWND empty = CreateChild(L"Button", L"", BS_AUTOCHECKBOX, id++);
    AddCheckBox(empty, {Scale(380), Scale(20), Scale(480), Scale(60)}, false);
    Say("state %d empty 0", GetDlgCtrlID(empty));
    for (int percent : {0, 37, 100}) {
      options_.progress = percent;
      HWND window = CreateChild(PROGRESS_CLASSW, L"", 0, id++);
      int width = style_->ProgressFill().Width();
      AddBar(window, {Scale(20), y, Scale(20) + width, y + Scale(4)});
      Say("state %d bar %d", GetDlgCtrlID(window), percent);
      y += Scale(14);
    }
    HWND sample = CreateChild(L"Static", L"HIH", SS_OWNERDRAW | WS_VISIBLE,
                              id++);
    SetWindowPos(sample, nullptr, Scale(20), y, Scale(200), Scale(40),
                 SWP_NOZORDER);
    text_samples_[sample] = large_font_.Get();
    Say("state %d text %d", GetDlgCtrlID(sample), style_->TextOpacity());
  }

  void ReportLayout() {
    RECT rect;
    GetWindowRect(hwnd(), &rect);
    Say("window %ld %ld %ld %ld", rect.left, rect.top, rect.right - rect.left,
        rect.bottom - rect.top);
    RECT client;
    GetClientRect(hwnd(), &client);
    Say("client %ld %ld", client.right, client.bottom);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromWindow(hwnd(), MONITOR_DEFAULTTONEAREST), &info);
    Say("workarea %ld %ld %ld %ld", info.rcWork.left, info.rcWork.top,
        info.rcWork.right, info.rcWork.bottom);
    for (HWND child = GetWindow(hwnd(), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
      RECT r;
      GetWindowRect(child, &r);
      MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&r), 2);
      Say("control %d %llu %ld %ld %ld %ld %d %s", GetDlgCtrlID(child),
          static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(child)),
          r.left, r.top, r.right - r.left, r.bottom - r.top,
          IsWindowVisible(child) ? 1 : 0, Utf8(WindowText(child)).c_str());
    }
    Say("dialog %llu", static_cast<unsigned long long>(
                           reinterpret_cast<UINT_PTR>(hwnd())));
    Say("shadow %llu", static_cast<unsigned long long>(
                           reinterpret_cast<UINT_PTR>(shadow_.hwnd())));
    Say("ready");
  }

  void OnPaint(HWND window) {
    lite_util::ScopedPaint paint(window);
    RECT client;
    GetClientRect(window, &client);
    PaintDoubleBuffered(paint.Get(), client, [this](HDC dc, const RECT& rect) {
      background_.Draw(dc, 0, 0, rect.right, rect.bottom, 0, 0,
                       background_.Width(), background_.Height());
      if (!options_.facetune && options_.screen != "states") {
        RECT logo = ScaleRect(layout_->LogoRect());
        logo_.Draw(dc, logo.left, logo.top, logo_.Width(), logo_.Height(), 0,
                   0, logo_.Width(), logo_.Height());
      }
    });
  }

  void OnDrawItem(const DRAWITEMSTRUCT& draw) {
    HWND item = draw.hwndItem;
    auto box = check_boxes_.find(item);
    if (box != check_boxes_.end()) {
      DRAWITEMSTRUCT forced = draw;
      UINT state = forced_.count(item) ? forced_[item] : 0;
      if (state & CDIS_SELECTED) forced.itemState |= ODS_SELECTED;
      if (state & CDIS_HOT) forced.itemState |= ODS_HOTLIGHT;
      box->second->OnDrawItem(forced);
      return;
    }
    for (auto& link : links_) {
      if (link->hwnd() == item) {
        link->OnDrawItem(draw);
        return;
      }
    }
    int id = static_cast<int>(draw.CtlID);
    std::wstring text = WindowText(item);
    HFONT font = text_font_.Get();
    COLORREF color = style_->TextColor();
    BYTE opacity = style_->TextOpacity();
    UINT format = 0;
    if (id == 107) {
      font = tagline_font_.Get();
      color = style_->TaglineColor();
      opacity = 255;
      format = style_->IsTaglineCentred() ? DT_CENTER : 0;
    } else if (id == 224) {
      color = style_->ProgressTextColor();
      opacity = 255;
    } else if (text_samples_.count(item)) {
      font = text_samples_[item];
    }
    DrawBackgroundSliceFor(draw.hDC, item);
    if (id == 1013) {
      lite_util::ScopedSelectObject select(draw.hDC, small_font_.Get());
      SetBkMode(draw.hDC, TRANSPARENT);
      SetTextColor(draw.hDC, style_->ProgressLicenseColor());
      RECT rect = draw.rcItem;
      DrawTextW(draw.hDC, text.c_str(), -1, &rect, DT_WORDBREAK);
      return;
    }
    DrawAlphaText(draw.hDC, draw.rcItem, text, font, color, opacity, format);
  }

  void DrawBackgroundSliceFor(HDC dc, HWND item) {
    RECT rect;
    GetWindowRect(item, &rect);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    background_.Draw(dc, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                     rect.left, rect.top, rect.right - rect.left,
                     rect.bottom - rect.top);
  }

  LRESULT OnCustomDraw(const NMCUSTOMDRAW& draw) {
    NMCUSTOMDRAW forced = draw;
    auto state = forced_.find(draw.hdr.hwndFrom);
    if (state != forced_.end()) forced.uItemState |= state->second;
    for (auto& button : buttons_)
      if (button->hwnd() == draw.hdr.hwndFrom) return button->OnCustomDraw(forced);
    auto box = check_boxes_.find(draw.hdr.hwndFrom);
    if (box != check_boxes_.end()) return box->second->OnCustomDraw(forced);
    return CDRF_DODEFAULT;
  }

  void OnCommand(int id, int code, HWND control) {
    auto box = check_boxes_.find(control);
    if (box != check_boxes_.end() && code == BN_CLICKED) {
      box->second->OnClicked();
      Say("clicked %d checked %d", id, box->second->IsChecked() ? 1 : 0);
      return;
    }
    if (code == BN_CLICKED) Say("clicked %d", id);
    if (id == 213 && code == BN_CLICKED) EndDialog(hwnd(), 213);
  }

  void DestroyControl(int id) {
    HWND control = Item(id);
    if (!control) return;
    DestroyWindow(control);
    for (auto it = bars_.begin(); it != bars_.end(); ++it) {
      if (!(*it)->hwnd()) {
        bars_.erase(it);
        break;
      }
    }
    Say("destroyed %d", id);
  }

  Options options_;
  std::shared_ptr<InstallationWindowLayout> layout_;
  std::unique_ptr<InstallationWindowStyle> style_;
  lite_util::ScopedFont tagline_font_, button_font_, text_font_, link_font_,
      large_font_, medium_font_, small_font_, small_link_font_;
  ResourceBitmap background_;
  ResourceBitmap logo_;
  std::vector<std::unique_ptr<ImageButton>> buttons_;
  std::map<HWND, std::unique_ptr<ImageCheckBox>> check_boxes_;
  std::vector<std::unique_ptr<LinkLabel>> links_;
  std::vector<std::unique_ptr<CustomProgressBar>> bars_;
  std::map<HWND, UINT> forced_;
  std::map<HWND, HFONT> text_samples_;
  ShadowWindow shadow_;
  bool stray_move_sent_ = false;
};

}  // namespace
}  // namespace lite_installer

int wmain() {
  using namespace lite_installer;
  lite_util::SetLogSink(new StdoutLogSink());
  UiEnvironment environment;
  const CommandLine& command_line = CommandLine::ForCurrentProcess();
  Options options;
  options.facetune = command_line.GetSwitchValueASCII("variant") == "facetune";
  if (command_line.HasSwitch("screen"))
    options.screen = command_line.GetSwitchValueASCII("screen");
  if (command_line.HasSwitch("progress"))
    options.progress = std::atoi(command_line.GetSwitchValueASCII("progress").c_str());
  options.license = command_line.GetSwitchValueNative("license");
  if (command_line.HasSwitch("language"))
    options.language = static_cast<LANGID>(
        std::atoi(command_line.GetSwitchValueASCII("language").c_str()));
  options.steal_capture_ms =
      std::atoi(command_line.GetSwitchValueASCII("steal-capture-ms").c_str());
  options.stray_move = command_line.HasSwitch("stray-move");
  options.no_shadow = command_line.HasSwitch("no-shadow");
  options.bench = command_line.HasSwitch("bench");
  options.plain = command_line.HasSwitch("plain");
  Say("pid %lu", GetCurrentProcessId());
  if (command_line.HasSwitch("picture")) {
    // Loads one picture resource and reports its size (tests of missing
    // and damaged pictures).
    int id = std::atoi(command_line.GetSwitchValueASCII("picture").c_str());
    ResourceBitmap bitmap = ResourceBitmap::LoadPair(id, 0);
    Say("picture %d %d %d %d", id, bitmap.IsEmpty() ? 1 : 0, bitmap.Width(),
        bitmap.Height());
    return 0;
  }
  Showcase showcase(options);
  QueryPerformanceCounter(&g_started);
  INT_PTR result = showcase.RunModal(nullptr);
  Say("result %d", static_cast<int>(result));
  return 0;
}

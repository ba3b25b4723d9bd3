// Geometry and arithmetic of the window toolkit: centring, progress fill,
// shadow pieces, and the framework's handle map.
#include <gtest/gtest.h>

#include <memory>

#include <oleacc.h>

#include "installer/ui/controls/control_accessibility.h"
#include "installer/ui/controls/custom_progress_bar.h"
#include "installer/ui/dialog_window.h"
#include "installer/ui/shadow_window.h"

namespace lite_installer {
namespace {

TEST(CenteredOriginTest, CentresOnTheWorkArea) {
  RECT work = {0, 0, 1920, 1040};
  POINT origin = CenteredOrigin({728, 400}, work, work);
  EXPECT_EQ(origin.x, 596);
  EXPECT_EQ(origin.y, 320);
}

TEST(CenteredOriginTest, StaysInsideTheLimit) {
  RECT limit = {-1280, 0, 0, 1024};  // A monitor left of the first one.
  RECT owner = {-100, 900, 300, 1100};
  POINT origin = CenteredOrigin({400, 300}, owner, limit);
  EXPECT_EQ(origin.x, -400);
  EXPECT_EQ(origin.y, 724);
  POINT too_big = CenteredOrigin({2000, 2000}, limit, limit);
  EXPECT_EQ(too_big.x, -1280);
  EXPECT_EQ(too_big.y, 0);
}

TEST(ProgressFillWidthTest, SplitsTheBar) {
  EXPECT_EQ(ProgressFillWidth(292, 0, 100, 0), 0);
  EXPECT_EQ(ProgressFillWidth(292, 0, 100, 37), 108);
  EXPECT_EQ(ProgressFillWidth(292, 0, 100, 100), 292);
}

TEST(ProgressFillWidthTest, EmptyRangesWideRangesAndStrayPositions) {
  EXPECT_EQ(ProgressFillWidth(292, 50, 50, 50), 0);
  EXPECT_EQ(ProgressFillWidth(292, 60, 50, 55), 0);
  // 292 × 2,000,000,000 does not fit 32 bits.
  EXPECT_EQ(ProgressFillWidth(292, 0, 2000000000, 1000000000), 146);
  EXPECT_EQ(ProgressFillWidth(292, -2147483647 - 1, 2147483647, 0), 146);
  EXPECT_EQ(ProgressFillWidth(292, 0, 100, 150), 292);
  EXPECT_EQ(ProgressFillWidth(292, 0, 100, -5), 0);
}

TEST(ShadowPieceRectsTest, PiecesTileTheMargin) {
  RECT rects[8];
  ShadowPieceRects(728, 400, 8, 0, rects);
  RECT top_left = {0, 0, 16, 16};
  RECT bottom = {16, 408, 728, 416};
  RECT right = {736, 16, 744, 400};
  EXPECT_TRUE(EqualRect(&rects[0], &top_left));
  EXPECT_TRUE(EqualRect(&rects[7], &bottom));
  EXPECT_TRUE(EqualRect(&rects[6], &right));
  ShadowPieceRects(802, 430, 8, 1, rects);
  EXPECT_EQ(rects[0].right, 17);  // The 17-pixel corner pictures.
  EXPECT_EQ(rects[1].right - rects[1].left, 17);
}

class CountingWindow : public DialogWindow {
 public:
  bool HandleMessage(HWND, UINT message, WPARAM, LPARAM,
                     LRESULT* result) override {
    if (message == WM_USER + 1) {
      ++handled;
      *result = 42;
      return true;
    }
    return false;
  }
  int handled = 0;
};

TEST(DialogWindowTest, AttachSubclassesAndDestructionUnbinds) {
  CountingWindow object;
  RECT rect = {0, 0, 10, 10};
  HWND window = object.CreateChildWindow(nullptr, rect, L"probe", WS_POPUP,
                                         0, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(DialogWindow::FromHandle(window), &object);
  EXPECT_EQ(SendMessageW(window, WM_USER + 1, 0, 0), 42);
  EXPECT_EQ(object.handled, 1);
  WNDPROC subclassed =
      reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
  DestroyWindow(window);
  EXPECT_EQ(DialogWindow::FromHandle(window), nullptr);
  EXPECT_EQ(object.hwnd(), nullptr);
  EXPECT_NE(subclassed, nullptr);
}

TEST(DialogWindowTest, DetachRestoresThePreviousProcedure) {
  CountingWindow object;
  HWND window = CreateWindowExW(0, L"Static", L"x", WS_POPUP, 0, 0, 5, 5,
                                nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  LONG_PTR before = GetWindowLongPtrW(window, GWLP_WNDPROC);
  ASSERT_TRUE(object.Attach(window));
  EXPECT_NE(GetWindowLongPtrW(window, GWLP_WNDPROC), before);
  object.Detach();
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), before);
  EXPECT_EQ(SendMessageW(window, WM_USER + 1, 0, 0), 0);
  // Attached again, as the confirm-cancel dialog is.
  ASSERT_TRUE(object.Attach(window));
  EXPECT_EQ(SendMessageW(window, WM_USER + 1, 0, 0), 42);
  DestroyWindow(window);
}

TEST(ControlAccessibilityTest, ObjectAnswersUntilItsControlIsGone) {
  CoInitialize(nullptr);
  HWND control = CreateWindowExW(0, L"Button", L"Go", WS_POPUP, 0, 0, 20, 20,
                                 nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(control, nullptr);
  auto accessibility = std::make_unique<ControlAccessibility>(control);
  accessibility->SetRole(kRoleProgressBar);
  accessibility->SetName(L"Progress");
  accessibility->SetValue(L"37%");
  // What AccessibleObjectFromWindow does in the control's own process.
  static const IID kIid = {0x618736e0, 0x3c3d, 0x11cf,
                           {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
  LRESULT lresult = SendMessageW(control, WM_GETOBJECT, 0,
                                 static_cast<LPARAM>(OBJID_CLIENT));
  ASSERT_GT(lresult, 0);
  IAccessible* object = nullptr;
  ASSERT_EQ(ObjectFromLresult(lresult, kIid, 0,
                              reinterpret_cast<void**>(&object)),
            S_OK);
  VARIANT self;
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  VARIANT role;
  VariantInit(&role);
  ASSERT_EQ(object->get_accRole(self, &role), S_OK);
  EXPECT_EQ(role.lVal, kRoleProgressBar);
  BSTR value = nullptr;
  ASSERT_EQ(object->get_accValue(self, &value), S_OK);
  EXPECT_STREQ(value, L"37%");
  SysFreeString(value);
  // The control goes; the client still holds the object.
  DestroyWindow(control);
  BSTR name = nullptr;
  EXPECT_EQ(object->get_accName(self, &name), CO_E_OBJNOTCONNECTED);
  EXPECT_EQ(object->get_accRole(self, &role), CO_E_OBJNOTCONNECTED);
  accessibility.reset();
  EXPECT_EQ(object->get_accValue(self, &value), CO_E_OBJNOTCONNECTED);
  object->Release();
  CoUninitialize();
}

}  // namespace
}  // namespace lite_installer

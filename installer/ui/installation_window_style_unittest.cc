// The two window variants' styles: every value they answer, the picture ids
// they load, and the eight fonts as the system made them (GetObjectW), at
// scale factor 1 in this process and at 2 in a second process started with
// "--force-device-scale-factor=2".
#include "installer/ui/installation_window_style.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "installer/lite_util/child_process_test_util.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"
#include "installer/ui/installation_window_layout.h"
#include "installer/ui/scale.h"

namespace lite_installer {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kGrey = RGB(207, 207, 207);
// Set (to a file for the result) in the second process only.
constexpr char kChildOutputVariable[] = "LITE_STYLE_FONTS_CHILD_OUTPUT";

// The style's own table, which decides which pictures it loads.
class OriginStyleProbe : public InstallationWindowStyleOrigin {
 public:
  OriginStyleProbe()
      : InstallationWindowStyleOrigin(
            1033, std::make_shared<InstallationWindowLayoutOrigin>()) {}
  using InstallationWindowStyle::table_;
};

class FacetuneStyleProbe : public InstallationWindowStyleFacetune {
 public:
  FacetuneStyleProbe()
      : InstallationWindowStyleFacetune(
            1033, std::make_shared<InstallationWindowLayoutFacetune>()) {}
  using InstallationWindowStyle::table_;
};

void ExpectPair(const PicturePair& pair, int id_1x, int id_2x,
                const char* role) {
  EXPECT_EQ(pair.id_1x, id_1x) << role;
  EXPECT_EQ(pair.id_2x, id_2x) << role;
}

COLORREF BrushColor(HBRUSH brush) {
  LOGBRUSH description = {};
  EXPECT_EQ(static_cast<int>(sizeof(description)),
            ::GetObjectW(brush, sizeof(description), &description));
  EXPECT_EQ(static_cast<UINT>(BS_SOLID), description.lbStyle);
  return description.lbColor;
}

TEST(InstallationWindowStyleTest, OriginValues) {
  OriginStyleProbe style;
  const StyleTable& t = style.table_;
  ExpectPair(t.check_box, 1002, 0, "check box");
  ExpectPair(t.first_screen_background, 1006, 0, "first-screen background");
  ExpectPair(t.install_button, 1007, 0, "install button");
  ExpectPair(t.close_button, 103, 0, "close button");
  ExpectPair(t.minimize_button, 0, 0, "minimize button");
  ExpectPair(t.progress_fill, 1008, 0, "progress fill");
  ExpectPair(t.progress_track, 1009, 0, "progress track");
  ExpectPair(t.first_screen_logo, 1003, 1015, "first-screen logo");
  ExpectPair(t.first_screen_logo_1049, 1011, 1017, "first-screen logo 1049");
  ExpectPair(t.progress_logo, 1005, 1016, "progress logo");
  ExpectPair(t.progress_logo_1049, 1012, 1018, "progress logo 1049");
  ExpectPair(t.progress_picture, 1004, 0, "progress picture");
  ExpectPair(t.progress_picture_1049, 1010, 0, "progress picture 1049");
  const int shadow[8] = {225, 226, 227, 228, 229, 230, 231, 232};
  for (int i = 0; i < 8; ++i) ExpectPair(t.shadow[i], shadow[i], 0, "shadow");

  EXPECT_EQ(404, style.TaglineStringId());
  EXPECT_EQ(417, style.DefaultBrowserStringId());
  EXPECT_TRUE(style.IsTaglineCentred());
  EXPECT_EQ(184, style.TextOpacity());
  EXPECT_EQ(184, style.LinkOpacity());
  EXPECT_EQ(255, style.ProgressLicenseLinkOpacity());
  EXPECT_EQ(kWhite, style.TextColor());
  EXPECT_EQ(kWhite, style.TaglineColor());
  EXPECT_EQ(kBlack, style.ProgressTextColor());
  EXPECT_EQ(kBlack, style.ProgressLicenseColor());
  EXPECT_EQ(kBlack, style.ProgressLicenseLinkColor());
  EXPECT_EQ(kWhite, BrushColor(style.BackgroundBrush()));
  EXPECT_STREQ(L"Arial", style.TaglineFace());
  EXPECT_STREQ(L"Arial", style.TextFace());
  EXPECT_STREQ(L"SegoeUI", style.ButtonFace());
  EXPECT_EQ(32, style.TaglineSize());
  EXPECT_EQ(12, style.TextSize());
  EXPECT_EQ(15, style.ButtonSize());
  EXPECT_EQ(28, style.LargeSize());
  EXPECT_EQ(15, style.MediumSize());
  EXPECT_EQ(11, style.SmallSize());
}

TEST(InstallationWindowStyleTest, FacetuneValues) {
  FacetuneStyleProbe style;
  const StyleTable& t = style.table_;
  ExpectPair(t.check_box, 1019, 1020, "check box");
  ExpectPair(t.first_screen_background, 1021, 1022, "first-screen background");
  ExpectPair(t.install_button, 1025, 0, "install button");
  ExpectPair(t.close_button, 1026, 1027, "close button");
  ExpectPair(t.minimize_button, 1028, 1029, "minimize button");
  ExpectPair(t.progress_fill, 1030, 1031, "progress fill");
  ExpectPair(t.progress_track, 1032, 1033, "progress track");
  ExpectPair(t.first_screen_logo, 1003, 1015, "first-screen logo");
  ExpectPair(t.first_screen_logo_1049, 1011, 1017, "first-screen logo 1049");
  ExpectPair(t.progress_logo, 1005, 1016, "progress logo");
  ExpectPair(t.progress_logo_1049, 1012, 1018, "progress logo 1049");
  ExpectPair(t.progress_picture, 1023, 1024, "progress picture");
  ExpectPair(t.progress_picture_1049, 1023, 1024, "progress picture 1049");
  for (int i = 0; i < 8; ++i)
    ExpectPair(t.shadow[i], 1034 + i, 1042 + i, "shadow");

  EXPECT_EQ(405, style.TaglineStringId());
  EXPECT_EQ(417, style.DefaultBrowserStringId());
  EXPECT_FALSE(style.IsTaglineCentred());
  EXPECT_EQ(168, style.TextOpacity());
  EXPECT_EQ(255, style.LinkOpacity());
  EXPECT_EQ(255, style.ProgressLicenseLinkOpacity());
  EXPECT_EQ(kBlack, style.TextColor());
  EXPECT_EQ(kBlack, style.TaglineColor());
  EXPECT_EQ(kBlack, style.ProgressTextColor());
  EXPECT_EQ(kBlack, style.ProgressLicenseColor());
  EXPECT_EQ(kBlack, style.ProgressLicenseLinkColor());
  EXPECT_EQ(kGrey, BrushColor(style.BackgroundBrush()));
  EXPECT_STREQ(L"Kelvra Sans Display Bold", style.TaglineFace());
  EXPECT_STREQ(L"Kelvra Sans Text Regular", style.TextFace());
  EXPECT_STREQ(L"Kelvra Sans Text Regular", style.ButtonFace());
  EXPECT_EQ(36, style.TaglineSize());
  EXPECT_EQ(12, style.TextSize());
  EXPECT_EQ(18, style.ButtonSize());
  EXPECT_EQ(28, style.LargeSize());
  EXPECT_EQ(15, style.MediumSize());
  EXPECT_EQ(11, style.SmallSize());
}

struct ExpectedFont {
  const char* role;
  const wchar_t* face;
  int size;
  LONG weight;
  bool underline;
};

// Checks the eight fonts of |style| against |expected| (tagline, button,
// text, link, large, medium, small, small link) at |factor|; returns how
// many fonts were checked.
int CheckFonts(const InstallationWindowStyle& style,
               const std::vector<ExpectedFont>& expected, int factor) {
  lite_util::ScopedFont fonts[8] = {
      lite_util::ScopedFont(style.CreateTaglineFont()),
      lite_util::ScopedFont(style.CreateButtonFont()),
      lite_util::ScopedFont(style.CreateTextFont()),
      lite_util::ScopedFont(style.CreateLinkFont()),
      lite_util::ScopedFont(style.CreateLargeTextFont()),
      lite_util::ScopedFont(style.CreateMediumTextFont()),
      lite_util::ScopedFont(style.CreateSmallTextFont()),
      lite_util::ScopedFont(style.CreateSmallLinkFont()),
  };
  EXPECT_EQ(8u, expected.size());
  int checked = 0;
  for (size_t i = 0; i < expected.size() && i < 8; ++i) {
    const ExpectedFont& want = expected[i];
    SCOPED_TRACE(want.role);
    EXPECT_TRUE(fonts[i].IsValid());
    LOGFONTW font = {};
    if (::GetObjectW(fonts[i].Get(), sizeof(font), &font) !=
        static_cast<int>(sizeof(font))) {
      ADD_FAILURE() << "GetObjectW";
      continue;
    }
    EXPECT_EQ(-want.size * factor, font.lfHeight);
    EXPECT_EQ(0, font.lfWidth);
    EXPECT_EQ(0, font.lfEscapement);
    EXPECT_EQ(0, font.lfOrientation);
    EXPECT_EQ(want.weight, font.lfWeight);
    EXPECT_EQ(0, font.lfItalic);
    EXPECT_EQ(want.underline ? 1 : 0, font.lfUnderline);
    EXPECT_EQ(0, font.lfStrikeOut);
    EXPECT_EQ(DEFAULT_CHARSET, font.lfCharSet);
    EXPECT_EQ(OUT_DEFAULT_PRECIS, font.lfOutPrecision);
    EXPECT_EQ(CLIP_DEFAULT_PRECIS, font.lfClipPrecision);
    EXPECT_EQ(DEFAULT_QUALITY, font.lfQuality);
    EXPECT_EQ(DEFAULT_PITCH, font.lfPitchAndFamily);
    EXPECT_STREQ(want.face, font.lfFaceName);
    ++checked;
  }
  return checked;
}

const std::vector<ExpectedFont>& OriginFonts() {
  static const std::vector<ExpectedFont> fonts = {
      {"tagline", L"Arial", 32, 400, false},
      {"button", L"SegoeUI", 15, 400, false},
      {"text", L"Arial", 12, 400, false},
      {"link", L"Arial", 12, 400, true},
      {"large", L"Arial", 28, 400, false},
      {"medium", L"Arial", 15, 400, false},
      {"small", L"Arial", 11, 400, false},
      {"small link", L"Arial", 11, 400, true},
  };
  return fonts;
}

const std::vector<ExpectedFont>& FacetuneFonts() {
  static const std::vector<ExpectedFont> fonts = {
      {"tagline", L"Kelvra Sans Display Bold", 36, 700, false},
      {"button", L"Kelvra Sans Text Regular", 18, 400, false},
      {"text", L"Kelvra Sans Text Regular", 12, 400, false},
      {"link", L"Kelvra Sans Text Regular", 12, 400, false},
      {"large", L"Kelvra Sans Text Regular", 28, 400, false},
      {"medium", L"Kelvra Sans Text Regular", 15, 400, false},
      {"small", L"Kelvra Sans Text Regular", 11, 400, false},
      {"small link", L"Kelvra Sans Text Regular", 11, 400, true},
  };
  return fonts;
}

int CheckBothVariants(int factor) {
  OriginStyleProbe origin;
  FacetuneStyleProbe facetune;
  int checked = 0;
  {
    SCOPED_TRACE("origin");
    checked += CheckFonts(origin, OriginFonts(), factor);
  }
  {
    SCOPED_TRACE("facetune");
    checked += CheckFonts(facetune, FacetuneFonts(), factor);
  }
  return checked;
}

TEST(InstallationWindowStyleTest, FontsAtScaleOne) {
  // The test program runs on a 96 DPI screen without a forced factor.
  ASSERT_EQ(1.0, GetScaleFactor());
  EXPECT_EQ(16, CheckBothVariants(1));
}

// Runs in a second process started with "--force-device-scale-factor=2"
// (the factor is the process's, computed once): checks the fonts at 2 and
// writes how many it checked.
TEST(InstallationWindowStyleChildProcess, FontsAtScaleTwo) {
  char output[MAX_PATH];
  if (!::GetEnvironmentVariableA(kChildOutputVariable, output, MAX_PATH))
    GTEST_SKIP() << "runs only as the child of the scale-two test";
  ASSERT_EQ(2.0, GetScaleFactor());
  int checked = CheckBothVariants(2);
  std::ofstream(output, std::ios::binary)
      << (::testing::Test::HasFailure() ? -1 : checked);
}

TEST(InstallationWindowStyleTest, FontsAtScaleTwo) {
  wchar_t temp[MAX_PATH];
  ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
  std::wstring output = std::wstring(temp) + L"lite_style_fonts_child.txt";
  ::DeleteFileW(output.c_str());
  lite_util::ScopedProcessHandle child = lite_util::StartTestChild(
      L"--gtest_filter=InstallationWindowStyleChildProcess.* "
      L"--force-device-scale-factor=2",
      kChildOutputVariable, output);
  ASSERT_TRUE(child.IsValid());
  EXPECT_EQ(0u, lite_util::WaitForTestChild(child.Get()));

  std::ifstream in(lite_util::WideToUtf8(output), std::ios::binary);
  std::string result((std::istreambuf_iterator<char>(in)),
                     std::istreambuf_iterator<char>());
  in.close();
  ::DeleteFileW(output.c_str());
  EXPECT_EQ("16", result);
}

}  // namespace
}  // namespace lite_installer

#include "installer/ui/installation_window_style.h"

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/test_seams.h"
#include "installer/ui/scale.h"

namespace lite_installer {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr wchar_t kArial[] = L"Arial";
// Written without a space, as the system's font mapping expects it.
constexpr wchar_t kSegoeUi[] = L"SegoeUI";
constexpr wchar_t kDisplayBold[] = L"Kelvra Sans Display Bold";
constexpr wchar_t kTextRegular[] = L"Kelvra Sans Text Regular";

const StyleTable kOrigin = {
    {1002, 0}, {1006, 0}, {1007, 0}, {103, 0}, {0, 0}, {1008, 0},
    {1009, 0}, {1003, 1015}, {1011, 1017}, {1005, 1016}, {1012, 1018},
    404, {1004, 0}, {1010, 0}, 417, true, 184, 184, 255,
    kWhite, kWhite, kBlack,
    {kArial, 32, 400, false}, {kSegoeUi, 15, 400, false},
    {kArial, 12, 400, false}, {kArial, 12, 400, true},
    {kArial, 28, 400, false}, {kArial, 15, 400, false},
    {kArial, 11, 400, false}, {kArial, 11, 400, true},
    {{225, 0}, {226, 0}, {227, 0}, {228, 0},
     {229, 0}, {230, 0}, {231, 0}, {232, 0}},
    kWhite,
};

const StyleTable kFacetune = {
    {1019, 1020}, {1021, 1022}, {1025, 0}, {1026, 1027}, {1028, 1029},
    {1030, 1031}, {1032, 1033}, {1003, 1015}, {1011, 1017}, {1005, 1016},
    {1012, 1018}, 405, {1023, 1024}, {1023, 1024}, 417, false, 168, 255, 255,
    kBlack, kBlack, kBlack,
    {kDisplayBold, 36, 700, false}, {kTextRegular, 18, 400, false},
    {kTextRegular, 12, 400, false}, {kTextRegular, 12, 400, false},
    {kTextRegular, 28, 400, false}, {kTextRegular, 15, 400, false},
    {kTextRegular, 11, 400, false}, {kTextRegular, 11, 400, true},
    {{1034, 1042}, {1035, 1043}, {1036, 1044}, {1037, 1045},
     {1038, 1046}, {1039, 1047}, {1040, 1048}, {1041, 1049}},
    RGB(207, 207, 207),
};

}  // namespace

const StyleTable& OriginStyleTable() { return kOrigin; }
const StyleTable& FacetuneStyleTable() { return kFacetune; }

HFONT CreateStyleFont(const FontDescription& description) {
  HFONT font = ::CreateFontW(-Scale(description.size), 0, 0, 0,
                             description.weight, FALSE,
                             description.underline ? TRUE : FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH, description.face);
  if (!font) PLOG(ERROR) << "Failed to create a font";
  return font;
}

InstallationWindowStyle::InstallationWindowStyle(
    const StyleTable& table, LANGID language,
    std::shared_ptr<const InstallationWindowLayout> layout)
    : table_(table),
      language_(language),
      layout_(std::move(layout)),
      white_brush_(::CreateSolidBrush(kWhite)) {}

InstallationWindowStyle::~InstallationWindowStyle() = default;

ResourceBitmap InstallationWindowStyle::Load(PicturePair pair) {
  if (pair.id_1x == 0) return ResourceBitmap();
  return ResourceBitmap::LoadPair(pair.id_1x, pair.id_2x);
}

ResourceBitmap InstallationWindowStyle::CheckBoxPictures() const {
  return Load(table_.check_box);
}
ResourceBitmap InstallationWindowStyle::FirstScreenBackground() const {
  // Test builds: the picture can be made unavailable, as a damaged or
  // stripped resource section would leave it.
  if (lite_util::TestSeamEnabled("no-first-screen-background"))
    return ResourceBitmap();
  return Load(table_.first_screen_background);
}
ResourceBitmap InstallationWindowStyle::InstallButtonPictures() const {
  return Load(table_.install_button);
}
ResourceBitmap InstallationWindowStyle::CloseButtonPictures() const {
  return Load(table_.close_button);
}
ResourceBitmap InstallationWindowStyle::MinimizeButtonPictures() const {
  return Load(table_.minimize_button);
}
ResourceBitmap InstallationWindowStyle::ProgressFill() const {
  return Load(table_.progress_fill);
}
ResourceBitmap InstallationWindowStyle::ProgressTrack() const {
  return Load(table_.progress_track);
}
ResourceBitmap InstallationWindowStyle::FirstScreenLogo() const {
  return Load(russian() ? table_.first_screen_logo_1049
                        : table_.first_screen_logo);
}
ResourceBitmap InstallationWindowStyle::ProgressScreenLogo() const {
  return Load(russian() ? table_.progress_logo_1049 : table_.progress_logo);
}
int InstallationWindowStyle::TaglineStringId() const {
  return table_.tagline_string_id;
}
ResourceBitmap InstallationWindowStyle::ProgressScreenPicture() const {
  return Load(russian() ? table_.progress_picture_1049
                        : table_.progress_picture);
}
int InstallationWindowStyle::DefaultBrowserStringId() const {
  return table_.default_browser_string_id;
}
bool InstallationWindowStyle::IsTaglineCentred() const {
  return table_.tagline_centred;
}
BYTE InstallationWindowStyle::TextOpacity() const {
  return table_.text_opacity;
}
BYTE InstallationWindowStyle::LinkOpacity() const {
  return table_.link_opacity;
}
BYTE InstallationWindowStyle::ProgressLicenseLinkOpacity() const {
  return table_.progress_license_link_opacity;
}
COLORREF InstallationWindowStyle::TextColor() const {
  return table_.text_color;
}
COLORREF InstallationWindowStyle::TaglineColor() const {
  return table_.tagline_color;
}
COLORREF InstallationWindowStyle::ProgressTextColor() const {
  return table_.progress_text_color;
}
COLORREF InstallationWindowStyle::ProgressLicenseColor() const {
  return table_.progress_text_color;
}
COLORREF InstallationWindowStyle::ProgressLicenseLinkColor() const {
  return table_.progress_text_color;
}
HBRUSH InstallationWindowStyle::BackgroundBrush() const {
  return white_brush_.Get();
}
HFONT InstallationWindowStyle::CreateTaglineFont() const {
  return CreateStyleFont(table_.tagline_font);
}
HFONT InstallationWindowStyle::CreateButtonFont() const {
  return CreateStyleFont(table_.button_font);
}
HFONT InstallationWindowStyle::CreateTextFont() const {
  return CreateStyleFont(table_.text_font);
}
HFONT InstallationWindowStyle::CreateLinkFont() const {
  return CreateStyleFont(table_.link_font);
}
HFONT InstallationWindowStyle::CreateLargeTextFont() const {
  return CreateStyleFont(table_.large_font);
}
HFONT InstallationWindowStyle::CreateMediumTextFont() const {
  return CreateStyleFont(table_.medium_font);
}
HFONT InstallationWindowStyle::CreateSmallTextFont() const {
  return CreateStyleFont(table_.small_font);
}
HFONT InstallationWindowStyle::CreateSmallLinkFont() const {
  return CreateStyleFont(table_.small_link_font);
}

ResourceBitmap InstallationWindowStyle::BuildProgressScreenBackground() const {
  RECT client = ScaleRect(layout_->ClientRect());
  int width = client.right - client.left;
  int height = client.bottom - client.top;
  lite_util::ScopedGetDC screen(nullptr);
  if (!screen.Get()) return ResourceBitmap();
  lite_util::ScopedMemoryDC memory(::CreateCompatibleDC(screen.Get()));
  lite_util::ScopedBitmap bitmap(
      ::CreateCompatibleBitmap(screen.Get(), width, height));
  if (!memory.IsValid() || !bitmap.IsValid()) return ResourceBitmap();
  {
    lite_util::ScopedSelectObject select(memory.Get(), bitmap.Get());
    ::FillRect(memory.Get(), &client, BackgroundBrush());
    ResourceBitmap picture = ProgressScreenPicture();
    picture.Draw(memory.Get(), 0, height - picture.Height(), picture.Width(),
                 picture.Height(), 0, 0, picture.Width(), picture.Height());
  }
  // Selected out above: CopyImage cannot copy a selected bitmap.
  return ResourceBitmap::FromHBITMAP(bitmap.Get());
}

ResourceBitmap InstallationWindowStyle::ShadowPicture(ShadowPiece piece) const {
  return Load(table_.shadow[static_cast<int>(piece)]);
}
const wchar_t* InstallationWindowStyle::TaglineFace() const {
  return table_.tagline_font.face;
}
const wchar_t* InstallationWindowStyle::TextFace() const {
  return table_.text_font.face;
}
const wchar_t* InstallationWindowStyle::ButtonFace() const {
  return table_.button_font.face;
}
int InstallationWindowStyle::TaglineSize() const {
  return table_.tagline_font.size;
}
int InstallationWindowStyle::TextSize() const { return table_.text_font.size; }
int InstallationWindowStyle::ButtonSize() const {
  return table_.button_font.size;
}
int InstallationWindowStyle::LargeSize() const {
  return table_.large_font.size;
}
int InstallationWindowStyle::MediumSize() const {
  return table_.medium_font.size;
}
int InstallationWindowStyle::SmallSize() const {
  return table_.small_font.size;
}

InstallationWindowStyleOrigin::InstallationWindowStyleOrigin(
    LANGID language, std::shared_ptr<const InstallationWindowLayout> layout)
    : InstallationWindowStyle(kOrigin, language, std::move(layout)) {}

InstallationWindowStyleFacetune::InstallationWindowStyleFacetune(
    LANGID language, std::shared_ptr<const InstallationWindowLayout> layout)
    : InstallationWindowStyle(kFacetune, language, std::move(layout)),
      grey_brush_(::CreateSolidBrush(RGB(207, 207, 207))) {}

HBRUSH InstallationWindowStyleFacetune::BackgroundBrush() const {
  return grey_brush_.Get();
}

}  // namespace lite_installer

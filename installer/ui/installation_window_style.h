// Pictures, fonts, colours and string ids of the installer window's two
// variants. One object per window, made together with its layout.
#ifndef INSTALLER_UI_INSTALLATION_WINDOW_STYLE_H_
#define INSTALLER_UI_INSTALLATION_WINDOW_STYLE_H_

#include <windows.h>

#include <memory>

#include "installer/lite_util/scoped_handle.h"
#include "installer/ui/installation_window_layout.h"
#include "installer/ui/resource_bitmap.h"

namespace lite_installer {

// A picture's 1x and 2x resource ids (2x id 0: none; both 0: no picture).
struct PicturePair {
  int id_1x;
  int id_2x;
};

struct FontDescription {
  const wchar_t* face;
  int size;
  int weight;
  bool underline;
};

enum class ShadowPiece {
  kTopLeft, kTopRight, kBottomRight, kBottomLeft,
  kLeft, kTop, kRight, kBottom,
};

// Everything a variant answers, as data.
struct StyleTable {
  PicturePair check_box;
  PicturePair first_screen_background;
  PicturePair install_button;
  PicturePair close_button;
  PicturePair minimize_button;
  PicturePair progress_fill;
  PicturePair progress_track;
  PicturePair first_screen_logo;
  PicturePair first_screen_logo_1049;
  PicturePair progress_logo;
  PicturePair progress_logo_1049;
  int tagline_string_id;
  PicturePair progress_picture;
  PicturePair progress_picture_1049;
  int default_browser_string_id;
  bool tagline_centred;
  BYTE text_opacity;
  BYTE link_opacity;
  BYTE progress_license_link_opacity;
  COLORREF text_color;
  COLORREF tagline_color;
  COLORREF progress_text_color;
  FontDescription tagline_font;
  FontDescription button_font;
  FontDescription text_font;
  FontDescription link_font;
  FontDescription large_font;
  FontDescription medium_font;
  FontDescription small_font;
  FontDescription small_link_font;
  PicturePair shadow[8];
  COLORREF background_color;
};

const StyleTable& OriginStyleTable();
const StyleTable& FacetuneStyleTable();

// CreateFontW with height = minus the scaled size and the description's face,
// weight and underline; null when the font cannot be made.
HFONT CreateStyleFont(const FontDescription& description);

class InstallationWindowStyle {
 public:
  InstallationWindowStyle(const StyleTable& table, LANGID language,
                          std::shared_ptr<const InstallationWindowLayout> layout);
  virtual ~InstallationWindowStyle();

  virtual ResourceBitmap CheckBoxPictures() const;
  virtual ResourceBitmap FirstScreenBackground() const;
  virtual ResourceBitmap InstallButtonPictures() const;
  virtual ResourceBitmap CloseButtonPictures() const;
  virtual ResourceBitmap MinimizeButtonPictures() const;
  virtual ResourceBitmap ProgressFill() const;
  virtual ResourceBitmap ProgressTrack() const;
  virtual ResourceBitmap FirstScreenLogo() const;
  virtual ResourceBitmap ProgressScreenLogo() const;
  virtual int TaglineStringId() const;
  virtual ResourceBitmap ProgressScreenPicture() const;
  virtual int DefaultBrowserStringId() const;
  virtual bool IsTaglineCentred() const;
  virtual BYTE TextOpacity() const;
  virtual BYTE LinkOpacity() const;
  virtual BYTE ProgressLicenseLinkOpacity() const;
  virtual COLORREF TextColor() const;
  virtual COLORREF TaglineColor() const;
  virtual COLORREF ProgressTextColor() const;
  virtual COLORREF ProgressLicenseColor() const;
  virtual COLORREF ProgressLicenseLinkColor() const;
  virtual HBRUSH BackgroundBrush() const;
  virtual HFONT CreateTaglineFont() const;
  virtual HFONT CreateButtonFont() const;
  virtual HFONT CreateTextFont() const;
  virtual HFONT CreateLinkFont() const;
  virtual HFONT CreateLargeTextFont() const;
  virtual HFONT CreateMediumTextFont() const;
  virtual HFONT CreateSmallTextFont() const;
  virtual HFONT CreateSmallLinkFont() const;
  // The progress screen's background: the layout's client area filled with
  // the background brush, the progress picture on the bottom edge.
  virtual ResourceBitmap BuildProgressScreenBackground() const;
  virtual ResourceBitmap ShadowPicture(ShadowPiece piece) const;
  virtual const wchar_t* TaglineFace() const;
  virtual const wchar_t* TextFace() const;
  virtual const wchar_t* ButtonFace() const;
  virtual int TaglineSize() const;
  virtual int TextSize() const;
  virtual int ButtonSize() const;
  virtual int LargeSize() const;
  virtual int MediumSize() const;
  virtual int SmallSize() const;

  const InstallationWindowLayout& layout() const { return *layout_; }

 protected:
  const StyleTable& table_;

 private:
  static ResourceBitmap Load(PicturePair pair);
  bool russian() const { return language_ == 1049; }

  LANGID language_;
  std::shared_ptr<const InstallationWindowLayout> layout_;
  lite_util::ScopedBrush white_brush_;
};

class InstallationWindowStyleOrigin : public InstallationWindowStyle {
 public:
  InstallationWindowStyleOrigin(
      LANGID language, std::shared_ptr<const InstallationWindowLayout> layout);
};

class InstallationWindowStyleFacetune : public InstallationWindowStyle {
 public:
  InstallationWindowStyleFacetune(
      LANGID language, std::shared_ptr<const InstallationWindowLayout> layout);
  HBRUSH BackgroundBrush() const override;

 private:
  lite_util::ScopedBrush grey_brush_;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_INSTALLATION_WINDOW_STYLE_H_

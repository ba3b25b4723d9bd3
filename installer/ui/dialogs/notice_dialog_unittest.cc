#include "installer/ui/dialogs/notice_dialog.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "installer/brand/brand_info.h"
#include "installer/brand/distrib_info_params.h"
#include "installer/brand/web_page_urls.h"
#include "installer/lite_util/logging/file_logger.h"
#include "installer/main/command_line.h"
#include "installer/ui/dialogs/error_dialog_factory.h"
#include "installer/ui/localized_strings.h"
#include "installer/ui/scale.h"
#include "service_hosts.h"

namespace lite_installer {
namespace {

// Parameters from the "distr-info-params" switch only; nothing is written
// to the registry.
class SwitchDistribInfoParams : public DistribInfoParams {
 public:
  explicit SwitchDistribInfoParams(const std::string& text) {
    // Quotes inside the quoted value as \" (no backslashes in the texts).
    std::wstring quoted;
    for (char c : text) {
      if (c == '"') quoted += L'\\';
      quoted += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    CommandLine command_line = CommandLine::FromString(
        L"installer.exe --distr-info-params=\"" + quoted + L"\"");
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    Load(command_line, temp);
  }
  std::wstring GetOwnModulePath() const override { return std::wstring(); }
  void StoreInRegistry(const std::string&) override {}
};

TEST(NoticeDialogLayoutTest, ButtonsPerLayoutAtScaleOne) {
  if (GetScaleFactor() != 1.0) GTEST_SKIP() << "needs a 96 DPI screen";
  const SIZE button = {120, 28};
  // Left-aligned: the first at x 40, the second 10 after it, 20 above the
  // bottom of a 397 x 174 box.
  NoticeButtonPlacement left = PlaceNoticeButtons(
      NoticeButtons::kLeftAligned, 397, 174, button, button);
  EXPECT_EQ(40, left.first.x);
  EXPECT_EQ(170, left.second.x);
  EXPECT_EQ(126, left.first.y);
  EXPECT_EQ(126, left.second.y);
  // Right-aligned: the second ends 30 from the right edge.
  NoticeButtonPlacement right = PlaceNoticeButtons(
      NoticeButtons::kRightAligned, 397, 174, button, button);
  EXPECT_EQ(117, right.first.x);
  EXPECT_EQ(247, right.second.x);
  EXPECT_EQ(397 - 30, right.second.x + button.cx);
  // One button, centred.
  NoticeButtonPlacement single = PlaceNoticeButtons(
      NoticeButtons::kSingleCentred, 397, 174, button, button);
  EXPECT_EQ((397 - 120) / 2, single.second.x);
  EXPECT_EQ(126, single.second.y);
}

TEST(NoticeDialogLayoutTest, TextMarginsAAndB) {
  if (GetScaleFactor() != 1.0) GTEST_SKIP() << "needs a 96 DPI screen";
  RECT heading, text;
  PlaceNoticeTexts(kNoticeMarginsA, 397, 174, 28, &heading, &text);
  EXPECT_EQ(40, text.left);
  EXPECT_EQ(367, text.right);
  EXPECT_EQ(126, text.bottom);
  EXPECT_EQ(76, text.top);
  EXPECT_EQ(30, heading.top);
  EXPECT_EQ(76, heading.bottom);
  EXPECT_EQ(40, heading.left);
  EXPECT_EQ(367, heading.right);
  PlaceNoticeTexts(kNoticeMarginsB, 397, 174, 28, &heading, &text);
  EXPECT_EQ(377, text.right);
  EXPECT_EQ(126, text.bottom);
  EXPECT_EQ(56, text.top);
  EXPECT_EQ(20, heading.top);
  EXPECT_EQ(56, heading.bottom);
}

TEST(NoticeDialogTest, VariantsCarryTheirStringsAndLayouts) {
  ConfirmCancelDialog confirm(1049);
  EXPECT_EQ(414, confirm.heading_id());
  EXPECT_EQ(0, confirm.text_id());
  EXPECT_EQ(415, confirm.first_button_id());
  EXPECT_EQ(416, confirm.second_button_id());
  EXPECT_EQ(NoticeButtons::kRightAligned, confirm.buttons());
  EXPECT_EQ(30, confirm.margins().top);
  EXPECT_EQ(30, confirm.margins().band_b);
  EXPECT_EQ(kNoticeDialogTemplateId, confirm.GetDialogTemplateId());

  NoticeDialog disk_space(1033, 446, 447, 437, 0);
  EXPECT_EQ(NoticeButtons::kLeftAligned, disk_space.buttons());
  EXPECT_EQ(0, disk_space.second_button_id());

  CryptoProErrorDialog crypto(1033);
  EXPECT_EQ(426, crypto.heading_id());
  EXPECT_EQ(427, crypto.text_id());
  EXPECT_EQ(413, crypto.second_button_id());
  EXPECT_EQ(NoticeButtons::kSingleCentred, crypto.buttons());
  EXPECT_EQ(20, crypto.margins().top);
  EXPECT_EQ(40, crypto.margins().band_b);

  ErrorMessageDialog error(1033, 428, [](std::wstring* text) {
    *text += L"+tail";
  });
  EXPECT_EQ(423, error.heading_id());
  EXPECT_EQ(LoadLocalizedString(428, 1033) + L"+tail", error.Text());
  EXPECT_EQ(NoticeButtons::kSingleCentred, error.buttons());
}

class ErrorDialogFactoryTest : public testing::Test {
 protected:
  ErrorDialogFactoryTest() : brand_(L"C:\\temp\\"), distrib_("") {}

  BrandInfo brand_;
  SwitchDistribInfoParams distrib_;
};

TEST_F(ErrorDialogFactoryTest, CodeTable) {
  for (bool disabled : {false, true}) {
    ErrorDialogFactory factory(&brand_, &distrib_);
    factory.set_download_button_disabled(disabled);
    SCOPED_TRACE(disabled ? "download button disabled" : "default");
    EXPECT_EQ(nullptr, factory.Create(0));

    std::unique_ptr<NoticeDialog> crypto = factory.Create(3);
    ASSERT_NE(nullptr, dynamic_cast<CryptoProErrorDialog*>(crypto.get()));

    const int messages[][2] = {{4, 428}, {5, 429}, {6, 430}, {7, 425}};
    for (const auto& message : messages) {
      std::unique_ptr<NoticeDialog> dialog = factory.Create(message[0]);
      auto* error = dynamic_cast<ErrorMessageDialog*>(dialog.get());
      ASSERT_NE(nullptr, error) << message[0];
      EXPECT_EQ(423, error->heading_id());
      EXPECT_EQ(message[1], error->text_id());
      EXPECT_EQ(413, error->second_button_id());
      EXPECT_EQ(LoadLocalizedString(message[1], brand_.language_id()),
                error->Text());
    }

    for (int other : {1, 2, 8, 212, -1, 0x7FFFFFFF}) {
      std::unique_ptr<NoticeDialog> dialog = factory.Create(other);
      ASSERT_NE(nullptr, dialog) << other;
      if (disabled) {
        auto* error = dynamic_cast<ErrorMessageDialog*>(dialog.get());
        ASSERT_NE(nullptr, error) << other;
        EXPECT_EQ(424, error->text_id());
        EXPECT_EQ(LoadLocalizedString(424, brand_.language_id()) + L"\r\n" +
                      lite_util::GetLogFilePath(),
                  error->Text());
        EXPECT_FALSE(lite_util::GetLogFilePath().empty());
      } else {
        auto* download = dynamic_cast<DownloadErrorDialog*>(dialog.get());
        ASSERT_NE(nullptr, download) << other;
        EXPECT_EQ(423, download->heading_id());
        EXPECT_EQ(431, download->text_id());
        EXPECT_EQ(435, download->first_button_id());
        EXPECT_EQ(436, download->second_button_id());
        EXPECT_EQ(NoticeButtons::kLeftAligned, download->buttons());
        EXPECT_TRUE(IsAcceptedDownloadPageUrl(download->download_page_url(),
                                              download->page_host()));
      }
    }
  }
}

// The Download button's action with the values of a tampered tag: the page
// opened is the web site's download page with every value encoded.
TEST(DownloadErrorDialogTest, OpensTheEncodedPageOnly) {
  BrandInfo brand(L"C:\\temp\\");
  struct Case {
    const char* tag;
    const char* query;
  } cases[] = {
      {"lang=en\"&x=file:///C:/Windows/System32/calc.exe",
       "lang=en%22&"},
      {"lang=en\"&custo=file:///C:/Windows/System32/calc.exe",
       "custo=file%3A%2F%2F%2FC%3A%2FWindows%2FSystem32%2Fcalc.exe&"
       "lang=en%22&"},
      {"custo=a b \"q\" #frag&partner_id=' onload=x",
       "custo=a%20b%20%22q%22%20%23frag&partner_id=%27%20onload%3Dx&"},
  };
  for (const Case& c : cases) {
    SwitchDistribInfoParams distrib(c.tag);
    ErrorDialogFactory factory(&brand, &distrib);
    factory.set_download_button_disabled(false);
    std::unique_ptr<NoticeDialog> dialog = factory.Create(2);
    auto* download = dynamic_cast<DownloadErrorDialog*>(dialog.get());
    ASSERT_NE(nullptr, download);
    std::vector<std::wstring> opened;
    download->set_url_opener([&opened](const std::wstring& url) {
      opened.push_back(url);
      return true;
    });
    EXPECT_TRUE(download->OpenDownloadPage());
    ASSERT_EQ(1u, opened.size()) << c.tag;
    const std::string expected = std::string("https://") +
                                 DownloadPageHost(brand.brand_id()) +
                                 "/download?" + c.query +
                                 "full=1&code=lite_install_failed";
    EXPECT_EQ(std::wstring(expected.begin(), expected.end()), opened[0]);
  }
}

TEST(DownloadErrorDialogTest, RefusesAnythingButTheDownloadPage) {
  const wchar_t* refused[] = {
      L"file:///C:/Windows/System32/calc.exe",
      L"http://" KELVRA_WEBSITE_HOST_INT L"/download?lang=en",
      L"https://" KELVRA_WEBSITE_HOST_INT L".evil.example/download?",
      L"https://evil.example/download?lang=en",
      L"https://" KELVRA_WEBSITE_HOST_INT L"/download?lang=en\"&x=1",
      L"https://" KELVRA_WEBSITE_HOST_INT L"/download?lang=en#frag",
      L"https://" KELVRA_WEBSITE_HOST_INT L"/download?lang=en x",
      L"https://" KELVRA_WEBSITE_HOST_INT L"/download?lang=%2",
      L"https://" KELVRA_WEBSITE_HOST_INT L"/download?lang=%G1",
      L"https://" KELVRA_WEBSITE_HOST_INT L"/download?a=1?b=2",
      L"https://" KELVRA_WEBSITE_HOST_INT L"/downloads?",
      L"",
  };
  for (const wchar_t* url : refused) {
    DownloadErrorDialog dialog(url, 1033);
    dialog.set_page_host(KELVRA_WEBSITE_HOST_INT);
    int calls = 0;
    dialog.set_url_opener([&calls](const std::wstring&) {
      ++calls;
      return true;
    });
    EXPECT_FALSE(dialog.OpenDownloadPage()) << url;
    EXPECT_EQ(0, calls) << url;
  }
  // Another country's page is refused when the brand's host is known, and
  // accepted when it is not.
  const std::wstring other =
      L"https://" KELVRA_WEBSITE_HOST_BY L"/download?full=1";
  EXPECT_FALSE(IsAcceptedDownloadPageUrl(other, KELVRA_WEBSITE_HOST_INT));
  EXPECT_TRUE(IsAcceptedDownloadPageUrl(other, ""));
  EXPECT_TRUE(IsAcceptedDownloadPageUrl(
      L"https://" KELVRA_WEBSITE_HOST_INT L"/download?lang=%E9&full=1",
      KELVRA_WEBSITE_HOST_INT));
}

}  // namespace
}  // namespace lite_installer

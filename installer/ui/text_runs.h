// The licence line: a text whose "((…))" part is a link, broken into
// words, measured and laid out as runs of plain text and link text, each
// run one child window.
#ifndef INSTALLER_UI_TEXT_RUNS_H_
#define INSTALLER_UI_TEXT_RUNS_H_

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace lite_installer {

struct TextToken {
  std::wstring text;
  bool link = false;
};

struct TextRun {
  std::wstring text;
  bool link = false;
  int line = 0;
  int x = 0;  // Within the area, including the line's centring offset.
  int width = 0;
};

// Plain tokens are words with their trailing spaces (a line feed ends a
// token and belongs to it); "((" and "))" bound link tokens and are
// dropped.
std::vector<TextToken> TokenizeLicenseText(const std::wstring& text);
// Lines of runs no wider than |area_width| (a punctuation token always
// stays on the line of the run before it).
std::vector<TextRun> BuildTextRuns(
    const std::vector<TextToken>& tokens,
    const std::function<int(const std::wstring&)>& measure, int area_width,
    bool centred);
// The text without the link markers' parentheses (an accessible name).
std::wstring RemoveParentheses(const std::wstring& text);

// Creates one owner-drawn child of |parent| per run: link runs as buttons
// with |link_id|, plain runs as statics with |plain_id|, each the height of
// one line of |font|. Returns the windows in run order.
std::vector<HWND> CreateTextRuns(HWND parent, const std::wstring& text,
                                 const RECT& area, HFONT font, bool centred,
                                 int plain_id, int link_id);

}  // namespace lite_installer

#endif  // INSTALLER_UI_TEXT_RUNS_H_

#include "installer/ui/text_runs.h"

#include "installer/lite_util/scoped_handle.h"
#include "installer/ui/text_drawing.h"

namespace lite_installer {
namespace {

bool IsPunctuationToken(const TextToken& token) {
  if (token.link) return false;
  for (wchar_t c : token.text) {
    if (c != L' ' && c != L'\n' && c != L'?' && c != L'!' && c != L':' &&
        c != L';' && c != L',' && c != L'.')
      return false;
  }
  return true;
}

}  // namespace

std::vector<TextToken> TokenizeLicenseText(const std::wstring& text) {
  std::vector<TextToken> tokens;
  size_t start = 0;
  bool in_link = false;
  size_t i = 0;
  while (i < text.size()) {
    if (in_link) {
      if (text.compare(i, 2, L"))") == 0) {
        tokens.push_back({text.substr(start, i - start), true});
        i += 2;
        start = i;
        in_link = false;
        continue;
      }
      ++i;
      continue;
    }
    if (text[i] == L'\n') {
      tokens.push_back({text.substr(start, i + 1 - start), false});
      ++i;
      start = i;
      continue;
    }
    if (text.compare(i, 2, L"((") == 0) {
      if (i > start) tokens.push_back({text.substr(start, i - start), false});
      i += 2;
      start = i;
      in_link = true;
      continue;
    }
    if (i > start && text[i - 1] == L' ' && text[i] != L' ') {
      tokens.push_back({text.substr(start, i - start), false});
      start = i;
    }
    ++i;
  }
  if (start < text.size())
    tokens.push_back({text.substr(start), in_link});
  return tokens;
}

std::vector<TextRun> BuildTextRuns(
    const std::vector<TextToken>& tokens,
    const std::function<int(const std::wstring&)>& measure, int area_width,
    bool centred) {
  std::vector<TextRun> runs;
  TextRun current;
  bool open = false;
  auto close = [&] {
    if (open) runs.push_back(current);
    open = false;
  };
  for (const TextToken& token : tokens) {
    int width = measure(token.text);
    if (!open) {
      current = {token.text, token.link, 0, 0, width};
      open = true;
      continue;
    }
    int next_x = current.x + current.width;
    if (IsPunctuationToken(token)) {
      close();
      current = {token.text, false, current.line, next_x, width};
      open = true;
    } else if (current.text.find(L'\n') != std::wstring::npos ||
               next_x + width > area_width) {
      int line = current.line + 1;
      close();
      current = {token.text, token.link, line, 0, width};
      open = true;
    } else if (token.link != current.link) {
      close();
      current = {token.text, token.link, current.line, next_x, width};
      open = true;
    } else {
      current.text += token.text;
      current.width += width;
    }
  }
  close();
  if (centred) {
    for (size_t i = 0; i < runs.size();) {
      size_t end = i;
      int line_width = 0;
      while (end < runs.size() && runs[end].line == runs[i].line)
        line_width += runs[end++].width;
      int offset = (area_width - line_width) / 2;
      for (; i < end; ++i) runs[i].x += offset;
    }
  }
  return runs;
}

std::wstring RemoveParentheses(const std::wstring& text) {
  std::wstring result;
  for (wchar_t c : text)
    if (c != L'(' && c != L')') result += c;
  return result;
}

std::vector<HWND> CreateTextRuns(HWND parent, const std::wstring& text,
                                 const RECT& area, HFONT font, bool centred,
                                 int plain_id, int link_id) {
  std::vector<HWND> windows;
  lite_util::ScopedGetDC dc(parent);
  if (!dc.Get()) return windows;
  lite_util::ScopedSelectObject select_font(dc.Get(), font);
  auto measure = [&](const std::wstring& token) {
    SIZE size = {0, 0};
    ::GetTextExtentPoint32W(dc.Get(), token.c_str(),
                            static_cast<int>(token.size()), &size);
    return static_cast<int>(size.cx);
  };
  std::vector<TextRun> runs = BuildTextRuns(
      TokenizeLicenseText(text), measure, area.right - area.left, centred);
  int line_height = LineHeight(font);
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  for (const TextRun& run : runs) {
    DWORD style = run.link
                      ? WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW
                      : WS_CHILD | WS_VISIBLE | SS_OWNERDRAW;
    HWND window = ::CreateWindowExW(
        0, run.link ? L"Button" : L"Static", run.text.c_str(), style,
        area.left + run.x, area.top + run.line * line_height, run.width,
        line_height, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(run.link ? link_id
                                                              : plain_id)),
        instance, nullptr);
    if (window) windows.push_back(window);
  }
  return windows;
}

}  // namespace lite_installer

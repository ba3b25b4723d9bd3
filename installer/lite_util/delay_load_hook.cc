#include "installer/lite_util/delay_load_hook.h"

#include <delayimp.h>

#include <atomic>
#include <cstring>
#include <string>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/string_util.h"

namespace lite_util {
namespace {

constexpr char kUser32[] = "user32.dll";
constexpr char kMessageBoxCaption[] = "Kelvra Browser installer";

// Set once a delayed import of user32 has been asked for: only then may the
// failure handler show a message box without loading user32 itself.
std::atomic<bool> g_user32_requested{false};

std::atomic<DelayLoadFailureReporter> g_failure_reporter{nullptr};

bool EqualsIgnoringAsciiCase(const char* a, const char* b) {
  if (!a || !b) return false;
  for (; *a && *b; ++a, ++b) {
    char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
    char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

// The first characters of one command-line argument as CommandLineToArgvW
// produces it. Longer arguments keep their length but not their tail: a
// silent switch is decided within the first few characters unless it is
// padded with hundreds of blanks.
class ArgumentHead {
 public:
  void Append(wchar_t c) {
    if (length_ < kCapacity) text_[length_] = c;
    ++length_;
  }
  void Drop(size_t count) { length_ = count < length_ ? length_ - count : 0; }

  // Whether the argument, trimmed as the command-line parser trims it,
  // is "silent" or "semi-silent" with a "--", "-" or "/" prefix and an
  // optional "=value".
  bool IsSilentSwitch() const {
    if (length_ > kCapacity) return false;
    size_t begin = 0;
    size_t end = length_;
    while (begin < end && IsUnicodeWhitespace(text_[begin])) ++begin;
    while (end > begin && IsUnicodeWhitespace(text_[end - 1])) --end;
    if (end - begin >= 2 && text_[begin] == L'-' && text_[begin + 1] == L'-')
      begin += 2;
    else if (end > begin && (text_[begin] == L'-' || text_[begin] == L'/'))
      begin += 1;
    else
      return false;
    return NameMatches(begin, end, "silent") ||
           NameMatches(begin, end, "semi-silent");
  }

 private:
  static constexpr size_t kCapacity = 256;

  // The parser keeps the low byte of each character of a switch name and
  // lower-cases ASCII letters; the same is done here.
  bool NameMatches(size_t begin, size_t end, const char* name) const {
    size_t name_length = std::strlen(name);
    if (end - begin < name_length) return false;
    for (size_t i = 0; i < name_length; ++i) {
      char c = static_cast<char>(text_[begin + i] & 0xFF);
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != name[i]) return false;
    }
    size_t after = begin + name_length;
    return after == end || text_[after] == L'=';
  }

  wchar_t text_[kCapacity];
  size_t length_ = 0;
};

// Walks |p| past one argument (not the program name) with the quoting
// rules of CommandLineToArgvW, collecting its head.
const wchar_t* ScanArgument(const wchar_t* p, ArgumentHead* head) {
  int quotes = 0;
  size_t backslashes = 0;
  while (*p && !((*p == L' ' || *p == L'\t') && quotes == 0)) {
    if (*p == L'\\') {
      head->Append(L'\\');
      ++backslashes;
      ++p;
      continue;
    }
    if (*p == L'"') {
      // 2n backslashes and a quote: n backslashes, the quote toggles
      // quoting; 2n+1 backslashes and a quote: n backslashes and a quote.
      if (backslashes % 2 == 0) {
        head->Drop(backslashes / 2);
        ++quotes;
      } else {
        head->Drop(backslashes / 2 + 1);
        head->Append(L'"');
      }
      backslashes = 0;
      ++p;
      // In a run of quotes every third one is a literal quote.
      for (; *p == L'"'; ++p) {
        if (++quotes == 3) {
          head->Append(L'"');
          quotes = 0;
        }
      }
      if (quotes == 2) quotes = 0;
      continue;
    }
    head->Append(*p);
    backslashes = 0;
    ++p;
  }
  return p;
}

// Whether the command line asks for a silent run in any form the installer's
// command-line parser accepts: "--silent", "-silent", "/silent" or the same
// with "semi-silent", in any letter case, optionally with "=value". Reads the
// raw text itself, since shell32 may be the library that failed.
bool IsSilentCommandLine(const wchar_t* text) {
  if (!text) return false;
  const wchar_t* p = text;
  // The program name ends at the closing quote or at the first blank.
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  for (;;) {
    while (*p == L' ' || *p == L'\t') ++p;
    if (!*p) return false;
    ArgumentHead head;
    p = ScanArgument(p, &head);
    if (head.IsSilentSwitch()) return true;
  }
}

void ShowFailureMessage(const char* message) {
  // user32 has been loaded by an earlier delayed import; asking for it by
  // module handle cannot load it (or enter the delay-load helper again).
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  if (!user32) return;
  using MessageBoxAFunction = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
  auto message_box = reinterpret_cast<MessageBoxAFunction>(
      reinterpret_cast<void*>(::GetProcAddress(user32, "MessageBoxA")));
  if (message_box) message_box(nullptr, message, kMessageBoxCaption, MB_OK);
}

FARPROC WINAPI DelayLoadNotifyHook(unsigned notification,
                                   PDelayLoadInfo info) {
  if ((notification == dliNotePreLoadLibrary ||
       notification == dliNotePreGetProcAddress) &&
      info && EqualsIgnoringAsciiCase(info->szDll, kUser32)) {
    g_user32_requested = true;
  }
  return nullptr;
}

FARPROC WINAPI DelayLoadFailureHook(unsigned notification,
                                    PDelayLoadInfo info) {
  if (!info) return nullptr;
  const char* library = info->szDll ? info->szDll : "";
  std::string message;
  DWORD exit_code = 0;
  if (notification == dliFailLoadLib) {
    message = std::string("Windows dll is not found: ") + library;
    exit_code = kDelayLoadMissingLibraryExitCode;
  } else if (notification == dliFailGetProc) {
    // For an import by ordinal the union holds a number, not a name.
    std::string procedure =
        info->dlp.fImportByName
            ? std::string(info->dlp.szProcName ? info->dlp.szProcName : "")
            : "#" + std::to_string(info->dlp.dwOrdinal);
    message = "Function " + procedure + " not found in Windows dll " + library;
    exit_code = kDelayLoadMissingProcedureExitCode;
  } else {
    return nullptr;
  }

  char message_buffer[kDelayLoadMessageBufferSize];
  size_t length = message.size() < sizeof(message_buffer) - 1
                      ? message.size()
                      : sizeof(message_buffer) - 1;
  std::memcpy(message_buffer, message.data(), length);
  message_buffer[length] = '\0';
  // Only a minidump reads the copy; keep the compiler from dropping it.
  asm volatile("" : : "r"(message_buffer) : "memory");

  LOG(ERROR) << message;
  if (g_user32_requested && !EqualsIgnoringAsciiCase(library, kUser32) &&
      !IsSilentCommandLine(::GetCommandLineW())) {
    ShowFailureMessage(message.c_str());
  }
  ReportDelayLoadFailureAndExit(message_buffer, exit_code);
}

}  // namespace

void InstallDelayLoadFailureHook() {
  __pfnDliNotifyHook2 = DelayLoadNotifyHook;
  __pfnDliFailureHook2 = DelayLoadFailureHook;
}

void SetDelayLoadFailureReporter(DelayLoadFailureReporter reporter) {
  g_failure_reporter = reporter;
}

void ReportDelayLoadFailureAndExit(const char* message, DWORD exit_code) {
  DelayLoadFailureReporter reporter = g_failure_reporter;
  if (reporter) reporter(exit_code);
  // The report's minidump holds this frame's stack, and the message on it.
  asm volatile("" : : "r"(message) : "memory");
  ::TerminateProcess(::GetCurrentProcess(), exit_code);
  // Terminating oneself does not return; should it fail, still end here.
  ::ExitProcess(exit_code);
}

}  // namespace lite_util

#include "installer/main/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"

namespace lite_installer {
namespace {

bool SplitWithShell(const std::wstring& text, std::vector<std::wstring>* args) {
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(text.c_str(), &count);
  if (!argv) return false;
  lite_util::ScopedLocalMemory owner(reinterpret_cast<HLOCAL>(argv));
  args->assign(argv, argv + count);
  return true;
}

CommandLine::ArgvSplitter g_splitter = nullptr;

// Returns the prefix length of a switch argument, or 0.
size_t SwitchPrefixLength(const std::wstring& arg) {
  if (arg.compare(0, 2, L"--") == 0) return 2;
  if (!arg.empty() && (arg[0] == L'-' || arg[0] == L'/')) return 1;
  return 0;
}

// A switch name is handed on to the setup's command line as it is: only
// lower-case letters (after folding), digits, '_' and '-' may reach it, so
// that a name can neither carry quotes or spaces into the composed text nor
// be narrowed from a character outside ASCII. An empty name is refused too:
// written back it would be a bare "--".
bool IsValidSwitchName(const std::wstring& name) {
  if (name.empty()) return false;
  for (wchar_t c : name) {
    bool valid = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
                 (c >= L'0' && c <= L'9') || c == L'_' || c == L'-';
    if (!valid) return false;
  }
  return true;
}

}  // namespace

const CommandLine& CommandLine::ForCurrentProcess() {
  static const CommandLine* instance =
      new CommandLine(FromString(::GetCommandLineW()));
  return *instance;
}

void CommandLine::SetArgvSplitterForTesting(ArgvSplitter splitter) {
  g_splitter = splitter;
}

CommandLine CommandLine::FromString(const std::wstring& text) {
  CommandLine result;
  if (text.empty()) return result;
  std::vector<std::wstring> args;
  ArgvSplitter split = g_splitter ? g_splitter : SplitWithShell;
  if (!split(text, &args) || args.empty()) return CommandLine();

  result.program_ = lite_util::TrimWhitespace(args[0]);
  for (size_t i = 1; i < args.size(); ++i) {
    std::wstring arg = lite_util::TrimWhitespace(args[i]);
    size_t prefix = SwitchPrefixLength(arg);
    if (prefix == 0) continue;
    size_t equals = arg.find(L'=', prefix);
    std::wstring name = arg.substr(prefix, equals == std::wstring::npos
                                               ? std::wstring::npos
                                               : equals - prefix);
    if (!IsValidSwitchName(name)) {
      LOG(WARNING) << "Dropped a switch with an invalid name: " << arg;
      continue;
    }
    std::wstring value =
        equals == std::wstring::npos ? std::wstring() : arg.substr(equals + 1);
    result.switches_[lite_util::AsciiToLower(lite_util::NarrowLowBytes(name))] =
        value;
  }
  if (result.HasSwitch("semi-silent")) {
    result.AppendSwitch("silent");
    result.AppendSwitch("uac-enabled");
  }
  return result;
}

std::string CommandLine::NormalizeSwitchName(const std::string& name) {
  std::string lower = lite_util::AsciiToLower(name);
  if (lower.compare(0, 2, "--") == 0) return lower.substr(2);
  if (!lower.empty() && (lower[0] == '-' || lower[0] == '/'))
    return lower.substr(1);
  return lower;
}

bool CommandLine::HasSwitch(const std::string& name) const {
  return switches_.count(lite_util::AsciiToLower(name)) != 0;
}

std::wstring CommandLine::GetSwitchValueNative(const std::string& name) const {
  auto it = switches_.find(lite_util::AsciiToLower(name));
  return it == switches_.end() ? std::wstring() : it->second;
}

std::string CommandLine::GetSwitchValueASCII(const std::string& name) const {
  return lite_util::NarrowLowBytes(GetSwitchValueNative(name));
}

void CommandLine::AppendSwitch(const std::string& name) {
  AppendSwitchNative(name, std::wstring());
}

void CommandLine::AppendSwitchNative(const std::string& name,
                                     const std::wstring& value) {
  switches_[NormalizeSwitchName(name)] = value;
}

void CommandLine::AppendSwitchASCII(const std::string& name,
                                    const std::string& value) {
  AppendSwitchNative(name, lite_util::WidenBytes(value));
}

void CommandLine::SetSwitchPresence(const std::string& name, bool present) {
  if (present)
    AppendSwitch(name);
  else
    switches_.erase(NormalizeSwitchName(name));
}

void CommandLine::SetProgram(const std::wstring& program) {
  program_ = lite_util::TrimWhitespace(program);
}

std::wstring CommandLine::QuoteArgument(const std::wstring& argument) {
  // A tab separates arguments just as a space does, so it forces quotes too;
  // otherwise "a<TAB>--x" would come back as two arguments.
  if (argument.find_first_of(L" \t\"\\") == std::wstring::npos)
    return argument;
  std::wstring out = L"\"";
  for (size_t i = 0; i < argument.size(); ++i) {
    if (argument[i] == L'\\') {
      size_t end = argument.find_first_not_of(L'\\', i);
      if (end == std::wstring::npos) end = argument.size();
      size_t run = end - i;
      // Backslashes are literal unless a quote (or the closing quote) follows.
      bool before_quote = end == argument.size() || argument[end] == L'"';
      out.append(before_quote ? run * 2 : run, L'\\');
      i = end - 1;
    } else if (argument[i] == L'"') {
      out += L"\\\"";
    } else {
      out += argument[i];
    }
  }
  out += L'"';
  return out;
}

std::wstring CommandLine::GetCommandLineString() const {
  std::wstring out = QuoteArgument(program_);
  for (const auto& entry : switches_) {
    out += L" --" + lite_util::WidenBytes(entry.first);
    if (!entry.second.empty()) out += L"=" + QuoteArgument(entry.second);
  }
  return out;
}

}  // namespace lite_installer

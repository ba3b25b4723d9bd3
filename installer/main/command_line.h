// The installer's command line: a program path plus an ordered map of
// switches. Parses the process's own command line and composes the command
// lines of the processes the installer starts.
#ifndef INSTALLER_MAIN_COMMAND_LINE_H_
#define INSTALLER_MAIN_COMMAND_LINE_H_

#include <map>
#include <string>
#include <vector>

namespace lite_installer {

class CommandLine {
 public:
  using SwitchMap = std::map<std::string, std::wstring>;
  // Splits a command-line text into arguments; false when it refuses.
  using ArgvSplitter = bool (*)(const std::wstring& text,
                                std::vector<std::wstring>* args);

  CommandLine() = default;
  CommandLine(const CommandLine&) = default;
  CommandLine& operator=(const CommandLine&) = default;

  // The process-wide instance, parsed from GetCommandLineW on first use.
  static const CommandLine& ForCurrentProcess();
  static CommandLine FromString(const std::wstring& text);

  // Replaces the argument splitter (CommandLineToArgvW); null restores it.
  static void SetArgvSplitterForTesting(ArgvSplitter splitter);

  bool HasSwitch(const std::string& name) const;
  std::wstring GetSwitchValueNative(const std::string& name) const;
  std::string GetSwitchValueASCII(const std::string& name) const;

  void AppendSwitch(const std::string& name);
  void AppendSwitchNative(const std::string& name, const std::wstring& value);
  void AppendSwitchASCII(const std::string& name, const std::string& value);
  void SetSwitchPresence(const std::string& name, bool present);

  const std::wstring& GetProgram() const { return program_; }
  void SetProgram(const std::wstring& program);
  const SwitchMap& GetSwitches() const { return switches_; }

  std::wstring GetCommandLineString() const;

  // Quotes one argument so that CommandLineToArgvW gives it back unchanged.
  static std::wstring QuoteArgument(const std::wstring& argument);

 private:
  static std::string NormalizeSwitchName(const std::string& name);

  std::wstring program_;
  SwitchMap switches_;
};

}  // namespace lite_installer

#endif  // INSTALLER_MAIN_COMMAND_LINE_H_

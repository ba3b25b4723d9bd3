#include "installer/main/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/lite_util/logging/recording_log_sink_for_test.h"

namespace lite_installer {
namespace {

using SwitchMap = CommandLine::SwitchMap;

// The arguments the real CommandLineToArgvW makes of |text|.
std::vector<std::wstring> SplitWithSystem(const std::wstring& text) {
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(text.c_str(), &count);
  std::vector<std::wstring> args;
  if (!argv) return args;
  args.assign(argv, argv + count);
  ::LocalFree(argv);
  return args;
}

TEST(CommandLineParseTest, AllSwitchPrefixesAndAnyCaseNameTheSameSwitch) {
  for (const wchar_t* arg : {L"--silent", L"-silent", L"/silent", L"--SILENT",
                             L"/Silent", L"-sIlEnT"}) {
    SCOPED_TRACE(arg);
    CommandLine cl = CommandLine::FromString(std::wstring(L"setup.exe ") + arg);
    EXPECT_EQ(L"setup.exe", cl.GetProgram());
    EXPECT_EQ((SwitchMap{{"silent", L""}}), cl.GetSwitches());
    EXPECT_TRUE(cl.HasSwitch("silent"));
    EXPECT_TRUE(cl.HasSwitch("SILENT"));
    EXPECT_EQ(L"setup.exe --silent", cl.GetCommandLineString());
  }
}

TEST(CommandLineParseTest, NameValueSplitting) {
  CommandLine cl = CommandLine::FromString(
      L"p.exe --BRAND-NAME=Auto /kvpin-state=3 -a=b=c --empty= --flag");
  EXPECT_EQ((SwitchMap{{"brand-name", L"Auto"},
                       {"kvpin-state", L"3"},
                       {"a", L"b=c"},
                       {"empty", L""},
                       {"flag", L""}}),
            cl.GetSwitches());
  // The name is case-insensitive, the value keeps its case.
  EXPECT_EQ(L"Auto", cl.GetSwitchValueNative("brand-name"));
  EXPECT_EQ("Auto", cl.GetSwitchValueASCII("Brand-Name"));
  EXPECT_TRUE(cl.HasSwitch("empty"));
}

TEST(CommandLineParseTest, LastOccurrenceWins) {
  CommandLine cl = CommandLine::FromString(
      L"p.exe --brand-name=one /BRAND-NAME=two -Brand-Name=three --x=1 --x");
  EXPECT_EQ(L"three", cl.GetSwitchValueNative("brand-name"));
  EXPECT_TRUE(cl.HasSwitch("x"));
  EXPECT_EQ(L"", cl.GetSwitchValueNative("x"));
  EXPECT_EQ(2u, cl.GetSwitches().size());
}

TEST(CommandLineParseTest, NonSwitchArgumentsAreDropped) {
  CommandLine cl = CommandLine::FromString(
      L"\"C:\\Program Files\\Kelvra\\setup.exe\" install now --a key=value "
      L"\"plain text\" --b");
  EXPECT_EQ(L"C:\\Program Files\\Kelvra\\setup.exe", cl.GetProgram());
  EXPECT_EQ((SwitchMap{{"a", L""}, {"b", L""}}), cl.GetSwitches());
  EXPECT_EQ(L"\"C:\\Program Files\\Kelvra\\setup.exe\" --a --b",
            cl.GetCommandLineString());
}

TEST(CommandLineParseTest, ArgumentsAndProgramAreTrimmed) {
  // White space inside quotes belongs to the argument until it is trimmed.
  CommandLine cl = CommandLine::FromString(
      L"\" prog.exe\x3000\" \" --x=1 \" \"\xA0--y=2\x2003\" \"\t--z\x85\"");
  EXPECT_EQ(L"prog.exe", cl.GetProgram());
  EXPECT_EQ((SwitchMap{{"x", L"1"}, {"y", L"2"}, {"z", L""}}),
            cl.GetSwitches());
}

TEST(CommandLineParseTest, QuotedValuesAreUnquoted) {
  CommandLine cl = CommandLine::FromString(
      L"p.exe --installerdata=\"C:\\Program Files\\data.bin\" "
      L"\"--clids-file=C:\\a b\\c.txt\" --q=\"say \\\"hi\\\"\" "
      L"--dir=\"C:\\temp\\\\\"");
  EXPECT_EQ(L"C:\\Program Files\\data.bin",
            cl.GetSwitchValueNative("installerdata"));
  EXPECT_EQ(L"C:\\a b\\c.txt", cl.GetSwitchValueNative("clids-file"));
  EXPECT_EQ(L"say \"hi\"", cl.GetSwitchValueNative("q"));
  EXPECT_EQ(L"C:\\temp\\", cl.GetSwitchValueNative("dir"));
}

TEST(CommandLineParseTest, SemiSilentImpliesSilentAndUacEnabled) {
  CommandLine cl = CommandLine::FromString(L"p.exe --semi-silent");
  EXPECT_EQ((SwitchMap{{"semi-silent", L""}, {"silent", L""},
                       {"uac-enabled", L""}}),
            cl.GetSwitches());

  // The added switches overwrite values given for them.
  cl = CommandLine::FromString(
      L"p.exe --silent=no --uac-enabled=0 /SEMI-SILENT=yes");
  EXPECT_EQ((SwitchMap{{"semi-silent", L"yes"}, {"silent", L""},
                       {"uac-enabled", L""}}),
            cl.GetSwitches());

  // Without semi-silent nothing is added.
  cl = CommandLine::FromString(L"p.exe --semi --silentish");
  EXPECT_FALSE(cl.HasSwitch("silent"));
  EXPECT_FALSE(cl.HasSwitch("uac-enabled"));
}

TEST(CommandLineParseTest, SemiSilentAppliesWhenRebuiltFromText) {
  // Editing does not apply the rule; only parsing does.
  CommandLine setup;
  setup.SetProgram(L"C:\\Users\\me\\AppData\\Local\\Temp\\setup.exe");
  setup.AppendSwitch("semi-silent");
  EXPECT_FALSE(setup.HasSwitch("silent"));

  CommandLine reparsed = CommandLine::FromString(setup.GetCommandLineString());
  EXPECT_TRUE(reparsed.HasSwitch("silent"));
  EXPECT_TRUE(reparsed.HasSwitch("uac-enabled"));
  EXPECT_EQ(setup.GetProgram(), reparsed.GetProgram());

  // As the elevated relaunch carries it: the setup command line travels as
  // the value of a switch and is parsed again on the other side.
  CommandLine relaunch;
  relaunch.SetProgram(L"C:\\Program Files\\Kelvra\\lite installer.exe");
  relaunch.AppendSwitch("run-as-admin");
  relaunch.AppendSwitchNative("setup-cmd-line", setup.GetCommandLineString());
  CommandLine child = CommandLine::FromString(relaunch.GetCommandLineString());
  EXPECT_TRUE(child.HasSwitch("run-as-admin"));
  EXPECT_FALSE(child.HasSwitch("silent"));
  EXPECT_FALSE(child.HasSwitch("semi-silent"));
  EXPECT_EQ(setup.GetCommandLineString(),
            child.GetSwitchValueNative("setup-cmd-line"));
  CommandLine inner =
      CommandLine::FromString(child.GetSwitchValueNative("setup-cmd-line"));
  EXPECT_EQ((SwitchMap{{"semi-silent", L""}, {"silent", L""},
                       {"uac-enabled", L""}}),
            inner.GetSwitches());
}

TEST(CommandLineEditTest, AppendNormalisesTheName) {
  CommandLine cl;
  cl.AppendSwitch("--Silent");
  cl.AppendSwitchNative("-Brand-Name", L"MiXeD");
  cl.AppendSwitchNative("/InstallerData", L"C:\\x");
  cl.AppendSwitchASCII("KVPIN-STATE", "2");
  EXPECT_EQ((SwitchMap{{"silent", L""},
                       {"brand-name", L"MiXeD"},
                       {"installerdata", L"C:\\x"},
                       {"kvpin-state", L"2"}}),
            cl.GetSwitches());
  // Overwriting keeps one entry.
  cl.AppendSwitchNative("brand-name", L"other");
  EXPECT_EQ(L"other", cl.GetSwitchValueNative("BRAND-NAME"));
  EXPECT_EQ(4u, cl.GetSwitches().size());
}

TEST(CommandLineEditTest, AsciiValuesWidenAndNarrowByByte) {
  CommandLine cl;
  cl.AppendSwitchASCII("a", "caf\xE9");
  EXPECT_EQ(L"caf\xE9", cl.GetSwitchValueNative("a"));
  cl.AppendSwitchNative("b", L"\x0141\x4E2D" L"c");
  EXPECT_EQ("A-c", cl.GetSwitchValueASCII("b"));
  EXPECT_EQ("", cl.GetSwitchValueASCII("missing"));
  EXPECT_EQ(L"", cl.GetSwitchValueNative("missing"));
  EXPECT_FALSE(cl.HasSwitch("missing"));
}

TEST(CommandLineEditTest, SetSwitchPresence) {
  CommandLine cl;
  cl.AppendSwitchNative("send-statistics", L"value");
  cl.SetSwitchPresence("Send-Statistics", true);
  EXPECT_TRUE(cl.HasSwitch("send-statistics"));
  EXPECT_EQ(L"", cl.GetSwitchValueNative("send-statistics"));

  cl.SetSwitchPresence("--SEND-STATISTICS", false);
  EXPECT_FALSE(cl.HasSwitch("send-statistics"));
  cl.SetSwitchPresence("disablekvpin", false);  // absent: nothing happens
  EXPECT_TRUE(cl.GetSwitches().empty());
  cl.SetSwitchPresence("disablekvpin", true);
  EXPECT_EQ((SwitchMap{{"disablekvpin", L""}}), cl.GetSwitches());
}

TEST(CommandLineEditTest, CopiesAreIndependent) {
  CommandLine original = CommandLine::FromString(L"a.exe --x=1 --y");
  CommandLine copy(original);
  copy.SetProgram(L"b.exe");
  copy.AppendSwitchNative("x", L"2");
  copy.AppendSwitch("z");
  EXPECT_EQ(L"a.exe", original.GetProgram());
  EXPECT_EQ((SwitchMap{{"x", L"1"}, {"y", L""}}), original.GetSwitches());

  CommandLine assigned;
  assigned.AppendSwitch("gone");
  assigned = original;
  EXPECT_EQ(original.GetProgram(), assigned.GetProgram());
  EXPECT_EQ(original.GetSwitches(), assigned.GetSwitches());
  EXPECT_EQ(L"a.exe --x=1 --y", assigned.GetCommandLineString());
}

TEST(CommandLineEditTest, SetProgramTrims) {
  CommandLine cl;
  cl.SetProgram(L" \t\x3000" L"C:\\dir\\setup.exe\xA0 ");
  EXPECT_EQ(L"C:\\dir\\setup.exe", cl.GetProgram());
}

TEST(CommandLineSerialiseTest, SwitchesInByteOrderOfNames) {
  CommandLine cl;
  cl.SetProgram(L"setup.exe");
  for (const char* name : {"zeta", "ab", "a_b", "a", "Mid", "a-b", "9"})
    cl.AppendSwitch(name);
  EXPECT_EQ(L"setup.exe --9 --a --a-b --a_b --ab --mid --zeta",
            cl.GetCommandLineString());
}

TEST(CommandLineSerialiseTest, EmptyProgram) {
  CommandLine cl;
  EXPECT_EQ(L"", cl.GetCommandLineString());
  cl.AppendSwitch("silent");
  cl.AppendSwitchNative("brand-name", L"auto");
  EXPECT_EQ(L" --brand-name=auto --silent", cl.GetCommandLineString());
}

TEST(CommandLineSerialiseTest, ProgramQuoting) {
  struct {
    const wchar_t* program;
    const wchar_t* expected;
  } const kCases[] = {
      {L"setup.exe", L"setup.exe"},
      {L"C:/dir/setup.exe", L"C:/dir/setup.exe"},
      {L"C:\\dir\\setup.exe", L"\"C:\\dir\\setup.exe\""},
      {L"C:\\Program Files\\Kelvra\\setup.exe",
       L"\"C:\\Program Files\\Kelvra\\setup.exe\""},
      {L"my setup.exe", L"\"my setup.exe\""},
      {L"\\\\server\\share\\setup.exe", L"\"\\\\server\\share\\setup.exe\""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.program);
    CommandLine cl;
    cl.SetProgram(c.program);
    EXPECT_EQ(c.expected, cl.GetCommandLineString());
    cl.AppendSwitch("silent");
    EXPECT_EQ(std::wstring(c.expected) + L" --silent", cl.GetCommandLineString());
    // The system gives the program back unchanged.
    std::vector<std::wstring> args = SplitWithSystem(cl.GetCommandLineString());
    ASSERT_EQ(2u, args.size());
    EXPECT_EQ(c.program, args[0]);
  }
}

TEST(CommandLineSerialiseTest, ValueQuoting) {
  struct {
    const wchar_t* value;
    const wchar_t* expected;
  } const kCases[] = {
      {L"auto", L"--v=auto"},
      {L"C:/x/y", L"--v=C:/x/y"},
      {L"a=b", L"--v=a=b"},
      {L"C:\\Program Files\\x", L"--v=\"C:\\Program Files\\x\""},
      // A trailing backslash is doubled before the closing quote.
      {L"C:\\dir\\", L"--v=\"C:\\dir\\\\\""},
      {L"C:\\dir\\\\", L"--v=\"C:\\dir\\\\\\\\\""},
      // Backslashes that no quote follows stay single.
      {L"a\\b", L"--v=\"a\\b\""},
      {L"a\\\\b", L"--v=\"a\\\\b\""},
      // Quotes are escaped, and a run of backslashes before one is doubled.
      {L"say \"hi\"", L"--v=\"say \\\"hi\\\"\""},
      {L"a\\\"b", L"--v=\"a\\\\\\\"b\""},
      {L"\"", L"--v=\"\\\"\""},
      // A tab separates arguments like a space, so it needs quotes too.
      {L"a\tb", L"--v=\"a\tb\""},
      // Non-ASCII alone needs no quotes.
      {L"\x4E2D\x6587", L"--v=\x4E2D\x6587"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.value);
    CommandLine cl;
    cl.SetProgram(L"p.exe");
    cl.AppendSwitchNative("v", c.value);
    EXPECT_EQ(std::wstring(L"p.exe ") + c.expected, cl.GetCommandLineString());
    // What the system makes of the text is the switch and its value.
    std::vector<std::wstring> args = SplitWithSystem(cl.GetCommandLineString());
    ASSERT_EQ(2u, args.size());
    EXPECT_EQ(std::wstring(L"--v=") + c.value, args[1]);
  }
}

TEST(CommandLineSerialiseTest, EmptyValueIsWrittenWithoutEquals) {
  CommandLine cl;
  cl.SetProgram(L"p.exe");
  cl.AppendSwitchNative("a", L"");
  cl.AppendSwitchASCII("b", "");
  EXPECT_EQ(L"p.exe --a --b", cl.GetCommandLineString());
}

// A small deterministic generator (xorshift64*), so that a failure can be
// reproduced from the seed alone.
class Generator {
 public:
  explicit Generator(uint64_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1DULL) >> 32);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint64_t state_;
};

std::wstring GenerateValue(Generator* gen) {
  static const wchar_t* const kPieces[] = {
      L"a",  L"Z",      L"7",      L" ",      L"\t",     L"  ",
      L"\"", L"\"\"",   L"\\",     L"\\\\",   L"\\\\\\", L"\\\"",
      L"=",  L"-",      L"--",     L"/",      L"'",      L"^",
      L"&",  L"%",      L"\xE9",   L"\xA0",   L"\x4E2D", L"\x6587",
      L"\x3042", L"\xD83D\xDE00", L"C:\\Program Files\\", L"--silent",
  };
  const uint32_t kPieceCount = sizeof(kPieces) / sizeof(kPieces[0]);
  std::wstring value;
  uint32_t pieces = gen->Below(10);  // 0 gives an empty value
  for (uint32_t i = 0; i < pieces; ++i) value += kPieces[gen->Below(kPieceCount)];
  // The parser trims each argument, so a value must not begin or end in
  // white space; replace such ends instead of dropping them.
  auto is_space = [](wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\xA0';
  };
  if (!value.empty() && is_space(value.front())) value.front() = L'x';
  if (!value.empty() && is_space(value.back())) value.back() = L'y';
  // Often end in a run of backslashes, the hardest case for quoting.
  if (gen->Below(4) == 0) value.append(1 + gen->Below(4), L'\\');
  return value;
}

TEST(CommandLineRoundTripTest, GeneratedValuesSurviveSerialiseAndParse) {
  static const wchar_t* const kPrograms[] = {
      L"setup.exe",
      L"C:\\Program Files\\Kelvra\\Application\\setup.exe",
      L"C:\\Users\\\x4E2D\x6587\\AppData\\Local\\Temp\\lite_installer.exe",
      L"D:\\a b\\c\\d.exe",
  };
  static const char* const kNames[] = {
      "brand-name", "installerdata", "setup-cmd-line", "v",
      "x_1",        "kvpin-state",   "distr-info-params", "a-b_2",
  };
  Generator gen(0x5EED1234ABCDULL);
  size_t non_empty_values = 0;
  for (int iteration = 0; iteration < 2000; ++iteration) {
    CommandLine cl;
    cl.SetProgram(kPrograms[gen.Below(4)]);
    uint32_t switches = gen.Below(5);
    for (uint32_t i = 0; i < switches; ++i) {
      std::wstring value = GenerateValue(&gen);
      non_empty_values += !value.empty();
      cl.AppendSwitchNative(kNames[gen.Below(8)], value);
    }
    std::wstring text = cl.GetCommandLineString();
    CommandLine parsed = CommandLine::FromString(text);
    ASSERT_EQ(cl.GetProgram(), parsed.GetProgram())
        << "iteration " << iteration << ": " << testing::PrintToString(text);
    ASSERT_EQ(cl.GetSwitches(), parsed.GetSwitches())
        << "iteration " << iteration << ": " << testing::PrintToString(text);
    // Serialising the parsed object gives the same text again.
    ASSERT_EQ(text, parsed.GetCommandLineString());
  }
  // The generator really produced a mix.
  EXPECT_GT(non_empty_values, 2000u);
}

TEST(CommandLineRoundTripTest, TabInValueDoesNotStartAnotherSwitch) {
  // The system splits at a tab, so an unquoted tab would smuggle a switch in.
  CommandLine unquoted = CommandLine::FromString(L"p.exe --x=a\t--run-as-admin");
  ASSERT_TRUE(unquoted.HasSwitch("run-as-admin"));

  for (const wchar_t* value : {L"a\t--run-as-admin", L"a\t/run-as-admin",
                               L"\\\t-run-as-admin\\"}) {
    SCOPED_TRACE(value);
    CommandLine cl;
    cl.SetProgram(L"setup.exe");
    cl.AppendSwitchNative("x", value);
    CommandLine parsed = CommandLine::FromString(cl.GetCommandLineString());
    EXPECT_EQ(value, parsed.GetSwitchValueNative("x"));
    EXPECT_FALSE(parsed.HasSwitch("run-as-admin"));
    EXPECT_EQ(1u, parsed.GetSwitches().size());
  }
}

TEST(CommandLineRoundTripTest, LongAndUnusualValues) {
  std::vector<std::wstring> values = {
      std::wstring(30000, L'a'),
      std::wstring(30000, L'\\'),
      L"x" + std::wstring(15000, L' ') + L"y",
      std::wstring(10000, L'"'),
      // Unpaired surrogates pass through as they are.
      L"a\xD800" L"b",
      L"\xDC00",
      L"x\xDBFF",
      L"\xDE00\xD83D",
  };
  for (size_t i = 0; i < values.size(); ++i) {
    SCOPED_TRACE(i);
    CommandLine cl;
    cl.SetProgram(L"C:\\dir\\setup.exe");
    cl.AppendSwitchNative("value", values[i]);
    cl.AppendSwitch("after");
    CommandLine parsed = CommandLine::FromString(cl.GetCommandLineString());
    EXPECT_EQ(cl.GetSwitches(), parsed.GetSwitches());
  }
}

TEST(CommandLineBadInputTest, EmptyAndBlankText) {
  CommandLine empty = CommandLine::FromString(L"");
  EXPECT_EQ(L"", empty.GetProgram());
  EXPECT_TRUE(empty.GetSwitches().empty());
  EXPECT_EQ(L"", empty.GetCommandLineString());

  for (const wchar_t* text : {L" ", L"   ", L"\t", L" \t \t"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(text)));
    CommandLine blank = CommandLine::FromString(text);
    EXPECT_TRUE(blank.GetSwitches().empty());
    // Whatever the system makes of the program, white space is trimmed.
    EXPECT_EQ(L"", blank.GetProgram());
  }
}

TEST(CommandLineBadInputTest, UnbalancedQuotesAndOddArguments) {
  CommandLine cl = CommandLine::FromString(L"p.exe --x=\"open value");
  EXPECT_EQ(L"open value", cl.GetSwitchValueNative("x"));

  cl = CommandLine::FromString(L"\"unterminated program --x");
  EXPECT_EQ(L"unterminated program --x", cl.GetProgram());
  EXPECT_TRUE(cl.GetSwitches().empty());

  // Bare prefixes would make a switch with an empty name, written back as
  // a bare "--" that ends the switches of the setup's command line: dropped.
  cl = CommandLine::FromString(L"p.exe -- - / --=v --y");
  EXPECT_EQ((SwitchMap{{"y", L""}}), cl.GetSwitches());
  EXPECT_EQ(L"p.exe --y", cl.GetCommandLineString());

  // A long run of arguments and a very long unquoted value.
  std::wstring text = L"p.exe";
  for (int i = 0; i < 500; ++i) text += L" --s" + std::to_wstring(i) + L"=v";
  text += L" --long=" + std::wstring(30000, L'z');
  cl = CommandLine::FromString(text);
  EXPECT_EQ(501u, cl.GetSwitches().size());
  EXPECT_EQ(30000u, cl.GetSwitchValueNative("long").size());
  EXPECT_EQ(L"v", cl.GetSwitchValueNative("s499"));

  // Unpaired surrogates in the text itself.
  cl = CommandLine::FromString(L"p\xD800.exe --a=\xDC00 --\xD83D");
  EXPECT_EQ(L"p\xD800.exe", cl.GetProgram());
  EXPECT_EQ(L"\xDC00", cl.GetSwitchValueNative("a"));
  EXPECT_EQ(1u, cl.GetSwitches().size());
}

TEST(CommandLineBadInputTest, SwitchNamesOutsideTheSafeSetAreDroppedAndLogged) {
  std::vector<lite_util::LogRecord> records;
  lite_util::SetLogSink(new lite_util::RecordingSink(&records));
  // A quoted argument with a space would forge a second switch once its
  // name is written back unquoted; U+0122 narrows to the quote character.
  CommandLine cl = CommandLine::FromString(
      L"p.exe \"--zz --source=evil\" --a\x0122" L"b=1 --q\\\"x=2 \"--t\tu\" "
      L"--\x00e9t\x00e9 --semi;colon --Good_Name-2=ok --silent");
  lite_util::SetLogSink(nullptr);
  EXPECT_EQ((SwitchMap{{"good_name-2", L"ok"}, {"silent", L""}}),
            cl.GetSwitches());
  EXPECT_EQ(L"p.exe --good_name-2=ok --silent", cl.GetCommandLineString());
  std::vector<std::string> logged =
      lite_util::TextsLoggedBy(records, "FromString");
  ASSERT_EQ(6u, logged.size());
  EXPECT_EQ("Dropped a switch with an invalid name: --zz --source=evil",
            logged[0]);
  EXPECT_EQ("Dropped a switch with an invalid name: --a\xC4\xA2" "b=1",
            logged[1]);
}

class CommandLineSplitterTest : public testing::Test {
 protected:
  void TearDown() override { CommandLine::SetArgvSplitterForTesting(nullptr); }

  static bool Refuse(const std::wstring&, std::vector<std::wstring>*) {
    return false;
  }
  static bool NoArguments(const std::wstring&, std::vector<std::wstring>* args) {
    args->clear();
    return true;
  }
  static bool Fixed(const std::wstring&, std::vector<std::wstring>* args) {
    *args = {L" fixed.exe ", L"--Fixed=1", L"other"};
    return true;
  }
};

TEST_F(CommandLineSplitterTest, RefusingSplitterGivesAnEmptyObject) {
  CommandLine::SetArgvSplitterForTesting(&Refuse);
  CommandLine cl =
      CommandLine::FromString(L"setup.exe --silent --semi-silent --x=1");
  EXPECT_EQ(L"", cl.GetProgram());
  EXPECT_TRUE(cl.GetSwitches().empty());

  CommandLine::SetArgvSplitterForTesting(&NoArguments);
  cl = CommandLine::FromString(L"setup.exe --semi-silent");
  EXPECT_EQ(L"", cl.GetProgram());
  EXPECT_TRUE(cl.GetSwitches().empty());
}

TEST_F(CommandLineSplitterTest, ReplacementIsUsedAndCanBeRestored) {
  CommandLine::SetArgvSplitterForTesting(&Fixed);
  CommandLine cl = CommandLine::FromString(L"anything --else");
  EXPECT_EQ(L"fixed.exe", cl.GetProgram());
  EXPECT_EQ((SwitchMap{{"fixed", L"1"}}), cl.GetSwitches());

  CommandLine::SetArgvSplitterForTesting(nullptr);
  cl = CommandLine::FromString(L"real.exe --else");
  EXPECT_EQ(L"real.exe", cl.GetProgram());
  EXPECT_EQ((SwitchMap{{"else", L""}}), cl.GetSwitches());
}

TEST(CommandLineProcessTest, ForCurrentProcessParsesThisProgram) {
  const CommandLine& first = CommandLine::ForCurrentProcess();
  EXPECT_EQ(&first, &CommandLine::ForCurrentProcess());
  wchar_t module[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
  // The program of the process's own text, compared by file name.
  std::wstring program = first.GetProgram();
  std::wstring expected = module;
  auto file_name = [](const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    for (wchar_t& c : name) c = static_cast<wchar_t>(::towlower(c));
    if (name.size() < 4 || name.compare(name.size() - 4, 4, L".exe") != 0)
      name += L".exe";
    return name;
  };
  EXPECT_EQ(file_name(expected), file_name(program));
  EXPECT_EQ(CommandLine::FromString(::GetCommandLineW()).GetSwitches(),
            first.GetSwitches());
}

}  // namespace
}  // namespace lite_installer

#include "installer/kelvra/util/interface_probe.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "installer/kelvra/util/application_association_registration_internal.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/string_util.h"
#include "installer/lite_util/windows_release.h"

namespace lite_installer {
namespace {

// The candidate ids as the shell documents them, in the order of trial.
const char* const kCandidateIds[] = {
    "{2A848E25-D688-4AA3-8E55-0C16CB3A2DFB}",
    "{FC0BE3A5-6BE4-423C-B287-248934E379C7}",
    "{14EBCC88-2831-4FC8-A5DF-9F36A81DB12C}",
    "{1C5C9D10-1225-4C97-8C51-98E1B6F0D4E0}",
    "{229D59E2-F94A-402E-9A9F-3B84A1ACED77}",
};

std::string GuidText(REFIID iid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(iid, text, 40);
  return lite_util::WideToUtf8(text);
}

// One handler an enumeration yields.
struct FakeHandlerScript {
  HRESULT ui_name = S_OK;
  bool make_default = true;
};

// What one SHAssocEnumHandlers* call answers.
struct FakeEnumerationScript {
  HRESULT open = S_OK;
  std::vector<FakeHandlerScript> handlers = {FakeHandlerScript()};
  // What Next answers once the handlers are used up (S_FALSE: the end).
  HRESULT after_last = S_FALSE;
};

// The shell the fakes below answer as; one per test.
struct FakeShellState {
  int answering_candidate = -1;  // -1: no candidate is known
  bool default_browser_internal = true;
  std::map<std::string, FakeEnumerationScript> enumerations;
  std::vector<std::string> calls;
  std::vector<std::string> diagnostics;
  std::vector<std::string> candidate_ids;
  std::string enumerator_iid;
  std::vector<ASSOC_FILTER> filters;
  // Apartment of the calling thread when the probe first calls the shell.
  HRESULT apartment_result = E_UNEXPECTED;
  APTTYPE apartment = APTTYPE_CURRENT;
  int live_objects = 0;
};

FakeShellState* g_shell = nullptr;

template <typename Interface>
class FakeComObject : public Interface {
 public:
  FakeComObject() { ++g_shell->live_objects; }
  virtual ~FakeComObject() { --g_shell->live_objects; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  // Hands out this object for |iid| when |offered|.
  HRESULT Offer(bool offered, void** object) {
    *object = nullptr;
    if (!offered) return E_NOINTERFACE;
    AddRef();
    *object = this;
    return S_OK;
  }

 private:
  ULONG references_ = 1;
};

class FakeRegistration : public FakeComObject<IUnknown> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid,
                                           void** object) override {
    if (IsEqualIID(iid, kSetAppAsDefaultBrowserInternalIid)) {
      g_shell->calls.push_back("default-browser-internal");
      return Offer(g_shell->default_browser_internal, object);
    }
    return Offer(IsEqualIID(iid, __uuidof(IUnknown)), object);
  }
};

class FakeHandler : public FakeComObject<IAssocHandler> {
 public:
  FakeHandler(const std::string& name, const FakeHandlerScript& script)
      : name_(name), script_(script) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid,
                                           void** object) override {
    if (IsEqualIID(iid, kAssocHandlerMakeDefaultIid)) {
      g_shell->calls.push_back("make-default " + name_);
      return Offer(script_.make_default, object);
    }
    return Offer(IsEqualIID(iid, __uuidof(IUnknown)) ||
                     IsEqualIID(iid, __uuidof(IAssocHandler)),
                 object);
  }
  HRESULT STDMETHODCALLTYPE GetName(LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetUIName(LPWSTR* name) override {
    g_shell->calls.push_back("ui-name " + name_);
    *name = nullptr;
    if (FAILED(script_.ui_name)) return script_.ui_name;
    *name = static_cast<LPWSTR>(::CoTaskMemAlloc(sizeof(L"Browser")));
    wcscpy(*name, L"Browser");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIconLocation(LPWSTR*, int*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE IsRecommended() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE MakeDefault(LPCWSTR) override {
    g_shell->calls.push_back("MakeDefault called");
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(IDataObject*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateInvoker(IDataObject*,
                                          IAssocHandlerInvoker**) override {
    return E_NOTIMPL;
  }

 private:
  std::string name_;
  FakeHandlerScript script_;
};

class FakeEnumeration : public FakeComObject<IEnumAssocHandlers> {
 public:
  FakeEnumeration(const std::string& name, const FakeEnumerationScript& script)
      : name_(name), script_(script) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid,
                                           void** object) override {
    return Offer(IsEqualIID(iid, __uuidof(IUnknown)) ||
                     IsEqualIID(iid, kEnumAssocHandlersIid),
                 object);
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IAssocHandler** handlers,
                                 ULONG* fetched) override {
    g_shell->calls.push_back("next " + name_);
    EXPECT_EQ(1u, count);
    *fetched = 0;
    *handlers = nullptr;
    if (next_ >= script_.handlers.size()) return script_.after_last;
    std::string handler_name = name_ + "#" + std::to_string(next_);
    *handlers = new FakeHandler(handler_name, script_.handlers[next_++]);
    *fetched = 1;
    return S_OK;
  }

 private:
  std::string name_;
  FakeEnumerationScript script_;
  size_t next_ = 0;
};

void NoteApartment() {
  if (g_shell->apartment_result != E_UNEXPECTED) return;
  APTTYPEQUALIFIER qualifier;
  g_shell->apartment_result =
      ::CoGetApartmentType(&g_shell->apartment, &qualifier);
}

HRESULT STDAPICALLTYPE FakeCreateAssociationRegistration(REFIID iid,
                                                         void** object) {
  NoteApartment();
  *object = nullptr;
  g_shell->candidate_ids.push_back(GuidText(iid));
  int index = static_cast<int>(g_shell->candidate_ids.size()) - 1;
  g_shell->calls.push_back("create " + std::to_string(index));
  if (index != g_shell->answering_candidate) return E_NOINTERFACE;
  *object = static_cast<IUnknown*>(new FakeRegistration());
  return S_OK;
}

HRESULT OpenEnumeration(const std::string& name, void** enumerator) {
  g_shell->calls.push_back("open " + name);
  FakeEnumerationScript script = g_shell->enumerations[name];
  if (FAILED(script.open)) return script.open;
  *enumerator = static_cast<IEnumAssocHandlers*>(
      new FakeEnumeration(name, script));
  return S_OK;
}

HRESULT STDAPICALLTYPE FakeEnumProtocolHandlers(PCWSTR protocol, REFIID iid,
                                                void** enumerator) {
  *enumerator = nullptr;
  g_shell->enumerator_iid = GuidText(iid);
  return OpenEnumeration(lite_util::WideToUtf8(protocol), enumerator);
}

HRESULT STDAPICALLTYPE FakeEnumExtensionHandlers(
    PCWSTR extension, ASSOC_FILTER filter, IEnumAssocHandlers** enumerator) {
  *enumerator = nullptr;
  g_shell->filters.push_back(filter);
  return OpenEnumeration(lite_util::WideToUtf8(extension),
                         reinterpret_cast<void**>(enumerator));
}

void FakeDiagnostic(const std::string& text) {
  g_shell->diagnostics.push_back(text);
}

const AssociationShell kFakeShell = {
    &FakeCreateAssociationRegistration, &FakeEnumProtocolHandlers,
    &FakeEnumExtensionHandlers, &FakeDiagnostic};

using Calls = std::vector<std::string>;

class InterfaceProbeTest : public testing::Test {
 protected:
  void SetUp() override {
    g_shell = &shell_;
    lite_util::SetLogSink(new lite_util::RecordingSink(&log_records_));
  }
  void TearDown() override {
    // Every interface the probe obtained is released, whatever it answered.
    EXPECT_EQ(0, shell_.live_objects);
    // Its diagnostics never reach the installer's log.
    EXPECT_TRUE(log_records_.empty());
    lite_util::SetLogSink(nullptr);
    ::SetEnvironmentVariableW(L"LITE_INSTALLER_TEST_SEAMS", nullptr);
    g_shell = nullptr;
  }

  // A fresh shell for the next case of a test; the last case's objects
  // must all be gone.
  void Reset() {
    EXPECT_EQ(0, shell_.live_objects);
    shell_ = FakeShellState();
  }

  // The probe on a thread of its own, which has not entered COM.
  bool ProbeOnFreshThread() {
    bool result = false;
    std::thread([&] { result = ProbeAssociationInterface(kFakeShell); })
        .join();
    return result;
  }

  // The calls of a probe that passes every check with candidate 0.
  static Calls FullCheck() {
    return {"create 0",          "default-browser-internal",
            "open http",         "next http",
            "ui-name http#0",    "make-default http#0",
            "open https",        "next https",
            "ui-name https#0",   "make-default https#0",
            "open .htm",         "next .htm",
            "ui-name .htm#0",    "make-default .htm#0",
            "open .html",        "next .html",
            "ui-name .html#0",   "make-default .html#0"};
  }

  FakeShellState shell_;
  std::vector<lite_util::LogRecord> log_records_;
};

// The calls up to and including |last|.
Calls CallsUpTo(const Calls& calls, const std::string& last) {
  Calls head;
  for (const std::string& call : calls) {
    head.push_back(call);
    if (call == last) break;
  }
  return head;
}

TEST_F(InterfaceProbeTest, CandidatesAreTriedInOrderAndTheFirstAnswerWins) {
  const int flavours[] = {1, 1, 0, 0, 0};
  for (int answering = 0; answering < 5; ++answering) {
    SCOPED_TRACE(answering);
    Reset();
    shell_.answering_candidate = answering;
    // Without the internal interface only a flavour 0 candidate passes.
    shell_.default_browser_internal = false;
    bool available = ProbeAssociationInterface(kFakeShell);
    ASSERT_EQ(static_cast<size_t>(answering + 1), shell_.candidate_ids.size());
    for (int i = 0; i <= answering; ++i)
      EXPECT_EQ(kCandidateIds[i], shell_.candidate_ids[i]);
    if (flavours[answering] == 0) {
      // Flavour 0 answers at once: nothing else is asked.
      EXPECT_TRUE(available);
      EXPECT_EQ(std::to_string(answering), shell_.calls.back().substr(7));
      EXPECT_TRUE(shell_.diagnostics.empty());
    } else {
      EXPECT_FALSE(available);
      EXPECT_EQ("default-browser-internal", shell_.calls.back());
      EXPECT_EQ(std::vector<std::string>{
                    "QueryInterface(ISetAppAsDefaultBrowserInternal) error, "
                    "hr=0x80004002"},
                shell_.diagnostics);
    }
  }
}

TEST_F(InterfaceProbeTest, NoCandidateMeansAnUnsupportedWindows) {
  EXPECT_FALSE(ProbeAssociationInterface(kFakeShell));
  EXPECT_EQ(5u, shell_.candidate_ids.size());
  EXPECT_EQ(std::vector<std::string>{"Unsupported Win10 version=" +
                                     std::to_string(static_cast<int>(
                                         lite_util::GetWindowsRelease()))},
            shell_.diagnostics);
}

TEST_F(InterfaceProbeTest, FlavourOneChecksProtocolsThenExtensions) {
  for (int answering : {0, 1}) {
    SCOPED_TRACE(answering);
    Reset();
    shell_.answering_candidate = answering;
    EXPECT_TRUE(ProbeAssociationInterface(kFakeShell));
    Calls expected = FullCheck();
    expected.erase(expected.begin());
    for (int i = 0; i <= answering; ++i)
      expected.insert(expected.begin() + i, "create " + std::to_string(i));
    EXPECT_EQ(expected, shell_.calls);
    EXPECT_TRUE(shell_.diagnostics.empty());
    EXPECT_EQ("{973810AE-9599-4B88-9E4D-6EE98C9552DA}", shell_.enumerator_iid);
    EXPECT_EQ((std::vector<ASSOC_FILTER>{ASSOC_FILTER_NONE, ASSOC_FILTER_NONE}),
              shell_.filters);
  }
}

TEST_F(InterfaceProbeTest, AFailingCheckEndsTheProbe) {
  struct Case {
    std::string failing;    // the enumeration that fails to open
    std::string last_call;  // the probe's last call
    std::string diagnostic;
  } cases[] = {
      {"http", "open http",
       "SHAssocEnumHandlersForProtocolByApplication error, hr=0x80004005 "
       "protocol=http"},
      {"https", "open https",
       "SHAssocEnumHandlersForProtocolByApplication error, hr=0x80004005 "
       "protocol=https"},
      {".htm", "open .htm",
       "SHAssocEnumHandlers error, hr=0x80004005 extension=.htm"},
      {".html", "open .html",
       "SHAssocEnumHandlers error, hr=0x80004005 extension=.html"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failing);
    Reset();
    shell_.answering_candidate = 0;
    shell_.enumerations[c.failing].open = E_FAIL;
    EXPECT_FALSE(ProbeAssociationInterface(kFakeShell));
    EXPECT_EQ(CallsUpTo(FullCheck(), c.last_call), shell_.calls);
    EXPECT_EQ(std::vector<std::string>{c.diagnostic}, shell_.diagnostics);
  }
}

TEST_F(InterfaceProbeTest, AHandlerThatCannotBeMadeDefaultEndsTheProbe) {
  // "http" fails its handler check: "https" and the extensions are not
  // asked; likewise ".htm" before ".html".
  for (const char* failing : {"http", ".htm"}) {
    SCOPED_TRACE(failing);
    Reset();
    shell_.answering_candidate = 0;
    shell_.enumerations[failing].handlers = {{S_OK, false}};
    EXPECT_FALSE(ProbeAssociationInterface(kFakeShell));
    EXPECT_EQ(CallsUpTo(FullCheck(),
                        std::string("make-default ") + failing + "#0"),
              shell_.calls);
    EXPECT_EQ(std::vector<std::string>{"QueryInterface("
                                       "IAssocHandlerMakeDefault) error, "
                                       "hr=0x80004002"},
              shell_.diagnostics);
  }
}

TEST_F(InterfaceProbeTest, HandlersWithoutAReadableNameArePassedOver) {
  shell_.answering_candidate = 0;
  shell_.enumerations["https"].handlers = {
      {E_ACCESSDENIED, false}, {E_FAIL, false}, {S_OK, true}, {S_OK, false}};
  EXPECT_TRUE(ProbeAssociationInterface(kFakeShell));
  ASSERT_GE(shell_.calls.size(), 14u);
  Calls https(shell_.calls.begin() + 6, shell_.calls.begin() + 14);
  EXPECT_EQ((Calls{"open https", "next https", "ui-name https#0",
                   "next https", "ui-name https#1", "next https",
                   "ui-name https#2", "make-default https#2"}),
            https);
  EXPECT_EQ((std::vector<std::string>{
                "IAssocHandler::GetUIName error, hr=0x80070005, failed to "
                "find ",
                "IAssocHandler::GetUIName error, hr=0x80004005, failed to "
                "find "}),
            shell_.diagnostics);
}

TEST_F(InterfaceProbeTest, TheFirstReadableHandlerDecidesAlone) {
  shell_.answering_candidate = 1;
  shell_.enumerations[".html"].handlers = {
      {E_FAIL, true}, {S_OK, false}, {S_OK, true}};
  EXPECT_FALSE(ProbeAssociationInterface(kFakeShell));
  EXPECT_EQ("make-default .html#1", shell_.calls.back());
  EXPECT_EQ((std::vector<std::string>{
                "IAssocHandler::GetUIName error, hr=0x80004005, failed to "
                "find ",
                "QueryInterface(IAssocHandlerMakeDefault) error, "
                "hr=0x80004002"}),
            shell_.diagnostics);
}

TEST_F(InterfaceProbeTest, AnEnumerationWithoutAUsableHandlerFails) {
  struct Case {
    std::vector<FakeHandlerScript> handlers;
    HRESULT after_last;
    std::vector<std::string> diagnostics;
  } cases[] = {
      // Empty.
      {{}, S_FALSE,
       {"IEnumAssocHandlers::Next error, hr=0x00000001, failed to find "}},
      // Next fails.
      {{}, E_OUTOFMEMORY,
       {"IEnumAssocHandlers::Next error, hr=0x8007000e, failed to find "}},
      // Only handlers whose names cannot be read.
      {{{E_FAIL, true}}, S_FALSE,
       {"IAssocHandler::GetUIName error, hr=0x80004005, failed to find ",
        "IEnumAssocHandlers::Next error, hr=0x00000001, failed to find "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.diagnostics.size());
    Reset();
    shell_.answering_candidate = 0;
    shell_.enumerations["http"].handlers = c.handlers;
    shell_.enumerations["http"].after_last = c.after_last;
    EXPECT_FALSE(ProbeAssociationInterface(kFakeShell));
    EXPECT_EQ("next http", shell_.calls.back());
    EXPECT_EQ(c.diagnostics, shell_.diagnostics);
  }
}

TEST_F(InterfaceProbeTest, TheProbingCopysAnswerComesFromAnApartment) {
  for (int answering : {2, -1}) {
    SCOPED_TRACE(answering);
    Reset();
    shell_.answering_candidate = answering;
    int exit_code = 0;
    HRESULT after = S_OK;
    std::thread([&] {
      exit_code = InterfaceProbeExitCode(kFakeShell);
      APTTYPE type;
      APTTYPEQUALIFIER qualifier;
      after = ::CoGetApartmentType(&type, &qualifier);
    }).join();
    EXPECT_EQ(answering == 2 ? 700 : 701, exit_code);
    // The shell was called inside a single-threaded apartment, which is
    // left again afterwards.
    EXPECT_EQ(S_OK, shell_.apartment_result);
    EXPECT_TRUE(shell_.apartment == APTTYPE_STA ||
                shell_.apartment == APTTYPE_MAINSTA)
        << shell_.apartment;
    EXPECT_EQ(CO_E_NOTINITIALIZED, after);
  }
}

TEST_F(InterfaceProbeTest, TheTestBuildReportsTheProbesApartment) {
  ::SetEnvironmentVariableW(L"LITE_INSTALLER_TEST_SEAMS",
                            L"report-probe-apartment");
  shell_.answering_candidate = 3;
  EXPECT_TRUE(ProbeOnFreshThread());
  ASSERT_EQ(1u, shell_.diagnostics.size());
  EXPECT_EQ(0u, shell_.diagnostics[0].find(
                    "Probe apartment: hr=0x800401f0 type="))
      << shell_.diagnostics[0];

  Reset();
  shell_.answering_candidate = 3;
  int exit_code = 0;
  std::thread([&] { exit_code = InterfaceProbeExitCode(kFakeShell); }).join();
  EXPECT_EQ(700, exit_code);
  ASSERT_EQ(1u, shell_.diagnostics.size());
  EXPECT_TRUE(shell_.diagnostics[0] == "Probe apartment: hr=0x00000000 type=0" ||
              shell_.diagnostics[0] == "Probe apartment: hr=0x00000000 type=3")
      << shell_.diagnostics[0];
}

}  // namespace
}  // namespace lite_installer

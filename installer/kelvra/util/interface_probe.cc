#include "installer/kelvra/util/interface_probe.h"

#include <cstdio>

#include "installer/kelvra/util/application_association_registration_internal.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"
#include "installer/lite_util/test_seams.h"
#include "installer/lite_util/windows_release.h"

namespace lite_installer {
namespace {

using lite_util::ScopedComPtr;

constexpr const wchar_t* kProtocols[] = {L"http", L"https"};
constexpr const wchar_t* kExtensions[] = {L".htm", L".html"};

std::string HexResult(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08lx",
                static_cast<unsigned long>(hr));
  return text;
}

// The debug output: what a developer's debugger or monitor shows, apart
// from the installer's log file.
void WriteDebugOutput(const std::string& text) {
  ::OutputDebugStringA((text + "\n").c_str());
}

using EnumProtocolHandlers = HRESULT(STDAPICALLTYPE*)(PCWSTR, REFIID, void**);

HRESULT STDAPICALLTYPE SystemEnumProtocolHandlers(PCWSTR protocol, REFIID iid,
                                                  void** enumerator) {
  *enumerator = nullptr;
  // shell32 is loaded by now: SHCreateAssociationRegistration came first.
  HMODULE shell32 = ::GetModuleHandleW(L"shell32.dll");
  auto function = shell32 ? reinterpret_cast<EnumProtocolHandlers>(
                                reinterpret_cast<void*>(::GetProcAddress(
                                    shell32,
                                    "SHAssocEnumHandlersForProtocolByApplication")))
                          : nullptr;
  if (!function) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  return function(protocol, iid, enumerator);
}

// The test builds can tell which COM apartment the probe runs in, which the
// probing copy sets up for it.
void ReportApartmentForTests(const AssociationShell& shell) {
  if (!lite_util::TestSeamEnabled("report-probe-apartment")) return;
  APTTYPE type = APTTYPE_CURRENT;
  APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
  HRESULT hr = ::CoGetApartmentType(&type, &qualifier);
  shell.write_diagnostic("Probe apartment: hr=" + HexResult(hr) + " type=" +
                         std::to_string(static_cast<int>(type)));
}

// The first handler of |handlers| whose name can be read decides: it must
// offer to be made the default.
bool CheckHandlers(IEnumAssocHandlers* handlers,
                   const AssociationShell& shell) {
  for (;;) {
    ScopedComPtr<IAssocHandler> handler;
    ULONG fetched = 0;
    HRESULT hr = handlers->Next(1, handler.Receive(), &fetched);
    if (FAILED(hr) || fetched == 0 || !handler) {
      shell.write_diagnostic("IEnumAssocHandlers::Next error, hr=" +
                             HexResult(hr) + ", failed to find ");
      return false;
    }
    lite_util::ScopedCoTaskMemString name;
    hr = handler->GetUIName(name.Receive());
    if (SUCCEEDED(hr) && !name.IsValid()) hr = E_POINTER;
    if (FAILED(hr)) {
      shell.write_diagnostic("IAssocHandler::GetUIName error, hr=" +
                             HexResult(hr) + ", failed to find ");
      continue;
    }
    ScopedComPtr<IUnknown> make_default;
    hr = handler->QueryInterface(kAssocHandlerMakeDefaultIid,
                                 reinterpret_cast<void**>(
                                     make_default.Receive()));
    if (FAILED(hr)) {
      shell.write_diagnostic("QueryInterface(IAssocHandlerMakeDefault) "
                             "error, hr=" + HexResult(hr));
      return false;
    }
    return true;
  }
}

bool CheckProtocol(const wchar_t* protocol, const AssociationShell& shell) {
  ScopedComPtr<IEnumAssocHandlers> handlers;
  HRESULT hr = shell.enum_handlers_for_protocol_by_application(
      protocol, kEnumAssocHandlersIid,
      reinterpret_cast<void**>(handlers.Receive()));
  if (SUCCEEDED(hr) && !handlers) hr = E_POINTER;
  if (FAILED(hr)) {
    shell.write_diagnostic(
        "SHAssocEnumHandlersForProtocolByApplication error, hr=" +
        HexResult(hr) + " protocol=" + lite_util::WideToUtf8(protocol));
    return false;
  }
  return CheckHandlers(handlers.Get(), shell);
}

bool CheckExtension(const wchar_t* extension, const AssociationShell& shell) {
  ScopedComPtr<IEnumAssocHandlers> handlers;
  HRESULT hr =
      shell.enum_handlers(extension, ASSOC_FILTER_NONE, handlers.Receive());
  if (SUCCEEDED(hr) && !handlers) hr = E_POINTER;
  if (FAILED(hr)) {
    shell.write_diagnostic("SHAssocEnumHandlers error, hr=" + HexResult(hr) +
                           " extension=" + lite_util::WideToUtf8(extension));
    return false;
  }
  return CheckHandlers(handlers.Get(), shell);
}

}  // namespace

const AssociationShell& SystemAssociationShell() {
  static const AssociationShell shell = {
      &::SHCreateAssociationRegistration, &SystemEnumProtocolHandlers,
      &::SHAssocEnumHandlers, &WriteDebugOutput};
  return shell;
}

bool ProbeAssociationInterface(const AssociationShell& shell) {
  ReportApartmentForTests(shell);
  size_t count = 0;
  const AssociationCandidate* candidates = AssociationCandidates(&count);
  const AssociationCandidate* found = nullptr;
  ScopedComPtr<IUnknown> registration;
  for (size_t i = 0; i < count && !found; ++i) {
    HRESULT hr = shell.create_association_registration(
        candidates[i].iid, reinterpret_cast<void**>(registration.Receive()));
    if (SUCCEEDED(hr) && registration) found = &candidates[i];
  }
  if (!found) {
    shell.write_diagnostic(
        "Unsupported Win10 version=" +
        std::to_string(static_cast<int>(lite_util::GetWindowsRelease())));
    return false;
  }
  if (found->flavour == kAssociationFlavourSelfContained) return true;

  ScopedComPtr<IUnknown> default_browser;
  HRESULT hr = registration->QueryInterface(
      kSetAppAsDefaultBrowserInternalIid,
      reinterpret_cast<void**>(default_browser.Receive()));
  if (FAILED(hr)) {
    shell.write_diagnostic(
        "QueryInterface(ISetAppAsDefaultBrowserInternal) error, hr=" +
        HexResult(hr));
    return false;
  }
  for (const wchar_t* protocol : kProtocols) {
    if (!CheckProtocol(protocol, shell)) return false;
  }
  for (const wchar_t* extension : kExtensions) {
    if (!CheckExtension(extension, shell)) return false;
  }
  return true;
}

bool ProbeAssociationInterface() {
  return ProbeAssociationInterface(SystemAssociationShell());
}

int InterfaceProbeExitCode(const AssociationShell& shell) {
  // The shell's association objects are apartment-threaded COM objects;
  // without an apartment every call fails with CO_E_NOTINITIALIZED.
  lite_util::ScopedComInitializer com(COINIT_APARTMENTTHREADED);
  return ProbeAssociationInterface(shell) ? kInterfaceAvailableExitCode
                                          : kInterfaceUnavailableExitCode;
}

int InterfaceProbeExitCode() {
  return InterfaceProbeExitCode(SystemAssociationShell());
}

}  // namespace lite_installer

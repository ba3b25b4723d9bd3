// The default-program interface probe, answered by a copy of the installer
// started with "check-the-interface" (exit code 700 when available, 701
// when not). It asks the shell for the internal registration interface of
// the running Windows 10 generation and checks that the web protocols and
// page extensions have a handler that can be made the default. Its
// diagnostics go to the debug output, never to the installer's log.
#ifndef INSTALLER_KELVRA_UTIL_INTERFACE_PROBE_H_
#define INSTALLER_KELVRA_UTIL_INTERFACE_PROBE_H_

#include <windows.h>
#include <shobjidl.h>

#include <string>

namespace lite_installer {

constexpr int kInterfaceAvailableExitCode = 700;
constexpr int kInterfaceUnavailableExitCode = 701;

// The shell functions the probe calls and where its diagnostics go. The
// installer uses SystemAssociationShell(); tests hand in fakes.
struct AssociationShell {
  HRESULT(STDAPICALLTYPE* create_association_registration)(REFIID iid,
                                                           void** object);
  HRESULT(STDAPICALLTYPE* enum_handlers_for_protocol_by_application)(
      PCWSTR protocol, REFIID iid, void** enumerator);
  HRESULT(STDAPICALLTYPE* enum_handlers)(PCWSTR extension,
                                         ASSOC_FILTER filter,
                                         IEnumAssocHandlers** enumerator);
  // One diagnostic line, without its line break.
  void (*write_diagnostic)(const std::string& text);
};

// shell32's functions (SHAssocEnumHandlersForProtocolByApplication looked
// up at run time: shell32 has it from Windows 8 on) and the debug output.
const AssociationShell& SystemAssociationShell();

// The in-process probe. It initialises nothing: COM must be set up on the
// calling thread.
bool ProbeAssociationInterface(const AssociationShell& shell);
bool ProbeAssociationInterface();

// The probing copy's answer as its exit code: the probe run inside a
// single-threaded COM apartment of the calling thread, which the copy has
// not entered yet when it answers.
int InterfaceProbeExitCode(const AssociationShell& shell);
int InterfaceProbeExitCode();

}  // namespace lite_installer

#endif  // INSTALLER_KELVRA_UTIL_INTERFACE_PROBE_H_

// Declarations of the shell's default-program interfaces that the interface
// probe asks for. Most are undocumented: only their identifiers are known
// and needed, since the probe merely asks whether the shell hands them out
// (QueryInterface) and never calls their methods. The documented handler
// enumeration interfaces come from <shobjidl.h>.
#ifndef INSTALLER_KELVRA_UTIL_APPLICATION_ASSOCIATION_REGISTRATION_INTERNAL_H_
#define INSTALLER_KELVRA_UTIL_APPLICATION_ASSOCIATION_REGISTRATION_INTERNAL_H_

#include <windows.h>
#include <shobjidl.h>

#include <cstddef>

namespace lite_installer {

// How a registration interface of one Windows 10 generation is used:
// flavour 1 interfaces come with the internal default-browser interface,
// flavour 0 ones are enough by themselves.
enum AssociationInterfaceFlavour : int {
  kAssociationFlavourSelfContained = 0,
  kAssociationFlavourWithDefaultBrowser = 1,
};

// One interface id to ask SHCreateAssociationRegistration for.
struct AssociationCandidate {
  GUID iid;
  AssociationInterfaceFlavour flavour;
};

// The candidates in the order they are tried; |*count| receives their
// number. The table is constant and lives for the whole process.
const AssociationCandidate* AssociationCandidates(size_t* count);

// ISetAppAsDefaultBrowserInternal, asked of a flavour 1 interface.
constexpr IID kSetAppAsDefaultBrowserInternalIid = {
    0xB00DC47B, 0xBFF4, 0x4318, {0xBE, 0x5B, 0xA5, 0x85, 0x6F, 0x91, 0x69, 0xA2}};
// IEnumAssocHandlers, the enumerator asked of
// SHAssocEnumHandlersForProtocolByApplication.
constexpr IID kEnumAssocHandlersIid = {
    0x973810AE, 0x9599, 0x4B88, {0x9E, 0x4D, 0x6E, 0xE9, 0x8C, 0x95, 0x52, 0xDA}};
// IAssocHandlerMakeDefault, asked of an association handler.
constexpr IID kAssocHandlerMakeDefaultIid = {
    0xCA635855, 0xB44E, 0x4541, {0x95, 0x91, 0x9F, 0xAA, 0x53, 0x35, 0x4A, 0x53}};

}  // namespace lite_installer

#endif  // INSTALLER_KELVRA_UTIL_APPLICATION_ASSOCIATION_REGISTRATION_INTERNAL_H_

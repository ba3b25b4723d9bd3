// Whether the internal shell interface that lets the browser's setup make
// the browser the default one is usable on this Windows 10 build. Older
// builds are probed in a second copy of the installer ("check-the-interface")
// under a time-out, since probing the undocumented interface can crash or
// hang its caller.
#ifndef INSTALLER_KELVRA_UTIL_INTERFACE_AVAILABILITY_H_
#define INSTALLER_KELVRA_UTIL_INTERFACE_AVAILABILITY_H_

#include <cstdint>
#include <string>

namespace lite_installer {

// States of the availability value.
enum InterfaceCheckState : uint32_t {
  kInterfaceAvailableState = 0,
  kInterfaceProbeCrashed = 1,
  kInterfaceNotAvailable = 2,
  kInterfaceProbeTimedOut = 3,
  kInterfaceCheckFailed = 4,
};

// The value passed to the setup: state × 10^9 plus the build and revision
// (each only below its limit), so that every value fits 32 bits.
uint32_t InterfaceAvailabilityValue(uint32_t state, uint32_t build,
                                    uint32_t ubr);

// Runs |program| with the single switch check-the-interface, waits up to
// |timeout_ms| and reads its answer (700 available, 701 not) into |state|.
bool RunInterfaceSafeCheck(const std::wstring& program, uint32_t timeout_ms,
                           uint32_t* state);

// The outer check. Before Windows 10 it answers false at once and leaves
// |value| alone; otherwise |value| always receives the availability value.
bool IsInterfaceAvailable(uint32_t* value);

}  // namespace lite_installer

#endif  // INSTALLER_KELVRA_UTIL_INTERFACE_AVAILABILITY_H_

// The values an elevated copy of the installer needs from its parent that
// only become known after the copy was started: the archive path, the data
// files, the times and the user's choices. They travel through a fixed
// block in the image's shared section "Shared", which every process started
// from the same executable file sees; the parent writes it before it lets
// the copy go, the copy reads it after. The process that runs the setup
// also leaves its failure kind there for the parent.
#ifndef INSTALLER_INSTALL_SETUP_DELAYED_PARAMS_H_
#define INSTALLER_INSTALL_SETUP_DELAYED_PARAMS_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace lite_installer {

class CommandLine;

// Why running the setup failed, beyond its exit code.
enum FailureKind : uint32_t {
  kFailureNone = 0,
  kFailureMachineTypeMismatch = 4,
  kFailureSetupExitCode7 = 5,
  kFailureSetupExitCode8 = 6,
};

// Capacities in UTF-16 units, terminator included.
constexpr size_t kDelayedPathCapacity = 261;
constexpr size_t kDelayedTimeCapacity = 33;

// The block's layout binds the parent and the copy, which may be different
// builds of the same release: offsets are checked at compile time.
struct DelayedParamsBlock {
  wchar_t browser_arc_path[kDelayedPathCapacity];
  wchar_t clids_file_path[kDelayedPathCapacity];
  wchar_t kelvra_website_icon_file_path[kDelayedPathCapacity];
  wchar_t installer_data_path[kDelayedPathCapacity];
  wchar_t brand_package_path[kDelayedPathCapacity];
  wchar_t partner_package_path[kDelayedPathCapacity];
  wchar_t partner_package_override_path[kDelayedPathCapacity];
  wchar_t histogram_download_time[kDelayedTimeCapacity];
  wchar_t histogram_full_time[kDelayedTimeCapacity];
  wchar_t histogram_full_time_with_suspension[kDelayedTimeCapacity];
  uint8_t send_statistics;
  uint8_t make_default;
  uint8_t install_kvpin;
  uint8_t reserved;
  uint32_t failure_kind;
};

struct DelayedParams {
  std::wstring browser_arc_path;
  std::wstring clids_file_path;
  std::wstring website_icon_file_path;
  std::wstring installer_data_path;
  std::wstring brand_package_path;
  std::wstring partner_package_path;
  std::wstring partner_package_override_path;
  std::wstring download_time;
  std::wstring full_time;
  std::wstring full_time_with_suspension;
  bool send_statistics = false;
  bool make_default = false;
  bool install_kvpin = false;
};

// Copies |params| into the block. Refuses, writing nothing and logging every
// value, when a path is longer than 260 characters or a time text longer
// than 32: every accepted value fits whole. Leaves the failure kind alone.
bool WriteDelayedParams(const DelayedParams& params);

// The elevated copy's side: applies the block to the setup command line
// prepared by the parent (empty path fields change nothing). Refuses,
// changing nothing, a block with a text field that does not end within its
// capacity (the parent never writes one).
bool ApplyDelayedParams(CommandLine* command_line);

uint32_t GetFailureKind();
void SetFailureKind(uint32_t kind);

// The block in use, for the tests.
DelayedParamsBlock* DelayedParamsBlockForTesting();
// Makes every function above work on |block| (another image's shared
// section, mapped by a test program); null returns to this image's block.
void UseDelayedParamsBlockForTesting(DelayedParamsBlock* block);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_SETUP_DELAYED_PARAMS_H_

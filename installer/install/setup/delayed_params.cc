#include "installer/install/setup/delayed_params.h"

#include <windows.h>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/main/command_line.h"

namespace lite_installer {

static_assert(offsetof(DelayedParamsBlock, browser_arc_path) == 0x000, "");
static_assert(offsetof(DelayedParamsBlock, clids_file_path) == 0x20A, "");
static_assert(offsetof(DelayedParamsBlock, kelvra_website_icon_file_path) ==
                  0x414, "");
static_assert(offsetof(DelayedParamsBlock, installer_data_path) == 0x61E, "");
static_assert(offsetof(DelayedParamsBlock, brand_package_path) == 0x828, "");
static_assert(offsetof(DelayedParamsBlock, partner_package_path) == 0xA32, "");
static_assert(offsetof(DelayedParamsBlock, partner_package_override_path) ==
                  0xC3C, "");
static_assert(offsetof(DelayedParamsBlock, histogram_download_time) == 0xE46,
              "");
static_assert(offsetof(DelayedParamsBlock, histogram_full_time) == 0xE88, "");
static_assert(offsetof(DelayedParamsBlock,
                       histogram_full_time_with_suspension) == 0xECA, "");
static_assert(offsetof(DelayedParamsBlock, send_statistics) == 0xF0C, "");
static_assert(offsetof(DelayedParamsBlock, make_default) == 0xF0D, "");
static_assert(offsetof(DelayedParamsBlock, install_kvpin) == 0xF0E, "");
static_assert(offsetof(DelayedParamsBlock, failure_kind) == 0xF10, "");
static_assert(sizeof(DelayedParamsBlock) == 3860, "");

namespace {

// Initialised data in a section marked shared (read, write, shared).
__attribute__((section("Shared"), shared)) DelayedParamsBlock
    delayed_params_block = {};

// The block this process reads and writes: its own image's, unless a test
// program works on another image's block.
DelayedParamsBlock* current_block = &delayed_params_block;

void CopyField(const std::wstring& value, wchar_t* field, size_t capacity) {
  ::lstrcpynW(field, value.c_str(), static_cast<int>(capacity));
}

// Whether the file can be read whole and holds something: the setup would
// fail on an icon file that is empty or unreadable.
bool IsReadableNonEmptyFile(const wchar_t* path) {
  lite_util::ScopedFileHandle file(
      ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size = {};
  if (!file.IsValid() || !::GetFileSizeEx(file.Get(), &size) ||
      size.QuadPart <= 0) {
    return false;
  }
  char buffer[4096];
  LONGLONG left = size.QuadPart;
  while (left > 0) {
    DWORD read = 0;
    if (!::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) ||
        read == 0) {
      return false;
    }
    left -= read;
  }
  return true;
}

void SetPathSwitch(CommandLine* command_line, const char* name,
                   const wchar_t* value) {
  if (*value) command_line->AppendSwitchNative(name, value);
}

// Whether |field| ends within its |capacity|: a field written by
// WriteDelayedParams always does; one that does not was written by someone
// else, and nothing past it is read.
bool IsTerminated(const wchar_t* field, size_t capacity) {
  for (size_t i = 0; i < capacity; ++i) {
    if (field[i] == L'\0') return true;
  }
  return false;
}

}  // namespace

bool WriteDelayedParams(const DelayedParams& params) {
  const size_t kMaxPath = kDelayedPathCapacity - 1;
  const size_t kMaxTime = kDelayedTimeCapacity - 1;
  if (params.browser_arc_path.size() > kMaxPath ||
      params.clids_file_path.size() > kMaxPath ||
      params.website_icon_file_path.size() > kMaxPath ||
      params.installer_data_path.size() > kMaxPath ||
      params.brand_package_path.size() > kMaxPath ||
      params.partner_package_path.size() > kMaxPath ||
      params.partner_package_override_path.size() > kMaxPath ||
      params.download_time.size() > kMaxTime ||
      params.full_time.size() > kMaxTime ||
      params.full_time_with_suspension.size() > kMaxTime) {
    PLOG(ERROR) << "Too large string length,"
                << " browser_arc_path=" << params.browser_arc_path
                << " clids_file_path=" << params.clids_file_path
                << " kelvra_website_icon_file_path="
                << params.website_icon_file_path
                << " installer_data_path=" << params.installer_data_path
                << " brand_package_path=" << params.brand_package_path
                << " partner_package_path=" << params.partner_package_path
                << " partner_package_override_path="
                << params.partner_package_override_path
                << " histogram_download_time=" << params.download_time
                << " histogram_full_time=" << params.full_time
                << " histogram_full_time_with_suspension="
                << params.full_time_with_suspension
                << " send_statistics=" << (params.send_statistics ? 1 : 0)
                << " make_default=" << (params.make_default ? 1 : 0)
                << " install_kvpin=" << (params.install_kvpin ? 1 : 0);
    return false;
  }
  DelayedParamsBlock& block = *current_block;
  CopyField(params.browser_arc_path, block.browser_arc_path,
            kDelayedPathCapacity);
  CopyField(params.clids_file_path, block.clids_file_path,
            kDelayedPathCapacity);
  CopyField(params.website_icon_file_path, block.kelvra_website_icon_file_path,
            kDelayedPathCapacity);
  CopyField(params.installer_data_path, block.installer_data_path,
            kDelayedPathCapacity);
  CopyField(params.brand_package_path, block.brand_package_path,
            kDelayedPathCapacity);
  CopyField(params.partner_package_path, block.partner_package_path,
            kDelayedPathCapacity);
  CopyField(params.partner_package_override_path,
            block.partner_package_override_path, kDelayedPathCapacity);
  CopyField(params.download_time, block.histogram_download_time,
            kDelayedTimeCapacity);
  CopyField(params.full_time, block.histogram_full_time, kDelayedTimeCapacity);
  CopyField(params.full_time_with_suspension,
            block.histogram_full_time_with_suspension, kDelayedTimeCapacity);
  block.send_statistics = params.send_statistics ? 1 : 0;
  block.make_default = params.make_default ? 1 : 0;
  block.install_kvpin = params.install_kvpin ? 1 : 0;
  return true;
}

bool ApplyDelayedParams(CommandLine* command_line) {
  // A private copy: the block may change under the reader.
  DelayedParamsBlock block = *current_block;
  const struct {
    const char* name;
    const wchar_t* field;
    size_t capacity;
  } kTextFields[] = {
      {"browser_arc_path", block.browser_arc_path, kDelayedPathCapacity},
      {"clids_file_path", block.clids_file_path, kDelayedPathCapacity},
      {"kelvra_website_icon_file_path", block.kelvra_website_icon_file_path,
       kDelayedPathCapacity},
      {"installer_data_path", block.installer_data_path,
       kDelayedPathCapacity},
      {"brand_package_path", block.brand_package_path, kDelayedPathCapacity},
      {"partner_package_path", block.partner_package_path,
       kDelayedPathCapacity},
      {"partner_package_override_path", block.partner_package_override_path,
       kDelayedPathCapacity},
      {"histogram_download_time", block.histogram_download_time,
       kDelayedTimeCapacity},
      {"histogram_full_time", block.histogram_full_time,
       kDelayedTimeCapacity},
      {"histogram_full_time_with_suspension",
       block.histogram_full_time_with_suspension, kDelayedTimeCapacity},
  };
  for (const auto& text : kTextFields) {
    if (!IsTerminated(text.field, text.capacity)) {
      LOG(ERROR) << "Delayed parameter " << text.name
                 << " is not terminated within its field";
      return false;
    }
  }

  if (block.browser_arc_path[0])
    command_line->SetProgram(block.browser_arc_path);
  SetPathSwitch(command_line, "clids-file", block.clids_file_path);
  if (block.kelvra_website_icon_file_path[0] &&
      IsReadableNonEmptyFile(block.kelvra_website_icon_file_path)) {
    command_line->AppendSwitchNative("kelvra-website-icon-file",
                                     block.kelvra_website_icon_file_path);
  }
  SetPathSwitch(command_line, "installerdata", block.installer_data_path);
  SetPathSwitch(command_line, "brand-package", block.brand_package_path);
  SetPathSwitch(command_line, "partner-package", block.partner_package_path);
  // No override partner package is ever passed on.
  command_line->AppendSwitchNative("histogram-download-time",
                                   block.histogram_download_time);
  SetPathSwitch(command_line, "install-start-time-no-uac",
                block.histogram_full_time);
  SetPathSwitch(command_line, "install-start-time-no-uac-with-suspension",
                block.histogram_full_time_with_suspension);
  command_line->SetSwitchPresence("send-statistics",
                                  block.send_statistics != 0);
  command_line->SetSwitchPresence("make-browser-default-after-import",
                                  block.make_default != 0);
  command_line->SetSwitchPresence("disablekvpin", block.install_kvpin == 0);
  return true;
}

uint32_t GetFailureKind() { return current_block->failure_kind; }

void SetFailureKind(uint32_t kind) { current_block->failure_kind = kind; }

DelayedParamsBlock* DelayedParamsBlockForTesting() { return current_block; }

void UseDelayedParamsBlockForTesting(DelayedParamsBlock* block) {
  current_block = block ? block : &delayed_params_block;
}

}  // namespace lite_installer

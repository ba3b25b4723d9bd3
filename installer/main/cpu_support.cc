#include "installer/main/cpu_support.h"

#include <windows.h>

#include "installer/main/test_seams.h"

namespace lite_installer {

bool IsCpuSupported(int* message_id) {
  bool sse2 = ::IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) &&
              !TestSeamEnabled("cpu-no-sse2");
  bool sse3 = ::IsProcessorFeaturePresent(PF_SSE3_INSTRUCTIONS_AVAILABLE) &&
              !TestSeamEnabled("cpu-no-sse3");
  if (sse2 && sse3) return true;
  if (message_id) *message_id = sse3 ? kNoSse2MessageId : kNoSse3MessageId;
  return false;
}

}  // namespace lite_installer

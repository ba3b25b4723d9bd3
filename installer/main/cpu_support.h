// The processor requirement of the browser: SSE2 and SSE3.
#ifndef INSTALLER_MAIN_CPU_SUPPORT_H_
#define INSTALLER_MAIN_CPU_SUPPORT_H_

namespace lite_installer {

constexpr int kNoSse2MessageId = 454;
constexpr int kNoSse3MessageId = 455;

// On false, |message_id| (when not null) names the missing feature's text.
bool IsCpuSupported(int* message_id);

}  // namespace lite_installer

#endif  // INSTALLER_MAIN_CPU_SUPPORT_H_

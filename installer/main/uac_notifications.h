// Whether Windows asks administrators for consent before elevating.
#ifndef INSTALLER_MAIN_UAC_NOTIFICATIONS_H_
#define INSTALLER_MAIN_UAC_NOTIFICATIONS_H_

namespace lite_installer {

// ConsentPromptBehaviorAdmin of the machine's system policies is not 0;
// false when the setting cannot be read.
bool AreUACNotificationsEnabled();

}  // namespace lite_installer

#endif  // INSTALLER_MAIN_UAC_NOTIFICATIONS_H_

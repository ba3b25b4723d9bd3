#include "installer/install/download/internet_timeouts.h"

namespace lite_installer {

void SetReceiveTimeoutOnCreatedHandle(DWORD status, void* information,
                                      DWORD information_length,
                                      DWORD timeout_ms) {
  if (status != INTERNET_STATUS_HANDLE_CREATED || !information ||
      information_length < sizeof(HINTERNET)) {
    return;
  }
  HINTERNET created = *static_cast<HINTERNET*>(information);
  ::InternetSetOptionW(created, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout_ms,
                       sizeof(timeout_ms));
}

}  // namespace lite_installer

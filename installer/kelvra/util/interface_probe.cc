#include "installer/kelvra/util/interface_probe.h"

namespace lite_installer {

bool ProbeAssociationInterface() { return false; }

}  // namespace lite_installer

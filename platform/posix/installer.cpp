// POSIX stand-in: no installer database, so no product is known.
#include "platform/installer.h"

namespace pellanor::platform::installer {

std::string productIcon(const std::string& /*productCode*/, Status* status) {
    if (status != nullptr) *status = kUnknownProduct;
    return {};
}

}  // namespace pellanor::platform::installer

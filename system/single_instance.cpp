// Nothing here may create a Qt object or a file beyond the named objects themselves: a second
// copy runs this and leaves.
#include "system/single_instance.h"

#include <string>

#include "platform/named_mutex.h"
#include "platform/window_messages.h"
#include "product/product.h"

namespace pellanor::system {

bool anotherInstanceRuns() {
    const std::string name(product::kName);
    switch (platform::createNamedMutex(name + kLoadingMutexSuffix)) {
        case platform::MutexCreation::AlreadyExists:
            return true;
        case platform::MutexCreation::Failed:
            return false;
        case platform::MutexCreation::Created:
            break;
    }
    return platform::namedMutexExists(name + kRunningMutexSuffix);
}

void broadcastShowMainWindow() {
    const std::uint32_t message =
        platform::registerWindowMessage(std::string(product::kName) + kShowMainWindowMessageSuffix);
    if (message != 0) platform::broadcastWindowMessage(message, 0, 0);
}

}  // namespace pellanor::system

// Start at logon. The task is deleted before it is created, and the Run value of earlier
// versions is removed whatever is asked, so that the program never starts twice at logon.
#include "system/logon_start.h"

#include <string>

#include "log/logger.h"
#include "platform/logon_task.h"
#include "platform/registry.h"
#include "product/product.h"

namespace pellanor::system {
namespace {

namespace reg = platform::registry;

constexpr char kTag[] = "NativeUtil";
constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string taskName() { return std::string(product::kName) + "Startup"; }

void removeRunValue() {
    const reg::Key run =
        reg::openKey(reg::Root::CurrentUser, kRunKey, reg::View::Default, reg::Access::Write);
    if (run.isOpen()) reg::deleteValue(run, product::kName);
}

}  // namespace

bool isStartupOnBoot() { return platform::logonTaskExists(taskName()); }

bool setStartupOnBoot(bool enabled) {
    const std::string program = platform::logonProgram(std::string(product::kName) + "-startup");
    if (program.empty()) {
        logging::info(kTag, "startup task unchanged: the executable's path is unknown");
        return false;
    }
    removeRunValue();
    platform::deleteLogonTask(taskName());
    if (!enabled) return true;
    logging::info(kTag, "create startup task: {}", program);
    return platform::createLogonTask(taskName(), program);
}

}  // namespace pellanor::system

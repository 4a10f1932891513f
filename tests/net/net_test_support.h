// Helpers of the network tests: running Qt's events until something has happened, and a
// private temp home so the client's log lines and settings stay out of the user's.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>

#include <functional>

#include "platform/environment.h"
#include "tests/net/test_service.h"

namespace pellanor::test_support {

// Runs events until `done` holds or `timeoutMs` has passed; the answer of `done` at the end.
inline bool runUntil(const std::function<bool()>& done, int timeoutMs) {
    application();
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents();
    }
    return done();
}

// Runs events for `ms`, to see that nothing more arrives.
inline void runFor(int ms) {
    runUntil([] { return false; }, ms);
}

// HOME, APPDATA and the registry store in a temp folder for the whole test program, before
// the logger or the settings are first used.
// The folder goes when the program ends.
inline const QTemporaryDir& privateHome() {
    static QTemporaryDir home;
    static const bool set = [] {
        const std::string path = home.path().toStdString();
        platform::setEnvironmentVariable("HOME", path);
        platform::setEnvironmentVariable("APPDATA", path + "/roaming");
        platform::setEnvironmentVariable("XDG_CONFIG_HOME", path + "/config");
        return platform::setEnvironmentVariable("PELLANOR_REGISTRY_DIR", path + "/registry");
    }();
    (void)set;
    return home;
}

}  // namespace pellanor::test_support

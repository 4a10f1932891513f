// The clipboard and the folder dialog, with and without an application and a desktop.
#include "ui/desktop_dialogs.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>

#include "tests/platform/scoped_environment.h"
#include "tests/util/log_capture.h"
#include "ui/toolkit_dialogs.h"

namespace pellanor::ui {
namespace {

using test_support::LogCapture;
using test_support::ScopedEnvironment;

// No desktop session: what needs one must give its failure value.
void leaveTheDesktop(ScopedEnvironment* env) {
    env->unset("DISPLAY");
    env->unset("WAYLAND_DISPLAY");
}

TEST(CopyToClipboard, UsesTheApplicationClipboardWhileOneRunsAndCountsUtf16Units) {
    ScopedEnvironment env;
    leaveTheDesktop(&env);
    env.set("QT_QPA_PLATFORM", "offscreen");
    LogCapture log;
    const QString text = QStringLiteral("Zoë 缩略图 😀");  // 9 code points, 10 UTF-16 units

    EXPECT_FALSE(copyToClipboard(text));  // no application and no desktop
    EXPECT_FALSE(copyToClipboard(QString()));
    EXPECT_TRUE(log.lines().isEmpty());

    int argc = 1;
    char name[] = "desktop_dialogs_tests";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);
    // Until the program installs the toolkit's side, the application's clipboard is not used.
    EXPECT_FALSE(copyToClipboard(text));
    installToolkitDialogsOfThisApplication();
    EXPECT_FALSE(copyToClipboard(QString()));
    ASSERT_TRUE(copyToClipboard(text));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
    EXPECT_EQ(log.lines(), QStringList(LogCapture::tagged(
                               "NativeUtil", QStringLiteral("copy to clipboard, length: 10"))));
}

TEST(SelectFolder, LogsItsArgumentsAndAnswersEmptyWithoutADialog) {
    ScopedEnvironment env;
    leaveTheDesktop(&env);
    LogCapture log;

    EXPECT_EQ(selectFolder(QStringLiteral("Pick"), QStringLiteral("C:\\Data")), QString());
    EXPECT_EQ(log.lines(),
              QStringList(LogCapture::tagged(
                  "NativeUtil", QStringLiteral("select folder. title=Pick path=C:\\Data"))));
}

}  // namespace
}  // namespace pellanor::ui

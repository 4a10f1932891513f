// Which page the first window opens, and whether the copy keeps to one copy at a time, for the
// command lines users and the installer give the program.
#include "app/start_mode.h"

#include <gtest/gtest.h>

#include "ui/page_urls.h"

namespace pellanor::app {
namespace {

TEST(StartMode, ComesFromTheFirstSetupWordAfterTheProgramsPath) {
    const struct {
        std::vector<std::u16string> arguments;
        StartMode mode;
    } cases[] = {
        {{u"Pellanor"}, StartMode::Normal},
        {{}, StartMode::Normal},
        {{u"Pellanor", u"LANG=de-de"}, StartMode::Normal},
        {{u"Pellanor", u"--install"}, StartMode::Install},
        {{u"Pellanor", u"LANG=ja-jp", u"--Uninstall"}, StartMode::Uninstall},
        {{u"Pellanor", u"--INSTALL", u"--uninstall"}, StartMode::Install},
        {{u"Pellanor", u"--uninstall", u"--install"}, StartMode::Uninstall},
        // Only the whole word counts; the program's own path is never a request.
        {{u"/opt/--install", u"LANG=de-de"}, StartMode::Normal},
        {{u"Pellanor", u"--install-now"}, StartMode::Normal},
        {{u"Pellanor", u"-install"}, StartMode::Normal},
        {{u"Pellanor", u"/uninstall"}, StartMode::Normal},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.size() > 1 ? QString::fromStdU16String(c.arguments[1]).toStdString()
                                            : std::string("(no argument)"));
        EXPECT_EQ(startModeOf(c.arguments), c.mode);
    }
}

TEST(StartMode, OpensItsOwnPageAndOnlyTheEverydayProgramStaysSingle) {
    const struct {
        StartMode mode;
        QString page;
        bool single;
    } cases[] = {
        {StartMode::Normal, ui::kLoadingPageUrl, true},
        {StartMode::Install, QStringLiteral("this://app/installer/installer.html"), false},
        {StartMode::Uninstall, QStringLiteral("this://app/unstaller/unstaller.html"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page.toStdString());
        EXPECT_EQ(firstPageUrl(c.mode), c.page);
        EXPECT_EQ(takesPartInSingleInstance(c.mode), c.single);
    }
}

}  // namespace
}  // namespace pellanor::app

// The language override read from the program's own arguments, and the executable's folder.
#include <gtest/gtest.h>

#include <QLocale>

#include "platform/executable.h"
#include "system/process_facts.h"
#include "tests/util/log_capture.h"

namespace pellanor::system {
namespace {

using test_support::LogCapture;

// Puts the process's argument list back after the test.
class ProgramArguments : public ::testing::Test {
protected:
    void TearDown() override { setProgramArguments(m_saved); }

private:
    std::vector<std::u16string> m_saved = programArguments();
};

TEST_F(ProgramArguments, TheFirstLanguageTokenAfterTheProgramOverridesTheSystemLanguage) {
    const QString detected = QLocale::system().uiLanguages().value(0);
    const struct {
        std::vector<std::u16string> arguments;
        QString expected;
    } cases[] = {
        {{u"Pellanor.exe", u"--x", u"LANG=de-de", u"LANG=fr-FR"}, QStringLiteral("de-de")},
        {{u"Pellanor.exe", u"/LANG=en-US"}, QStringLiteral("en-US")},
        {{u"C:\\LANG=ja-jp\\Pellanor.exe"}, detected},
        {{u"Pellanor.exe", u"LANG=d-de", u"lang=ko-kr"}, detected},
    };
    for (const auto& languageCase : cases) {
        SCOPED_TRACE(languageCase.expected.toStdString());
        setProgramArguments(languageCase.arguments);
        LogCapture log;
        EXPECT_EQ(language(), languageCase.expected);
        EXPECT_TRUE(log.contains("LANG", QStringLiteral("detected lang: ") + detected));
        const bool overridden = languageCase.expected != detected;
        EXPECT_EQ(log.contains("LANG", QStringLiteral("debug param lang: ") + languageCase.expected),
                  overridden);
    }
}

TEST(ProcessFullDir, IsTheExecutablesFolderWithoutASeparator) {
    const QString path = QString::fromStdString(platform::executablePath());
    const QString folder = getProcessFullDir();
    EXPECT_FALSE(folder.endsWith(QLatin1Char('/')));
    EXPECT_EQ(folder + QLatin1Char('/') + path.section(QLatin1Char('/'), -1), path);
}

}  // namespace
}  // namespace pellanor::system

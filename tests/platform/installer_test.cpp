// The installer's record of a product, which the installed-program list asks for icons. Runs
// natively and under Wine.
#include <gtest/gtest.h>

#include "platform/installer.h"

namespace pellanor::platform {
namespace {

TEST(InstallerProducts, AnUnknownOrMalformedCodeHasNoIcon) {
    const struct {
        const char* code;
        installer::Status status;  // 0: any failure will do
    } cases[] = {
        {"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", installer::kUnknownProduct},
        {"not a product code", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        installer::Status status = installer::kSuccess;
        EXPECT_EQ(installer::productIcon(c.code, &status), "");
        if (c.status != 0) {
            EXPECT_EQ(status, c.status);
        } else {
            EXPECT_NE(status, installer::kSuccess);
        }
    }
}

}  // namespace
}  // namespace pellanor::platform

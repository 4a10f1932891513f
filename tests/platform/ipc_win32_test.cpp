// The Win32 side of named objects and the library loader, where it differs from POSIX.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/dynamic_library.h"
#include "platform/named_mutex.h"
#include "platform/win32/handle.h"
#include "platform/win32/wide.h"
#include "tests/platform/ipc_support.h"

namespace pellanor::platform {
namespace {

TEST(Win32NamedMutex, ASameNamedObjectOfAnotherKindFails) {
    const std::string name = test_support::uniqueObjectName("Event");
    const win32::ScopedHandle event(
        CreateEventW(nullptr, TRUE, FALSE, win32::toWide(name).c_str()));
    ASSERT_TRUE(event.valid());
    EXPECT_EQ(createNamedMutex(name), MutexCreation::Failed);
    EXPECT_FALSE(namedMutexExists(name));
}

TEST(Win32DynamicLibrary, LoadsByFileNameAndFindsExports) {
    EXPECT_EQ(sharedLibraryFileName("sciter"), "sciter.dll");
    void* library = loadLibrary("kernel32.dll");
    ASSERT_NE(library, nullptr);
    EXPECT_NE(librarySymbol(library, "GetCurrentProcessId"), nullptr);
    EXPECT_EQ(librarySymbol(library, "pellanor_no_such_symbol"), nullptr);
    freeLibrary(library);
}

}  // namespace
}  // namespace pellanor::platform

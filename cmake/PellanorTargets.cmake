# Helpers shared by every target of ours. Third-party code is built without them.

# Strict warnings on code we own.
function(pellanor_our_code target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# pellanor_add_test(<name> SOURCES <files...> LIBRARIES <targets...> [PROPERTIES <ctest props...>])
# One GoogleTest executable. Natively each test case becomes a ctest entry; in the Windows build
# the executable is one entry, run through the cross-compiling emulator (Wine). Each entry has a
# time limit, so that a test that hangs fails on its own instead of stalling the whole run.
function(pellanor_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;PROPERTIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES})
    pellanor_our_code(${name})
    if(WIN32)
        target_link_libraries(${name} PRIVATE gtest gtest_main)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES TIMEOUT 900 ${ARG_PROPERTIES})
    else()
        include(GoogleTest)
        target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main)
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120 ${ARG_PROPERTIES})
    endif()
endfunction()

# pellanor_loads_engine(<target>)
# For a test that loads the engine library at run time rather than linking it: it is built
# first, and the test gets its full path as PELLANOR_ENGINE_LIBRARY. A full path, because the
# sanitizers' dlopen does not apply the executable's run path.
function(pellanor_loads_engine target)
    add_dependencies(${target} sciter)
    target_compile_definitions(${target} PRIVATE PELLANOR_ENGINE_LIBRARY="$<TARGET_FILE:sciter>")
endfunction()

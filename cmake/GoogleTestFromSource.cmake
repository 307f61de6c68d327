# A cross build cannot link the host's GoogleTest: build it from the sources
# Debian ships (libgtest-dev) with the cross compiler, and let the tests'
# find_package(GTest) find its targets (GTest::gtest, GTest::gtest_main).
set(VELMORA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
include(FetchContent)
FetchContent_Declare(GTest SOURCE_DIR ${VELMORA_GOOGLETEST_SOURCE} OVERRIDE_FIND_PACKAGE)
FetchContent_MakeAvailable(GTest)

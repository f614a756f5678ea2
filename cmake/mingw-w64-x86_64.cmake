# Cross-building the Windows programs on Debian with mingw-w64 (the POSIX-threads flavour,
# which std::thread and std::mutex need).
# Use: cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KHUB_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KHUB_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KHUB_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KHUB_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${KHUB_MINGW_PREFIX}-objdump)

# Headers and libraries only from the mingw tree, programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KHUB_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and helper programs run under wine (see scripts/wine-run.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)

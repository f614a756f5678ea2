#!/usr/bin/env bash
# Cross-builds the Windows programs (k-hub-cli.exe, and k-hub.exe) and the core's tests with
# mingw-w64 into build-win/; installs the cross-compiler when it is missing. The programs
# are static: each .exe needs no DLL beyond Windows' own (the build checks it).
# Arguments go to the configure step, e.g. -DKHUB_BUILD_TESTS=OFF.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh windows
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" "$@" >/dev/null
cmake --build build-win -j"$(nproc)"

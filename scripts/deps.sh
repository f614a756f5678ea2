#!/usr/bin/env bash
# Installs what building and testing K-Hub I needs on Debian/Ubuntu, only what is missing.
# Usage: scripts/deps.sh [run|demo|test|windows]
set -euo pipefail
# The Windows cross-build: mingw-w64 and GoogleTest's sources (it has no packaged mingw build).
windows=(cmake make g++-mingw-w64-x86-64-posix googletest)
if [ "${1:-run}" = windows ]; then
    want=("${windows[@]}")
else
    want=(cmake g++ make pkg-config qt6-base-dev qt6-multimedia-dev libqt6svg6 libgtest-dev libgmock-dev libbenchmark-dev libisal-dev)
fi
if [ "${1:-run}" = demo ]; then
    want+=(ircd-ircu x11-utils)
fi
if [ "${1:-run}" = test ]; then
    # libltdl7: ircd-hybrid's one library beyond the base system (the test servers other
    # than ircd-ircu are unpacked, not installed: see the end of this script).
    want+=(ircd-ircu xvfb xauth x11-utils openbox clang libclang-rt-14-dev python3 procps iproute2
           util-linux libltdl7 "${windows[@]}" wine64)
fi
missing=()
for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${1:-run}" = test ]; then
    # After the installs, which may have fetched the package lists this needs.
    here=$(cd "$(dirname "$0")" && pwd)
    trap '"$here/unpack-ircds.sh" "$here/../.cache/ircds"' EXIT
fi
[ ${#missing[@]} -eq 0 ] && exit 0
again="./${1:-run}"
[ "${1:-run}" = demo ] && again="./run --demo"
[ "${1:-run}" = windows ] && again="scripts/build-windows.sh"
if ! command -v apt-get >/dev/null; then
    echo "K-Hub I needs these Debian/Ubuntu packages, which are not installed: ${missing[*]}" >&2
    echo "This system has no apt-get: install the same tools with its own package manager," >&2
    echo "then run $again again." >&2
    exit 1
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "K-Hub I needs these packages, which are not installed: ${missing[*]}" >&2
    echo "Installing them needs root. Either run $again as root (sudo $again), or install" >&2
    echo "them yourself and run $again again:" >&2
    echo "    sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"

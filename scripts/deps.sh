#!/usr/bin/env bash
# Installs what building and testing K-Hub I needs on Debian/Ubuntu, only what is missing.
# Usage: scripts/deps.sh [run|test]
set -euo pipefail
want=(cmake g++ make pkg-config qt6-base-dev qt6-multimedia-dev libgtest-dev libgmock-dev libbenchmark-dev libisal-dev)
if [ "${1:-run}" = test ]; then
    want+=(ircd-ircu xvfb xauth clang libclang-rt-14-dev python3 procps iproute2 util-linux)
fi
missing=()
for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if ! command -v apt-get >/dev/null; then
    echo "Please install: ${missing[*]} (this script knows only apt-get)." >&2
    exit 1
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "These packages are missing: ${missing[*]}" >&2
    echo "Run this command as root (sudo $0 ${1:-run}) or install them yourself, then try again." >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"

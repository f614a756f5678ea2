#!/usr/bin/env bash
# The second half of ./test: the test suite again under AddressSanitizer + UBSan and under
# ThreadSanitizer, then every fuzz target for a bounded time. Arguments go to every ctest
# run (e.g. -R irc). Each stage prints how long it took.
#
#   KHUB_SANITIZERS="address thread"  which sanitizer builds to run (empty: none)
#   KHUB_FUZZ=1                       build and run the fuzz targets (0: skip)
#   KHUB_FUZZ_SECONDS=30              how long each fuzz target runs
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
sanitizers=${KHUB_SANITIZERS-address thread}
fuzz=${KHUB_FUZZ:-1}
fuzz_seconds=${KHUB_FUZZ_SECONDS:-30}

stage() {  # stage NAME COMMAND...: runs the command and prints its wall time
    local name=$1 start=$SECONDS
    shift
    echo "=== $name"
    "$@"
    echo "=== $name: $((SECONDS - start)) s"
}

# Line tables are enough for symbolised reports and keep these builds small.
san_flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1"
           "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1" -DKHUB_BUILD_BENCH=OFF -DKHUB_BUILD_FUZZ=OFF)

export ASAN_OPTIONS="detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:detect_leaks=1:suppressions=$root/scripts/asan.supp"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/scripts/tsan.supp"

run_sanitized() {  # run_sanitized address|thread BUILD_DIR ctest-args...
    local kind=$1 dir=$2
    shift 2
    cmake -S . -B "$dir" -DKHUB_SANITIZE="$kind" "${san_flags[@]}" >/dev/null
    cmake --build "$dir" -j"$jobs"
    # Fuzz targets run in their own build below; benchmarks are not tests.
    (cd "$dir" && ctest --output-on-failure -j"$jobs" -LE 'fuzz|bench' "$@")
}

for kind in $sanitizers; do
    case $kind in
    address) stage "ASan+UBSan build and tests (build-asan)" run_sanitized address build-asan "$@" ;;
    thread) stage "TSan build and tests (build-tsan)" run_sanitized thread build-tsan "$@" ;;
    *) echo "unknown sanitizer '$kind' (address | thread)" >&2; exit 2 ;;
    esac
done

run_fuzz() {
    cmake -S . -B build-fuzz -DKHUB_BUILD_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_C_COMPILER=clang -DKHUB_BUILD_TESTS=OFF -DKHUB_BUILD_GUI=OFF \
        -DKHUB_BUILD_BENCH=OFF -DKHUB_FUZZ_SECONDS="$fuzz_seconds" >/dev/null
    cmake --build build-fuzz -j"$jobs"
    (cd build-fuzz && ctest --output-on-failure -j"$jobs" -L fuzz "$@")
}
if [ "$fuzz" = 1 ]; then
    stage "Fuzz targets, ${fuzz_seconds} s each (build-fuzz)" run_fuzz "$@"
fi

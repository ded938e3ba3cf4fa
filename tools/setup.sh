#!/usr/bin/env bash
# Sets up Quillbox on a fresh Debian or Ubuntu machine: installs what is missing, builds, and
#   tools/setup.sh demo   packs the bundled sample page examples/sample.html into output.htm
#   tools/setup.sh test   builds with warnings as errors, the engine and its tests without
#                         exceptions, and runs every test: unit, console, desktop (headless),
#                         packed pages in node and in Chromium, the engine tests again under
#                         AddressSanitizer and UBSan, directory mode's jobs under
#                         ThreadSanitizer, and a short fuzzing run.
set -euo pipefail

mode=${1:-demo}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

install_packages() {
    local packages=(g++ cmake ninja-build pkg-config zlib1g-dev libbrotli-dev)
    if [ "$mode" = test ]; then
        packages+=(googletest libgtest-dev libbenchmark-dev qt6-base-dev clang libclang-rt-14-dev chromium python3 openssl)
        # Node may come from elsewhere than Debian's packages; only a missing one is installed.
        command -v node >/dev/null 2>&1 || packages+=(nodejs)
        command -v npm >/dev/null 2>&1 || packages+=(npm)
    fi
    local missing=()
    for package in "${packages[@]}"; do
        dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        "${sudo_cmd[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
            "${missing[@]}" >/dev/null
    fi
}

build() {  # configure and build preset, then extra CMake options
    local preset=$1
    shift
    cmake --preset "$preset" "$@" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
}

install_packages
case "$mode" in
demo)
    # The console program alone: nothing else is configured or built.
    build console
    ./build/console/quillbox examples/sample.html
    ;;
test)
    export QT_QPA_PLATFORM=offscreen QTEST_FUNCTION_TIMEOUT=30000
    (cd tools/browser-check && npm ci --no-audit --no-fund --loglevel=error)
    build release
    echo "== Engine tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    build sanitize
    ctest --preset sanitize -j "$jobs"
    echo "== Directory mode converting pages on several threads, under ThreadSanitizer"
    build tsan
    ctest --preset tsan -j "$jobs"
    echo "== Fuzzing the packer for 60 seconds"
    build fuzz
    ./build-fuzz/tests/fuzz/pack_fuzzer -runs=0 tests/fuzz/corpus
    ./build-fuzz/tests/fuzz/pack_fuzzer -max_total_time=60 -max_len=4096 -print_final_stats=0 \
        "$(mktemp -d)" tests/fuzz/corpus
    echo "== All tests"
    ctest --preset release -j "$jobs"
    ;;
*)
    echo "usage: tools/setup.sh demo|test" >&2
    exit 2
    ;;
esac

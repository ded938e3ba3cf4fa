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
    local packages=(g++ cmake ninja-build pkg-config googletest libgtest-dev libbenchmark-dev
                    qt6-base-dev)
    if [ "$mode" = test ]; then
        packages+=(clang libclang-rt-14-dev chromium python3 openssl)
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

build() {  # build folder, then extra CMake options
    local folder=$1
    shift
    cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$folder" -j "$jobs"
}

install_packages
case "$mode" in
demo)
    build build
    ./build/console/quillbox examples/sample.html
    ;;
test)
    export QT_QPA_PLATFORM=offscreen QTEST_FUNCTION_TIMEOUT=30000
    (cd tools/browser-check && npm ci --no-audit --no-fund --loglevel=error)
    build build -DQUILLBOX_WERROR=ON -DQUILLBOX_NO_EXCEPTIONS=ON
    echo "== Engine tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    build build-sanitize -DQUILLBOX_WERROR=ON -DQUILLBOX_SANITIZE=ON -DQUILLBOX_DESKTOP=OFF \
        -DQUILLBOX_BENCH=OFF
    (cd build-sanitize && ctest -L engine --output-on-failure -j "$jobs")
    echo "== Directory mode converting pages on several threads, under ThreadSanitizer"
    build build-tsan -DQUILLBOX_WERROR=ON -DQUILLBOX_TSAN=ON -DQUILLBOX_DESKTOP=OFF \
        -DQUILLBOX_BENCH=OFF
    (cd build-tsan && ctest -R 'ConvertList|TreeRun\.JobsGiveTheSameResult' --output-on-failure -j "$jobs")
    echo "== Fuzzing the packer for 60 seconds"
    build build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DQUILLBOX_FUZZ=ON -DQUILLBOX_DESKTOP=OFF -DQUILLBOX_TESTS=OFF \
        -DQUILLBOX_BENCH=OFF
    ./build-fuzz/tests/fuzz/pack_fuzzer -runs=0 tests/fuzz/corpus
    ./build-fuzz/tests/fuzz/pack_fuzzer -max_total_time=60 -max_len=4096 -print_final_stats=0 \
        "$(mktemp -d)" tests/fuzz/corpus
    echo "== All tests"
    (cd build && ctest --output-on-failure -j "$jobs")
    ;;
*)
    echo "usage: tools/setup.sh demo|test" >&2
    exit 2
    ;;
esac

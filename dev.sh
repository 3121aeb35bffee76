#!/usr/bin/env bash
# Set-up, build, start and test on Debian 12: installs whatever Debian packages are missing first.
#   bash dev.sh run    build and start the editor
#   bash dev.sh test   build and run every test (what CI runs)
#   bash dev.sh bench  build and print the benchmarks
#   bash dev.sh fuzz [seconds]  run each fuzz target that long (default 600), keeping what it finds
#   bash dev.sh package  build the Debian package quorvane_1.00_<arch>.deb here
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake make g++ pkg-config qt6-base-dev qt6-webengine-dev qt6-translations-l10n
          libtree-sitter-dev xvfb xauth fonts-noto-cjk clang-format librsvg2-bin desktop-file-utils
          appstream dpkg-dev x11-utils lintian libtidy-dev qt6-declarative-dev
          zlib1g-dev)
# Real pages the benchmarks type into, whose lines end in LF alone: Debian ships them, and they
# are not copied into the repository.
BENCH_PACKAGES=(git-doc bash-doc autoconf-doc libjs-bootstrap4)
# A real page the preview's tests edit: git's user manual. The fuzz targets: Debian's clang
# and its libFuzzer and sanitizer runtimes.
TEST_PACKAGES=(git-doc clang-14 libclang-rt-14-dev)
JOBS=$(nproc 2>/dev/null || echo 2)

install_missing() {
    local missing=()
    for package in "${PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    # Any npm will do for fetching the grammars; Debian's when there is none.
    command -v npm >/dev/null || missing+=(npm)
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
}

# The tree-sitter grammars, morphdom, Emmet, axe-core and VS Code's web data, as
# package-lock.json pins them, from the npm registry; fetched again only when the lock file
# changed. Their install scripts would build a Node.js binding, which nothing here uses.
fetch_grammars() {
    local grammars=source/grammars
    cmp -s "$grammars/package-lock.json" "$grammars/node_modules/.quorvane-lock" && return 0
    echo "Fetching the tree-sitter grammars, morphdom, Emmet, axe-core and the web data"
    (cd "$grammars" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error </dev/null)
    cp "$grammars/package-lock.json" "$grammars/node_modules/.quorvane-lock"
}

# The build folders and their settings are the presets in CMakePresets.json.
build() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" -j"$JOBS"
}

# Each fuzz target for $1 seconds, from its seeds in tests/fuzz and what earlier runs kept in
# build-fuzz/corpus; an input that breaks an oracle fails the run and is kept in build-fuzz.
fuzz() {
    local seconds=$1 target status
    for target in tests/fuzz/fuzz_*.cpp; do
        target=$(basename "$target" .cpp)
        mkdir -p "build-fuzz/corpus/$target"
        local leaks=1
        [ "$target" != fuzz_emmet ] || leaks=0  # the JavaScript engine's garbage
        status=0
        "build-fuzz/tests/fuzz/$target" "build-fuzz/corpus/$target" "tests/fuzz/$target" \
            -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=102400 \
            -detect_leaks=$leaks -artifact_prefix="build-fuzz/$target-" -print_final_stats=1 \
            >"build-fuzz/$target.log" 2>&1 || status=$?
        echo "$target: $(grep -h -o 'Done [0-9]* runs in [0-9]* second(s)' "build-fuzz/$target.log")"
        if [ "$status" -ne 0 ]; then
            tail -n 40 "build-fuzz/$target.log" >&2
            return "$status"
        fi
    done
}

check_format() {
    git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
}

case "${1:-}" in
run)
    install_missing
    fetch_grammars
    build default
    # Chromium's sandbox refuses to start for root; an ordinary user keeps it.
    as_root=""
    [ "$(id -u)" -ne 0 ] || as_root="QTWEBENGINE_DISABLE_SANDBOX=1 "
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "Quorvane is built (build/quorvane), but there is no display to show it on." >&2
        echo "Start it from a desktop session, or under a virtual display:" >&2
        echo "    ${as_root}xvfb-run -a -s '-screen 0 1600x1000x24' build/quorvane" >&2
        exit 1
    fi
    [ -z "$as_root" ] || export QTWEBENGINE_DISABLE_SANDBOX=1
    exec build/quorvane
    ;;
test)
    install_missing "${TEST_PACKAGES[@]}"
    fetch_grammars
    check_format
    build default
    ctest --preset default
    # The GUI-less tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
    build sanitize
    ctest --preset sanitize
    # The readers of outside bytes, fuzzed for a while each.
    build fuzz
    fuzz 20
    ;;
fuzz)
    install_missing "${TEST_PACKAGES[@]}"
    fetch_grammars
    build fuzz
    fuzz "${2:-600}"
    ;;
bench)
    install_missing "${BENCH_PACKAGES[@]}"
    fetch_grammars
    build default
    build/bench/bench_refresh
    build/bench/bench_check
    [ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
    QT_QPA_PLATFORM=offscreen build/bench/bench_editor
    QT_QPA_PLATFORM=offscreen build/bench/bench_typing
    QT_QPA_PLATFORM=offscreen build/bench/bench_large
    QT_QPA_PLATFORM=offscreen build/bench/bench_large open
    QT_QPA_PLATFORM=offscreen build/bench/bench_journal
    QT_QPA_PLATFORM=offscreen build/bench/bench_stylesheet
    QT_QPA_PLATFORM=offscreen build/bench/bench_accessibility
    bash bench/startup.sh
    ;;
package)
    install_missing
    fetch_grammars
    build package
    cpack --preset package >/dev/null
    deb=$(cd build-package && ls quorvane_*.deb)
    cp "build-package/$deb" .
    echo "Built $deb. Install it with: sudo apt install ./$deb"
    ;;
*)
    echo "usage: bash dev.sh run|test|bench|package|fuzz [seconds]" >&2
    exit 2
    ;;
esac

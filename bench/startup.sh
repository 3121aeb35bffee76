#!/usr/bin/env bash
# Start-up: how soon each program shows its first page, and its resident memory once settled,
# the mean of N starts, taken in turns so that both see the same machine. Headless.
#   bash bench/startup.sh [N] [program ...]     (default: 8 starts of build/quorvane)
# Compare two builds by naming both: bash bench/startup.sh 8 /tmp/old/build/quorvane build/quorvane
set -euo pipefail
runs=${1:-8}
shift || true
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=(build/quorvane)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
page="$work/page.html"
printf '<!DOCTYPE html>\n<html lang="ja">\n<head><meta charset="UTF-8"><title>起動</title></head>\n<body>\n<h1>起動の速さ</h1>\n<p>日本語の段落です。</p>\n</body>\n</html>\n' >"$page"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
# The preview logs each page it shows; the first line's time is the time since the process began.
export QT_LOGGING_RULES="quorvane.preview.updates.debug=true" QT_MESSAGE_PATTERN="T %{time process} %{message}"
one() {
    local home
    home=$(mktemp -d "$work/home.XXXX")
    HOME=$home XDG_CACHE_HOME=$home/.cache "$1" "$page" >"$home/log" 2>&1 &
    local pid=$!
    sleep 8
    local rss
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo "$(grep -m1 loaded "$home/log" | awk '{print $2}') $rss"
}
declare -A time memory
for ((i = 0; i < runs; i++)); do
    for program in "${programs[@]}"; do
        read -r t m < <(one "$program")
        time[$program]="${time[$program]:-} $t"
        memory[$program]="${memory[$program]:-} $m"
    done
done
printf '%-40s %22s %18s\n' "program" "first page shown, ms" "resident MB"
for program in "${programs[@]}"; do
    printf '%-40s %22.0f %18.1f\n' "$program" \
        "$(echo ${time[$program]} | tr ' ' '\n' | awk '{s += $1} END {print s / NR * 1000}')" \
        "$(echo ${memory[$program]} | tr ' ' '\n' | awk '{s += $1} END {print s / NR / 1024}')"
done

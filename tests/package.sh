#!/usr/bin/env bash
# The desktop install and the Debian package: the validators and lintian, the files an install
# puts in place, the package's dependencies, and the program from the package starting on a
# virtual display with a page named on its command line.
#   package.sh SOURCE_DIR BUILD_DIR APP_ID
set -euo pipefail
source_dir=$1 build_dir=$2 id=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

desktop-file-validate "$source_dir/data/$id.desktop"
appstreamcli validate --no-net "$build_dir/data/$id.metainfo.xml"

DESTDIR="$work/dest" cmake --install "$build_dir" --prefix /usr >/dev/null
expected="usr/bin/quorvane
usr/share/applications/$id.desktop
usr/share/metainfo/$id.metainfo.xml
usr/share/doc/quorvane/changelog.gz
usr/share/doc/quorvane/copyright
usr/share/man/man1/quorvane.1.gz
usr/share/man/ja/man1/quorvane.1.gz
usr/share/icons/hicolor/scalable/apps/$id.svg"
for size in 16 24 32 48 64 128 256; do
    expected+=$'\n'"usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
done
diff <(sort <<<"$expected") <(cd "$work/dest" && find . -type f -printf '%P\n' | sort) ||
    fail "the install does not hold the files above"

(cd "$build_dir" && cpack -G DEB -B "$work/pkg" >/dev/null)
deb="$work/pkg/quorvane_1.00_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6widgets6 libqt6webenginewidgets6 libqt6qml6 libtidy5deb1 libc6; do
    grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
[ "$(dpkg-deb -f "$deb" Recommends)" = fonts-noto-cjk ] || fail "fonts-noto-cjk not recommended"
# Errors and warnings fail; what lintian only notes does not.
lintian --fail-on error,warning "$deb" 2>/dev/null || fail "lintian: $(lintian "$deb" 2>/dev/null)"

# Installed, the program answers --version, shows its window with the page named on its command
# line, and writes its preview to the user's cache, never beside itself.
dpkg -x "$deb" "$work/root"
[ "$("$work/root/usr/bin/quorvane" --version)" = "Quorvane 1.00" ] || fail "--version"
"$work/root/usr/bin/quorvane" --help | grep -q "^Usage: quorvane" || fail "--help"
status=0
"$work/root/usr/bin/quorvane" --no-such-option 2>/dev/null || status=$?
[ "$status" = 2 ] || fail "an unknown option ends with $status, not 2"
mkdir -p "$work/home" "$work/page"
printf '<p>\x93\xfa\x96\x7b</p>\r\n' >"$work/page/named.html"  # CP932, kept so in the preview
printf '<p>\x93\xfa\x96\x7b</p>\r\n\r\n' >"$work/page/expected"
preview="$work/cache/Quorvane/一時.html"
# On the virtual display itself, whatever platform the caller's environment names.
HOME="$work/home" XDG_CACHE_HOME="$work/cache" QT_QPA_PLATFORM=xcb \
    QTWEBENGINE_DISABLE_SANDBOX=1 xvfb-run -a -s '-screen 0 1280x800x24' bash -c '
        "$1" "$2/page/named.html" >"$2/log" 2>&1 &
        for _ in $(seq 600); do
            xwininfo -root -tree >"$2/windows"
            grep -q "\"Quorvane\"" "$2/windows" && cmp -s "$3" "$2/page/expected" && break
            kill -0 $! 2>/dev/null || break
            sleep 0.1
        done
        kill -0 $! 2>/dev/null && echo up >"$2/state"
        kill $! 2>/dev/null || true
        # Its ending still writes (the web engine, the journal): done before the folder goes.
        wait $! 2>/dev/null || true' _ "$work/root/usr/bin/quorvane" "$work" "$preview"
[ -f "$work/state" ] || { cat "$work/log" >&2; fail "the program did not stay up"; }
grep -q '"Quorvane"' "$work/windows" || fail "no window titled Quorvane"
cmp -s "$preview" "$work/page/expected" || fail "the named page is not in the preview in the user's cache"
[ "$(ls "$work/root/usr/bin")" = quorvane ] || fail "something was written beside the program"
echo "package: validators, install, $(basename "$deb") and its start all pass"

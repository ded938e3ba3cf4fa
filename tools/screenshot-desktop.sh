#!/bin/sh
# Takes the screenshot of the desktop program shown in the README (docs/quillwin.png): runs the
# main window on a virtual X display with a fresh settings folder, packs a few sample pages and
# saves the window's picture. Needs xvfb (Debian package) and a configured build folder:
#   tools/screenshot-desktop.sh [build folder] [output.png]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
output=$(realpath -m "${2:-$root/docs/quillwin.png}")
cmake --build "$build" --target quillwin_screenshot >/dev/null
program=$(find "$build" -name quillwin_screenshot -type f -perm -u+x | head -n 1)
# A fixed folder, so the picture shows short, tidy paths.
work=/tmp/example-site
rm -rf "$work"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/.config" "$work/packed" "$(dirname "$output")"
for page in article forms scripts tables-lists styles; do
    cp "$root/tests/data/pages/$page.html" "$work/"
done
cd "$work"
XDG_CONFIG_HOME="$work/.config" timeout 60 xvfb-run -a -s '-screen 0 1024x768x24' \
    "$program" "$output" "$work/packed" "$work"/*.html
echo "Wrote $output"

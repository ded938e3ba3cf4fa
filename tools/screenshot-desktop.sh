#!/bin/sh
# Takes the screenshots of the desktop program shown in the README (docs/quillwin*.png): runs the
# main window on a virtual X display with a fresh settings folder, packs a few sample pages and
# saves the window's picture. Needs xvfb (Debian package) and a configured build folder:
#   tools/screenshot-desktop.sh [build folder] [output.png] [--during-run | --properties] [--dark]
# With --during-run two of the pages come from a local server that takes the requests and never
# answers, and the picture shows the run in progress (docs/quillwin-packing.png); --properties
# shows the Properties sheet instead; --dark a dark palette. QT_SCALE_FACTOR=2 in the
# environment draws the window as a HiDPI screen shows it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
output=$(realpath -m "${2:-$root/docs/quillwin.png}")
mode=${3:-}
look=${4:-}
if [ "$mode" = --dark ]; then mode=; look=--dark; fi
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
set -- "$work"/*.html
if [ "$mode" = --during-run ]; then
    # A server that accepts every connection and never sends a byte.
    python3 -c '
import socket, sys, time
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(16)
print(server.getsockname()[1], flush=True)
held = []
while True:
    held.append(server.accept()[0])
' > "$work/port" &
    server=$!
    trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
    while [ ! -s "$work/port" ]; do sleep 0.1; done
    port=$(cat "$work/port")
    set -- --during-run $look "$output" "$work/packed" "$1" "$2" \
        "http://127.0.0.1:$port/news.html" "$3" "http://127.0.0.1:$port/archive/2026.html" \
        "$4" "$5"
else
    set -- $mode $look "$output" "$work/packed" "$@"
fi
XDG_CONFIG_HOME="$work/.config" timeout 60 xvfb-run -a -s '-screen 0 2560x1600x24' \
    "$program" "$@"
echo "Wrote $output"

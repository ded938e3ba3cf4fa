#!/bin/sh
# Takes the screenshot of the desktop program shown in the README (docs/quillwin.png): starts
# Quillwin on a virtual X display with a fresh settings folder and captures its window.
# Needs xvfb and imagemagick (Debian packages) and a built program:
#   tools/screenshot-desktop.sh [path/to/Quillwin] [output.png]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$root/build/desktop/Quillwin}")
output=${2:-$root/docs/quillwin.png}
mkdir -p "$(dirname "$output")"
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export XDG_CONFIG_HOME="$config" QUILLWIN_PROGRAM="$program" QUILLWIN_SHOT="$output"
# The tip of the day stays off so that the main window is the one captured.
mkdir -p "$config/Orvane/Quillbox/0.9b"
printf '[Tip]\nStartUp=1\n' > "$config/Orvane/Quillbox/0.9b/Quillwin.ini"
# Without a window manager the window sits at the top left of a black screen; trimming the
# black leaves the window.
timeout 60 xvfb-run -a -s '-screen 0 800x600x24' sh -c '
    cd "$XDG_CONFIG_HOME"
    "$QUILLWIN_PROGRAM" & pid=$!
    sleep 3
    import -window root "$XDG_CONFIG_HOME/screen.png"
    kill $pid
'
convert "$config/screen.png" -trim +repage "$output"
echo "Wrote $output"

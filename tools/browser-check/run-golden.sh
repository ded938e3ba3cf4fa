#!/usr/bin/env bash
# Converts every golden page with the console, by plain compaction and by
# JavaScript packing, and checks in headless Chromium that each converted page
# shows what its original shows. Pages go through piping mode (-p), whole.
#
# Usage: tools/browser-check/run-golden.sh QUILLBOX [NAME ...] [-- CHECK-OPTIONS]
#   QUILLBOX   path of the built console program
#   NAME       base names of pages to check (default: every tests/data/pages/*.html
#              and, as NAME.cgi, every tests/data/server/*.html)
#   after --   options passed to check.mjs (--timeout=MS, --jobs=N, --all-diffs)
# Environment:
#   GOLDEN_PAGES          folder of the pages (default: tests/data/pages)
#   SERVER_PAGES          folder of pages behind server header lines, converted
#                         with -s added (default: tests/data/server)
#   QUILLBOX_PLAIN_ARGS   console switches for the plain form (default: --method=plain)
#   QUILLBOX_PACKED_ARGS  console switches for the packed form (default: --method=js)
#   KEEP_FOLDER=1         keep the folder of converted pages and print its path
# Exit status: that of check.mjs (0 when every pair passed), 2 on a usage error.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"

if [[ $# -lt 1 || "$1" == "-h" || "$1" == "--help" ]]; then
    sed -n '2,18p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
    exit 2
fi
quillbox="$1"
shift
if [[ ! -x "$quillbox" ]]; then
    echo "run-golden: $quillbox is not an executable program" >&2
    exit 2
fi
quillbox="$(cd "$(dirname "$quillbox")" && pwd)/$(basename "$quillbox")"

names=()
check_options=()
while [[ $# -gt 0 ]]; do
    if [[ "$1" == "--" ]]; then
        shift
        check_options=("$@")
        break
    fi
    names+=("${1%.html}")
    shift
done

pages="${GOLDEN_PAGES:-$root/tests/data/pages}"
server_pages="${SERVER_PAGES:-$root/tests/data/server}"
read -r -a plain_args <<< "${QUILLBOX_PLAIN_ARGS---method=plain}"
read -r -a packed_args <<< "${QUILLBOX_PACKED_ARGS---method=js}"

if ! command -v node > /dev/null; then
    echo "run-golden: node is not installed" >&2
    exit 2
fi
if [[ ! -d "$here/node_modules/playwright-core" ]]; then
    (cd "$here" && npm ci --no-audit --no-fund --loglevel=error)
fi

folder="$(mktemp -d "${TMPDIR:-/tmp}/quillbox-golden.XXXXXX")"
if [[ "${KEEP_FOLDER:-0}" == "1" ]]; then
    echo "run-golden: converted pages are kept in $folder"
else
    trap 'rm -rf "$folder"' EXIT
fi

if [[ ${#names[@]} -eq 0 ]]; then
    for page in "$pages"/*.html; do
        name="$(basename "$page" .html)"
        [[ "$name" == *.packed || "$name" == *.plain ]] && continue
        names+=("$name")
    done
    if [[ -d "$server_pages" ]]; then
        for page in "$server_pages"/*.html; do
            names+=("$(basename "$page" .html).cgi")
        done
    fi
fi

# A conversion that fails leaves no file, which the check reports as MISSING.
convert() {
    local page="$1" output="$2"
    shift 2
    local status=0
    "$quillbox" -p "$@" < "$page" > "$output" 2> "$output.err" || status=$?
    if [[ $status -ne 0 ]]; then
        echo "run-golden: quillbox $* $(basename "$page") exited with status $status: $(head -c 300 "$output.err")" >&2
        rm -f "$output"
    fi
    rm -f "$output.err"
}

# A name ending in .cgi is a page of the server folder; the check compares its
# header lines and the pages after them.
for name in "${names[@]}"; do
    header_args=()
    if [[ "$name" == *.cgi ]]; then
        page="$server_pages/${name%.cgi}.html"
        header_args=(-s)
    else
        page="$pages/$name.html"
    fi
    if [[ ! -f "$page" ]]; then
        echo "run-golden: no page $page" >&2
        exit 2
    fi
    cp "$page" "$folder/$name.html"
    convert "$page" "$folder/$name.plain.html" "${plain_args[@]}" "${header_args[@]}"
    convert "$page" "$folder/$name.packed.html" "${packed_args[@]}" "${header_args[@]}"
done

node "$here/check.mjs" "${check_options[@]}" "$folder" "${names[@]}"

#!/usr/bin/env bash
# Sizes of a set of pages as they travel: the originals and each conversion, raw, after gzip -9
# and after brotli at quality 11, summed over every page of 2 to 100 KB in FOLDER, from the
# run reports of the console program. Prints a Markdown table.
#
# Usage: tools/served-table.sh FOLDER [QUILLBOX]
#   FOLDER    pages, as tools/fetch-doc-pages.sh leaves them in its pages/ folder
#   QUILLBOX  the console program (default build/console/quillbox)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
folder=$1
quillbox=$(realpath "${2:-$root/build/console/quillbox}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mapfile -t pages < <(find "$folder" -maxdepth 1 -type f -name '*.html' \
    ! -name '*.plain.html' ! -name '*.packed.html' -size +1999c -size -100001c | sort)
[ ${#pages[@]} -gt 0 ] || { echo "no pages of 2 to 100 KB in $folder" >&2; exit 1; }

run() {  # name, then switches
    local name=$1
    shift
    mkdir -p "$work/$name"
    "$quillbox" -i -v "$@" --report="$work/$name.jsonl" --output-dir="$work/$name" "${pages[@]}" \
        >/dev/null 2>&1 || true
}
run plain --method=plain
run best --method=best
run js --method=js
run best-gzip --method=best --served=gzip
run best-br --method=best --served=br

python3 - "$work" "${#pages[@]}" <<'EOF'
import json, sys
work, count = sys.argv[1], int(sys.argv[2])
def load(name):
    return [json.loads(line) for line in open(f"{work}/{name}.jsonl", encoding="utf-8")]
rows = [("plain compaction", "plain"), ("best of both, raw (default)", "best"),
        ("JavaScript packing", "js"), ("best of both, --served=gzip", "best-gzip"),
        ("best of both, --served=br", "best-br")]
first = [line for line in load("plain") if line["status"] != "failed"]
base = {k: sum(line[k] for line in first) for k in ("input_bytes", "input_gzip", "input_br")}
print(f"{count} pages, {base['input_bytes'] / 1e6:.1f} MB\n")
print("| | raw size | after gzip -9 | after brotli 11 | pages kept as JavaScript |")
print("|---|---|---|---|---|")
print(f"| originals | 100% | {100 * base['input_gzip'] / base['input_bytes']:.1f}% "
      f"| {100 * base['input_br'] / base['input_bytes']:.1f}% | |")
for label, name in rows:
    lines = [line for line in load(name) if line["status"] != "failed"]
    out = {k: sum(line[k] for line in lines) for k in ("output_bytes", "output_gzip", "output_br")}
    packed = sum(1 for line in lines if line["method"] == "js")
    print(f"| {label} | {100 * out['output_bytes'] / base['input_bytes']:.1f}% "
          f"| {100 * out['output_gzip'] / base['input_bytes']:.1f}% "
          f"| {100 * out['output_br'] / base['input_bytes']:.1f}% | {packed} |")
EOF

#!/bin/bash
# Converts pages with two builds of quillbox and reports every output that differs, for
# changes to the engine that must leave its results byte for byte as they were.
#
#   tools/compare-outputs.sh OLD_QUILLBOX NEW_QUILLBOX [PAGE_OR_FOLDER ...]
#
# Without pages: the golden pages, the fuzzer's corpus and, when fetched, the benchmark pages
# (bench/pages/pages). Every page is piped through each method; the small pages also under
# each option set below. Standard output, standard error and the status are compared.
set -u
if [ $# -lt 2 ]; then
    echo "usage: $0 OLD_QUILLBOX NEW_QUILLBOX [PAGE_OR_FOLDER ...]" >&2
    exit 2
fi
old=$1
new=$2
shift 2
top=$(cd "$(dirname "$0")/.." && pwd)
small=("$top/tests/data/pages" "$top/tests/data/server" "$top/tests/fuzz/corpus")
large=()
if [ $# -gt 0 ]; then
    small=()
    large=("$@")
elif [ -d "$top/bench/pages/pages" ]; then
    large=("$top/bench/pages/pages")
fi
option_sets=("" "--keep-comments" "--remove-meta" "--code-char-limit=128" "--output-chunk=7" "-s")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Lists the files under the given pages and folders, one a line.
pages_of() {
    for entry in "$@"; do
        if [ -d "$entry" ]; then find "$entry" -type f | sort; else echo "$entry"; fi
    done
}

# Converts a page one way with both builds; prints its name and the way when they differ.
compare() {
    local page=$1
    shift
    local n
    for n in old new; do
        local program=$old
        [ $n = new ] && program=$new
        "$program" -p "$@" < "$page" > "$work/$n.out" 2> "$work/$n.err"
        echo $? > "$work/$n.status"
    done
    if ! cmp -s "$work/old.out" "$work/new.out" || ! cmp -s "$work/old.err" "$work/new.err" ||
        ! cmp -s "$work/old.status" "$work/new.status"; then
        echo "differs: $page $*"
        return 1
    fi
}

compared=0
differing=0
while IFS= read -r page; do
    [ -n "$page" ] || continue
    for method in plain js best; do
        for options in "${option_sets[@]}"; do
            # shellcheck disable=SC2086  # an option set is zero or one word
            compare "$page" --method=$method $options || differing=$((differing + 1))
            compared=$((compared + 1))
        done
    done
done < <(pages_of "${small[@]}")
while IFS= read -r page; do
    [ -n "$page" ] || continue
    case $page in *.plain.html | *.packed.html) continue ;; esac
    for method in plain js best; do
        compare "$page" --method=$method || differing=$((differing + 1))
        compared=$((compared + 1))
    done
done < <(pages_of "${large[@]}")

echo "$compared conversions compared, $differing differ"
[ $differing -eq 0 ]

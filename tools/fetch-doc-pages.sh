#!/usr/bin/env bash
# Collects real HTML pages from Debian documentation packages, for trying the
# converter and the browser check on pages it was not written against.
#
# Usage: tools/fetch-doc-pages.sh FOLDER [PER_PACKAGE]
#   Downloads the packages listed below with `apt-get download` (nothing is
#   installed), unpacks each with `dpkg-deb -x` under FOLDER/extracted, and
#   copies pages into two flat folders:
#     FOLDER/pages        pages of 1 KB to 100 KB, at most PER_PACKAGE (default
#                         18) from each package, spread evenly over its pages
#     FOLDER/pages-large  pages over 100 KB (up to 1 MB), one from each package
#   A page is named PACKAGE--PATH.html, its path inside the package with '/'
#   turned into '-', so names are unique and tell where a page came from.
#   Compressed pages (.html.gz) are unpacked; empty pages and pages holding a
#   zero byte are skipped. The package list and the choice of pages are fixed,
#   so a run gives the same pages for the same package versions.
#   Downloaded packages are kept in FOLDER/debs and not fetched again.
#   FOLDER/in-tree.txt lists the same pages where they stand in the unpacked
#   packages (paths under FOLDER/extracted, without ".html"), where their style
#   sheets, scripts and pictures are found; a page not named .html gets a copy
#   that is.
# Environment:
#   QUILLBOX=PROGRAM  also converts every page, in both folders, into
#                     NAME.plain.html (--method=plain) and NAME.packed.html
#                     (--method=js) beside it, for the browser check:
#                       node tools/browser-check/check.mjs --pictures FOLDER/pages
#                       cd FOLDER/extracted &&
#                         node .../check.mjs --pictures=FOLDER/pictures-in-tree . $(cat ../in-tree.txt)
# Needs: apt-get (run `apt-get update` once on a new machine), dpkg-deb, gzip.
set -euo pipefail

if [[ $# -lt 1 || "$1" == "-h" || "$1" == "--help" ]]; then
    sed -n '2,19p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
    exit 2
fi
folder="$(mkdir -p "$1" && cd "$1" && pwd)"
per_package="${2:-18}"
[[ "$per_package" =~ ^[1-9][0-9]*$ ]] || { echo "fetch-doc-pages: PER_PACKAGE must be a number" >&2; exit 2; }

# Chosen for the variety of their HTML: Sphinx; DocBook through DSSSL (end tags
# with a line break before '>') and through XSL; texinfo and texi2html; pages
# written by hand or by small generators, with scripts, styles and frames;
# API pages of a recent Java documentation tool (<wbr> at line ends, scripts).
packages=(
    sphinx-doc debian-policy developers-reference
    docbook-dsssl-doc libgtk2.0-doc
    docbook-xsl-doc-html postgresql-doc-15 libglib2.0-doc debian-reference-en debian-faq xorg-docs
    bash-doc gettext-doc m4-doc flex-doc zsh-doc
    apache2-doc postfix-doc lynx-common sqlite3-doc libxml2-doc gnuplot-doc vim-doc libpam-doc r-doc-html
    libcommons-lang3-java-doc libjcommander-java-doc
)

small_min=1024
small_max=102400
large_max=1048576

mkdir -p "$folder/debs" "$folder/extracted"
rm -rf "$folder/pages" "$folder/pages-large" "$folder/in-tree.txt"
mkdir -p "$folder/pages" "$folder/pages-large"

missing=()
for package in "${packages[@]}"; do
    compgen -G "$folder/debs/${package}_*.deb" > /dev/null || missing+=("$package")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    # apt-get download writes into the current folder; as root it warns that the
    # folder is not reachable for its own user, which does not matter here.
    (cd "$folder/debs" && apt-get download "${missing[@]}" 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
fi

total=0
large=0
for package in "${packages[@]}"; do
    deb=$(compgen -G "$folder/debs/${package}_*.deb" | LC_ALL=C sort | tail -n 1 || true)
    if [[ -z "$deb" ]]; then
        echo "fetch-doc-pages: $package could not be downloaded" >&2
        continue
    fi
    root="$folder/extracted/$package"
    rm -rf "$root"
    mkdir -p "$root"
    dpkg-deb -x "$deb" "$root"

    # Compressed pages are unpacked in place; then every page's size is read by
    # one find, and one grep drops the pages that hold a zero byte.
    find "$root" -type f \( -iname '*.html.gz' -o -iname '*.htm.gz' \) -exec gzip -dfq {} + 2> /dev/null || true
    # (Page paths in these packages hold no line breaks or tabs.)
    find "$root" -type f \( -iname '*.html' -o -iname '*.htm' \) -size +0 -printf '%s\t%p\n' |
        LC_ALL=C sort -t $'\t' -k2 > "$folder/.sizes"
    cut -f2 "$folder/.sizes" | tr '\n' '\0' | { LC_ALL=C xargs -0 -r grep -laP '\x00' || true; } > "$folder/.with-zero"
    small=()
    big=()
    while IFS=$'\t' read -r size file; do
        if (( size >= small_min && size <= small_max )); then small+=("$file")
        elif (( size > small_max && size <= large_max )); then big+=("$file")
        fi
    done < <(grep -vF -f "$folder/.with-zero" "$folder/.sizes" || true)
    # Spread the choice evenly over the package's pages, in name order.
    count=${#small[@]}
    take=$(( count < per_package ? count : per_package ))
    chosen=()
    for (( i = 0; i < take; i++ )); do chosen+=("${small[$(( i * count / take ))]}"); done
    [[ ${#big[@]} -gt 0 ]] && chosen+=("${big[0]}")

    for file in "${chosen[@]}"; do
        relative="${file#"$root"/}"
        relative="${relative#usr/share/doc/}"
        relative="${relative#"$package"/}"
        relative="${relative%.html}"
        relative="${relative%.htm}"
        relative="${relative%.HTML}"
        relative="${relative%.HTM}"
        name="$package--${relative//\//-}.html"
        if [[ "$file" == "${big[0]:-}" ]]; then
            cp "$file" "$folder/pages-large/$name"
            large=$((large + 1))
        else
            cp "$file" "$folder/pages/$name"
            total=$((total + 1))
            in_tree="${file%.*}"
            [[ "$file" == *.html ]] || cp "$file" "$in_tree.html"
            echo "${in_tree#"$folder/extracted/"}" >> "$folder/in-tree.txt"
        fi
    done
    printf '%-22s %4d pages of %4d, %d large\n' "$package" "$take" "$count" "$([[ ${#big[@]} -gt 0 ]] && echo 1 || echo 0)"
done
rm -f "$folder/.sizes" "$folder/.with-zero"
echo "$total pages in $folder/pages, $large in $folder/pages-large"

if [[ -n "${QUILLBOX:-}" ]]; then
    convert() {
        local page="$1" base="${1%.html}"
        "$QUILLBOX" --method=plain --output="$base.plain.html" "$page" > /dev/null || echo "fetch-doc-pages: plain compaction of $page failed" >&2
        "$QUILLBOX" --method=js --output="$base.packed.html" "$page" > /dev/null || echo "fetch-doc-pages: packing of $page failed" >&2
    }
    for page in "$folder"/pages/*.html "$folder"/pages-large/*.html; do
        [[ "$page" == *.plain.html || "$page" == *.packed.html ]] || convert "$page"
    done
    while IFS= read -r base; do convert "$folder/extracted/$base.html"; done < "$folder/in-tree.txt"
    echo "converted with $QUILLBOX"
fi

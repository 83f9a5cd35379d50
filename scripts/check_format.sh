#!/usr/bin/env bash
# Fails when a C or C++ source the repository tracks is not formatted as
# .clang-format says; prints the files and how to mend them. The whole tree
# was formatted once, so every changed file must stay formatted.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
formatter=${CLANG_FORMAT:-clang-format}
command -v "$formatter" >/dev/null || { echo "check_format: $formatter is missing (scripts/setup.sh installs it)"; exit 2; }
# The tracked sources; a tree without git (an unpacked archive) has no build trees yet.
sources() {
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files -z -- '*.cpp' '*.h' '*.c'
    else
        find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -type f -print0
    fi
}
bad=()
while IFS= read -r -d '' file; do
    "$formatter" --dry-run --Werror "$file" >/dev/null 2>&1 || bad+=("$file")
done < <(sources)
if [ ${#bad[@]} -gt 0 ]; then
    echo "Not formatted (run: clang-format -i ${bad[*]}):"
    printf '  %s\n' "${bad[@]}"
    exit 1
fi
echo "format: every source formatted"

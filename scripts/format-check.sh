#!/usr/bin/env bash
# Fails when a C++ source of the repository differs from what clang-format makes
# of it with the repository's .clang-format, and shows the difference.
#
#   scripts/format-check.sh        (make format-check runs it)
set -euo pipefail
cd "$(dirname "$0")/.."

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
    mapfile -t files < <(find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) \
        -type f -print | sed 's|^\./||' | sort)
fi

misformatted=()
for file in "${files[@]}"; do
    if ! clang-format --style=file "$file" | diff -u --label "$file" --label "$file (formatted)" \
        "$file" -; then
        misformatted+=("$file")
    fi
done

if [ ${#misformatted[@]} -gt 0 ]; then
    echo "format-check: ${#misformatted[@]} of ${#files[@]} files differ from clang-format's style:" >&2
    printf '  %s\n' "${misformatted[@]}" >&2
    echo "format-check: clang-format -i FILE... rewrites them" >&2
    exit 1
fi
echo "format-check: ${#files[@]} files formatted as clang-format would"

#!/usr/bin/env bash
# Builds Quillo's Debian packages with Debian's own tools (debhelper,
# dpkg-buildpackage) from a clean copy of the sources, and checks them with lintian.
#
#   deb.sh [OUT]     the packages land in OUT (default build-deb/)
set -euo pipefail
cd "$(dirname "$0")/.."

out=$(realpath -m "${1:-build-deb}")
version=$(dpkg-parsechangelog -S Version)
rm -rf "$out"
mkdir -p "$out/src"
# The sources as git knows them (committed or not), without any build tree.
git ls-files -z --cached --others --exclude-standard | \
    grep -zv -e '^build' -e '^fuzz-corpus' | \
    tar --null -T - -cf - | tar -xf - -C "$out/src"

(cd "$out/src" && dpkg-buildpackage -b -uc -us >"$out/build.log" 2>&1) || {
    tail -40 "$out/build.log" >&2
    echo "deb: dpkg-buildpackage failed; the whole log is $out/build.log" >&2
    exit 1
}
rm -rf "$out/src"

# Errors fail the build; warnings are shown.
lintian --fail-on error "$out"/*.changes
echo "deb: $(cd "$out" && ls ./*.deb | tr '\n' ' ')in $out (version $version)"

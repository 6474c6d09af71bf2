#!/usr/bin/env bash
# Installs quillo.so and quillo-render.
#
#   install.sh BUILD DESTDIR PREFIX
#
# Per user (the default): quillo.so into ~/.vst, quillo-render into ~/.local/bin.
# System-wide when PREFIX was given explicitly (make install PREFIX=..., or
# PREFIX in the environment) or DESTDIR is set: $DESTDIR$PREFIX/lib/vst and
# $DESTDIR$PREFIX/bin. make hands the script its PREFIX default either way, so
# "given explicitly" is read from the environment: make exports a variable to
# its commands only when it came from the command line or the environment.
set -euo pipefail

build="${1:-build}"
destdir="${2:-}"
prefix="${3:-/usr/local}"

for file in "$build/quillo.so" "$build/quillo-render"; do
    if [ ! -f "$file" ]; then
        echo "install: $file is missing; build first (make build)" >&2
        exit 1
    fi
done

if [ -n "${PREFIX+set}" ] || [ -n "$destdir" ]; then
    plugin_dir="$destdir$prefix/lib/vst"
    bin_dir="$destdir$prefix/bin"
else
    plugin_dir="$HOME/.vst"
    bin_dir="$HOME/.local/bin"
fi

install -D -m 0644 "$build/quillo.so" "$plugin_dir/quillo.so"
install -D -m 0755 "$build/quillo-render" "$bin_dir/quillo-render"
echo "Installed $plugin_dir/quillo.so"
echo "Installed $bin_dir/quillo-render"

case ":$PATH:" in
*":$bin_dir:"*) ;;
*) [ -z "$destdir" ] && echo "Note: $bin_dir is not on your PATH" ;;
esac
exit 0

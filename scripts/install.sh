#!/usr/bin/env bash
# Installs quillo.so, the LV2 bundle quillo.lv2 (with the factory presets),
# quillo-render and the factory bank as VST 2 files.
#
#   install.sh BUILD DESTDIR PREFIX
#
# Per user (the default): quillo.so into ~/.vst, quillo.lv2 into ~/.lv2,
# quillo-render into ~/.local/bin, the .fxb and .fxp files into
# ~/.local/share/quillo/presets. Under PREFIX when it was given explicitly (make
# install PREFIX=..., or PREFIX in the environment), when DESTDIR is set, or when
# run as root (sudo make install), so that root's home never gets it by surprise:
# $DESTDIR$PREFIX/lib/vst, $DESTDIR$PREFIX/lib/lv2, $DESTDIR$PREFIX/bin and
# $DESTDIR$PREFIX/share/quillo/presets. make hands the script its PREFIX default
# either way, so
# "given explicitly" is read from the environment: make exports a variable to
# its commands only when it came from the command line or the environment.
set -euo pipefail

build="${1:-build}"
destdir="${2:-}"
prefix="${3:-/usr/local}"

bundle="$build/lv2/quillo.lv2"
presets="$build/share/quillo/presets"
for file in "$build/quillo.so" "$build/quillo-render" "$build/quillo-jack" \
    "$bundle/quillo.so" "$bundle/manifest.ttl" \
    "$bundle/presets.ttl" "$presets/quillo-factory.fxb"; do
    if [ ! -f "$file" ]; then
        echo "install: $file is missing; build first (make build)" >&2
        exit 1
    fi
done

if [ -n "${PREFIX+set}" ] || [ -n "$destdir" ] || [ "$(id -u)" -eq 0 ]; then
    plugin_dir="$destdir$prefix/lib/vst"
    lv2_dir="$destdir$prefix/lib/lv2"
    bin_dir="$destdir$prefix/bin"
    preset_dir="$destdir$prefix/share/quillo/presets"
else
    plugin_dir="$HOME/.vst"
    lv2_dir="$HOME/.lv2"
    bin_dir="$HOME/.local/bin"
    preset_dir="${XDG_DATA_HOME:-$HOME/.local/share}/quillo/presets"
fi

install -D -m 0644 "$build/quillo.so" "$plugin_dir/quillo.so"
install -D -m 0755 "$build/quillo-render" "$bin_dir/quillo-render"
install -D -m 0755 "$build/quillo-jack" "$bin_dir/quillo-jack"
# The bundle is replaced whole, so no file of an older version stays behind.
rm -rf "$lv2_dir/quillo.lv2"
install -d "$lv2_dir/quillo.lv2"
install -m 0644 "$bundle"/*.ttl "$bundle/quillo.so" "$lv2_dir/quillo.lv2/"
# The factory files are written over; a user's own files beside them stay.
install -d "$preset_dir"
install -m 0644 "$presets"/*.fxb "$presets"/*.fxp "$preset_dir/"
echo "Installed $plugin_dir/quillo.so"
echo "Installed $lv2_dir/quillo.lv2"
echo "Installed $bin_dir/quillo-render and $bin_dir/quillo-jack"
echo "Installed $preset_dir (the factory bank quillo-factory.fxb and $(ls "$presets"/*.fxp | wc -l) .fxp files)"

case ":$PATH:" in
*":$bin_dir:"*) ;;
*) [ -z "$destdir" ] && echo "Note: $bin_dir is not on your PATH" ;;
esac
exit 0

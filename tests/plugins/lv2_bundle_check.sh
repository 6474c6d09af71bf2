#!/usr/bin/env bash
# Checks the LV2 bundle the way hosts and LV2's own tools read it:
#   lv2_bundle_check.sh LV2_DIR FACTORY   (the folder that holds quillo.lv2, and
#                                          presets/factory.txt)
# every .ttl parses, lv2_validate reports nothing, lilv sees the ports the plug-in
# has and every preset of the factory bank, and the library exports lv2_descriptor
# alone.
set -euo pipefail

lv2_dir=$(realpath "$1")
factory=$2
bundle=$lv2_dir/quillo.lv2
uri=https://mirefold.org/lv2/quillo
fail() { echo "lv2 bundle: $*" >&2; exit 1; }

for ttl in "$bundle"/*.ttl; do
    serdi -q "$ttl" >/dev/null || fail "$ttl does not parse"
done

report=$(lv2_validate "$bundle"/*.ttl 2>&1) || fail "lv2_validate: $report"
grep -q 'Found 0 errors' <<<"$report" || fail "lv2_validate: $report"
if grep -qi 'warning' <<<"$report"; then fail "lv2_validate: $report"; fi

# LV2's own bundles name the plug-in classes.
info=$(LV2_PATH=$lv2_dir:/usr/lib/lv2 lv2info "$uri" 2>&1) || fail "lv2info: $info"
count() { awk '
    /^\tPort [0-9]+:/ { if (types != "") print types; types = "" }
    /http:\/\/lv2plug.in\/ns\// { types = types " " $NF }
    END { if (types != "") print types }' <<<"$info" | grep -c -- "$1" || true; }
controls=$(count 'ControlPort.*InputPort\|InputPort.*ControlPort')
atoms=$(count 'AtomPort.*InputPort\|InputPort.*AtomPort')
audio=$(count 'AudioPort.*OutputPort\|OutputPort.*AudioPort')
[ "$controls" = 36 ] || fail "$controls control inputs, not 36"
[ "$atoms" = 1 ] || fail "$atoms atom inputs, not 1"
[ "$audio" = 2 ] || fail "$audio audio outputs, not 2"
grep -q 'Designation: http://lv2plug.in/ns/lv2core#control' <<<"$info" || fail "no MIDI control input"
grep -q 'Class:[[:space:]]*Instrument Plugin' <<<"$info" || fail "not an instrument"

# lv2info lists the presets by label, one to a line, indented under "Presets:".
listed=$(awk '/^\tPresets:/ { on = 1; next } on && /^\t +[^ ]/ { sub(/^\t +/, ""); print; next }
    { on = 0 }' <<<"$info" | LC_ALL=C sort)
expected=$(sed -n 's/^preset \(.*\)$/\1/p' "$factory" | LC_ALL=C sort)
[ -n "$expected" ] || fail "no presets in $factory"
[ "$listed" = "$expected" ] || fail "lv2info lists the presets"$'\n'"$listed"$'\n'"not"$'\n'"$expected"
presets=$(wc -l <<<"$expected")

exports=$(nm -D --defined-only "$bundle/quillo.so" | awk '{print $3}' | sort -u)
[ "$exports" = lv2_descriptor ] || fail "exports: $exports"
echo "lv2 bundle: $uri: 36 controls, MIDI in, 2 audio outs, $presets presets, validates"

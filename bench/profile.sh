#!/usr/bin/env bash
# Counts the instructions Quillo spends per rendered sample, with callgrind, on the
# benchmark phrase: only the processing is collected (quillo-bench-host switches
# collection on around its processEvents and processReplacing calls).
#
#   bench/profile.sh BUILD-DIR [default|fullmod|silent|floor-default|floor-fullmod] [SECONDS]
#
# Prints the total per rendered sample and the functions that dominate; leaves the
# callgrind file in BUILD-DIR/callgrind.PATCH.out for callgrind_annotate.
set -euo pipefail

build="${1:?usage: bench/profile.sh BUILD-DIR [default|fullmod|silent|floor-default|floor-fullmod] [SECONDS]}"
patch="${2:-default}"
seconds="${3:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"

instrument=(--case "$patch" "$build/quillo.so")
case "$patch" in
default) params=() ;;
fullmod)
    params=(
        --param "Env1 Dep=0.9" --param "Env1 Att=0.1" --param "Env1 Dec=0.3"
        --param "Env1 Sus=0.3" --param "Cutoff=0.3" --param "Reso=0.8"
        --param "LFO1 Dest=0.3" --param "LFO1 Dep=0.05" --param "LFO1 Rate=0.3"
        --param "LFO2 Dest=0.7" --param "LFO2 Dep=0.3" --param "LFO2 Rate=0.2"
        --param "Glide=1" --param "GlideDep=0.2" --param "Wave1=0.3" --param "Wave2=0"
    )
    ;;
silent) params=(--param "Wave1=0.3" --param "PW1=0" --param "OscMix=0") ;;
floor-default | floor-fullmod)
    instrument=(--floor "$patch" "${patch#floor-}")
    params=()
    ;;
*)
    echo "profile: unknown patch $patch (default, fullmod, silent, floor-default or floor-fullmod)" >&2
    exit 1
    ;;
esac

out="$build/callgrind.$patch.out"
valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$out" \
    "$build/quillo-bench-host" "$root/bench/phrase.mid" --rounds 1 --seconds "$seconds" \
    "${instrument[@]}" "${params[@]}" > /dev/null 2> "$out.log"

frames=$(awk -v s="$seconds" 'BEGIN { printf "%d", s * 44100 + 0.5 }')
total=$(awk '/Collected/ { print $4 }' "$out.log")
awk -v t="$total" -v f="$frames" -v p="$patch" \
    'BEGIN { printf "%s: %d instructions over %d frames = %.1f per rendered sample\n", p, t, f, t / f }'
callgrind_annotate --threshold=99 --inclusive=no "$out" 2> /dev/null |
    awk -v f="$frames" '/^ *[0-9,]+ \(/ && !/PROGRAM TOTALS/ && !/<counts for/ {
        n = $1; gsub(/,/, "", n);
        name = $0; sub(/^ *[0-9,]+ +\( *[0-9.]+%\) +/, "", name); sub(/ \[[^]]*\]$/, "", name);
        sub(/^\?\?\?:/, "", name); sub(/^.*\/sysdeps\/[^:]*:/, "libm ", name);
        sub(/^\.\/math\/[^:]*:/, "libm ", name);
        printf "  %7.1f  %s\n", n / f, name;
        if (++shown == 12) exit }'

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour
# sanitizers on) and runs each for FUZZ_SECONDS seconds.
#
#   FUZZ_SECONDS   seconds per target (default 60)
#   FUZZ_TARGETS   which targets (default: all five)
#   FUZZ_BUILD     build folder (default build-fuzz)
#   FUZZ_CORPUS    corpus folder, kept between runs (default fuzz-corpus)
#
# Inputs that crashed once are kept in fuzz/regressions/<target>/ and replayed
# first. A new crash leaves its input in the corpus folder as <target>-crash-*.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
targets=${FUZZ_TARGETS:-"fuzz_events fuzz_dispatcher fuzz_parameters fuzz_lv2_run fuzz_preset_files fuzz_midi_file"}
build=${FUZZ_BUILD:-build-fuzz}
corpus=${FUZZ_CORPUS:-fuzz-corpus}

CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLO_FUZZ=ON -DQUILLO_TESTS=OFF -DQUILLO_BENCH=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j "${JOBS:-2}" --target $targets

# A few hand-made seeds: a note-on with a block after it, controller 126, a
# program change; for the MIDI file reader, the MIDI files the repository ships.
# The fuzzer grows the rest.
seed() {
    local dir=$1 target=$2
    [ -n "$(ls -A "$dir" 2>/dev/null)" ] && return 0
    if [ "$target" = fuzz_midi_file ]; then
        cp bench/phrase.mid render/examples/*.mid "$dir/"
        return 0
    fi
    printf '\x01\x00\x00\x00\x90\x3c\x64\x00\x00\x00\x10\x00\x02' >"$dir/note-on"
    printf '\x02\x00\x00\x00\x90\x3c\x64\x00\x00\x00\x00\x00\xb0\x7e\x00\x00\x00\x00\x40' >"$dir/cc126"
    printf '\x05\x00\x03\x00\x07\x00\x10\x00' >"$dir/program"
}

status=0
for target in $targets; do
    echo "== $target: $seconds s"
    mkdir -p "$corpus/$target"
    seed "$corpus/$target" "$target"
    if compgen -G "fuzz/regressions/$target/*" >/dev/null; then
        "$build/$target" fuzz/regressions/$target/* || status=1
    fi
    max_len=1024
    [ "$target" = fuzz_midi_file ] && max_len=4096
    "$build/$target" -max_total_time="$seconds" -max_len=$max_len -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$corpus/$target-" "$corpus/$target" || status=1
done
exit $status

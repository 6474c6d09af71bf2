#!/usr/bin/env bash
# quillo-jack under JACK servers with the dummy driver (no sound card needed), at two
# rates and period sizes: jack_player's recording of its output must equal the
# instrument's own render bit for bit, and its process callback must never call the
# allocator (the checked build fails at exit if it did).
#
#   jack_client_check.sh QUILLO_JACK_CHECKED JACK_PLAYER
set -euo pipefail

quillo_jack=$1
player=$2
settings=(Wave1=Pulse Wave2=Noise OscMix=0.3 "Env1 Dep=0.8" Cutoff=0.3 Reso=0.6
    "LFO1 Dest=Cutoff" "LFO1 Typ=S&H" "LFO1 Dep=0.4" "LFO1 Rate=0.5" Glide=ON GlideDep=0.3)

# shellcheck source=scripts/jack-dummy.sh
. "$(dirname "$0")/../../scripts/jack-dummy.sh"

attempt() {
    local params=()
    for s in "${settings[@]}"; do params+=(--param "$s"); done
    "$quillo_jack" --name quillo-under-test --quiet "${params[@]}" &
    local quillo=$!
    wait_for_port quillo-under-test:out_right || return 1
    local status=0
    "$player" quillo-under-test "${settings[@]}" || status=$?
    kill -TERM "$quillo"
    local quillo_status=0
    wait "$quillo" || quillo_status=$?
    if [ "$quillo_status" -ne 0 ]; then
        echo "jack client check: quillo-jack exited with status $quillo_status" >&2
        return 1
    fi
    return "$status"
}

for config in "48000 256" "44100 1024"; do
    read -r rate period <<<"$config"
    start_dummy_server "quillo-check-$$-$rate" "$rate" "$period"
    attempt || exit 1
    stop_started
done

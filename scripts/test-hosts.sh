#!/usr/bin/env bash
# Plays the LV2 build in a real LV2 host: a JACK server with the dummy driver (no
# sound card needed), jalv hosting quillo.lv2, jack_midiseq playing notes into it and
# jack_rec recording what comes out. Passes when the recording holds sound.
#
#   test-hosts.sh [BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."

build=$(realpath "${1:-build}")
uri=https://mirefold.org/lv2/quillo
work=$(mktemp -d)
export LV2_PATH=$build/lv2:/usr/lib/lv2

# shellcheck source=scripts/jack-dummy.sh
. scripts/jack-dummy.sh
trap 'stop_started; rm -rf "$work"' EXIT
start_dummy_server quillo-test-hosts-$$ 48000 256

# jalv reads commands from its standard input and quits at its end: keep it open.
mkfifo "$work/commands"
exec 3<>"$work/commands"
jalv -n quillo "$uri" <"$work/commands" >"$work/jalv.log" 2>&1 &
started $!
wait_for_port quillo:out_right
echo "jalv hosts $uri"

# Two notes, a quarter of a second each, over and over.
jack_midiseq seq 24000 0 60 6000 12000 67 6000 >/dev/null 2>&1 &
started $!
wait_for_port seq:out
jack_connect seq:out quillo:midi_in

jack_rec -f "$work/take.wav" -d 2 quillo:out_left quillo:out_right >/dev/null
peak=$(python3 -c '
import array, sys, wave
w = wave.open(sys.argv[1])
samples = array.array("h", w.readframes(w.getnframes()))
print(max((abs(s) for s in samples), default=0))' "$work/take.wav")
if [ "$peak" -lt 1000 ]; then
    echo "test-hosts: jalv played nothing audible (peak $peak of 32767)" >&2
    cat "$work/jalv.log" >&2
    exit 1
fi
echo "jalv played Quillo: 2 s recorded, peak $peak of 32767"

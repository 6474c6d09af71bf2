#!/usr/bin/env bash
# Benchmarks Quillo: the engine units with Google Benchmark, then the whole plug-in
# against its exact floor kernels, amsynth and Nekobi on the committed 60-second phrase
# (bench/phrase.mid), interleaved in one run. See bench/README.md for what the numbers
# mean.
#
#   scripts/bench.sh [BUILD-DIR]      (make bench runs it on the build directory)
#
# ROUNDS (default 5) sets the rounds of the comparison; UNITS=0 skips the unit
# benchmarks, PLUGINS=0 the comparison of whole plug-ins.
set -euo pipefail

build="${1:-build}"
root="$(cd "$(dirname "$0")/.." && pwd)"
units="$build/quillo-unit-bench"
host="$build/quillo-bench-host"
plugin="$build/quillo.so"
lv2="$build/lv2/quillo.lv2"
phrase="$root/bench/phrase.mid"
amsynth=/usr/lib/vst/amsynth_vst.so
nekobi=/usr/lib/vst/Nekobi-vst.so

for file in "$host" "$plugin"; do
    if [ ! -e "$file" ]; then
        echo "bench: $file is missing; build first (make build)" >&2
        exit 1
    fi
done

if [ "${UNITS:-1}" != 0 ]; then
    if [ -x "$units" ]; then
        echo "== Engine units (Google Benchmark)"
        log="$(mktemp)"
        trap 'rm -f "$log"' EXIT
        "$units" --benchmark_min_time=0.2 | tee "$log"
        # Set-up costs beside the time budget of one 512-frame block at 96 kHz.
        echo
        awk '/^BM_WavetableRebuild|^BM_InstanceCreateAndClose/ {
                ms = $2; if ($3 == "ns") ms /= 1e6; else if ($3 == "us") ms /= 1e3;
                printf "%-34s %7.3f ms = %5.1f %% of a 512-frame block at 96 kHz (5.333 ms)\n",
                       $1, ms, 100 * ms / (512 / 96);
            }' "$log"
        echo
    else
        echo "bench: $units was not built (libbenchmark-dev missing?); skipping the units" >&2
    fi
fi

# The full-modulation patch: envelope 1 sweeps the cutoff, LFO 1 on the pitch,
# LFO 2 on the cutoff, glide, high resonance, pulse against saw.
full_modulation=(
    --param "Env1 Dep=0.9" --param "Env1 Att=0.1" --param "Env1 Dec=0.3" --param "Env1 Sus=0.3"
    --param "Cutoff=0.3" --param "Reso=0.8"
    --param "LFO1 Dest=0.3" --param "LFO1 Dep=0.05" --param "LFO1 Rate=0.3"
    --param "LFO2 Dest=0.7" --param "LFO2 Dep=0.3" --param "LFO2 Rate=0.2"
    --param "Glide=1" --param "GlideDep=0.2"
    --param "Wave1=0.3" --param "Wave2=0"
)
# Oscillator 1's pulse at width 0 and oscillator 2 mixed out: the filter only decays.
silent_input=(--param "Wave1=0.3" --param "PW1=0" --param "OscMix=0")

cases=(
    --case quillo-default "$plugin"
    --case quillo-lv2 "$lv2"
    --floor floor-default default
    --case quillo-fullmod "$plugin" "${full_modulation[@]}"
    --floor floor-fullmod fullmod
    --case quillo-silent "$plugin" "${silent_input[@]}"
)
ratios=(
    --ratio quillo-default/floor-default --ratio quillo-fullmod/floor-fullmod
    --ratio quillo-silent/quillo-default --ratio quillo-lv2/quillo-default
)
if [ -e "$nekobi" ]; then
    cases+=(--case nekobi "$nekobi")
    ratios=(--ratio quillo-default/nekobi "${ratios[@]}")
else
    echo "bench: $nekobi not installed (dpf-plugins-vst); no Nekobi comparison" >&2
fi
if [ -e "$amsynth" ]; then
    cases+=(--case amsynth "$amsynth")
    ratios=(--ratio quillo-fullmod/amsynth "${ratios[@]}" --start-ratio quillo-default/amsynth)
else
    echo "bench: $amsynth not installed (amsynth); no amsynth comparison" >&2
fi

if [ "${PLUGINS:-1}" != 0 ]; then
    echo "== Whole plug-ins: processing time per rendered sample, 44100 Hz, blocks of 512"
    "$host" "$phrase" --rounds "${ROUNDS:-5}" --rate 44100 --block 512 "${cases[@]}" "${ratios[@]}"
fi

# quillo-render: a batch of 16 renders of the phrase (each with its own cutoff) at 1, 2
# and every core at once, and the wall time of one render beside the plug-in's processing
# time within it. The outputs go to a temporary folder, removed between rounds.
render="$build/quillo-render"
if [ ! -x "$render" ]; then
    echo "bench: $render was not built; skipping quillo-render" >&2
    exit 0
fi
echo
echo "== quillo-render: 16 renders of the phrase as one batch, WAV f32 (best of ${ROUNDS:-5})"
work="$(mktemp -d)"
trap 'rm -rf "$work" "${log:-}"' EXIT
{
    echo "midi,output,param:Cutoff"
    for i in $(seq 0 15); do echo "$phrase,$work/out/$i.wav,0.$((40 + i * 3))"; done
} >"$work/jobs.csv"
# Times from bash's own clock: no process started to read one.
cores=$(nproc)
counts=(1 2)
[ "$cores" -gt 2 ] && counts+=("$cores")
declare -A best
for round in $(seq "${ROUNDS:-5}"); do
    for n in "${counts[@]}"; do
        rm -rf "$work/out"
        mkdir "$work/out"
        start=$EPOCHREALTIME
        "$render" -q --plugin "$plugin" --jobs "$n" --batch "$work/jobs.csv"
        end=$EPOCHREALTIME
        taken=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
        if [ -z "${best[$n]:-}" ] || awk -v t="$taken" -v b="${best[$n]}" 'BEGIN { exit !(t < b) }'; then
            best[$n]=$taken
        fi
    done
done
for n in "${counts[@]}"; do
    label="--jobs $n"
    [ "$n" = "$cores" ] && label="$label (every core)"
    awk -v l="$label" -v t="${best[$n]}" -v one="${best[1]}" \
        'BEGIN { printf "%-22s %7.3f s  %5.2fx as fast as --jobs 1\n", l, t, one / t }'
done

echo
echo "== quillo-render: one render of the phrase, WAV f32 (the best of ${ROUNDS:-5} rounds)"
# Each round's wall times against the same round's processing; the best round of each.
rounds=""
for round in $(seq "${ROUNDS:-5}"); do
    rm -f "$work/one.wav"
    start=$EPOCHREALTIME
    "$render" -v --plugin "$plugin" -o "$work/one.wav" "$phrase" >/dev/null 2>"$work/report"
    end=$EPOCHREALTIME
    read -r p r < <(sed -nE "s/.*processing took ([0-9.]+) s of the render's ([0-9.]+) s/\1 \2/p" \
        "$work/report")
    rounds+="$p $r $start $end"$'\n'
done
awk 'NF == 4 {
        p = $1; inside = $2; whole = $4 - $3
        if (!n++ || inside / p < bestInside / bestInsideP) { bestInside = inside; bestInsideP = p }
        if (n == 1 || whole / p < bestWhole / bestWholeP) { bestWhole = whole; bestWholeP = p }
    }
    END {
        printf "render, in the program %7.4f s  %5.2fx the plug-in'"'"'s processing (%.4f s), from reading the MIDI file to the finished file\n", bestInside, bestInside / bestInsideP, bestInsideP
        printf "render, whole command  %7.4f s  %5.2fx the plug-in'"'"'s processing (%.4f s), with the start of the program\n", bestWhole, bestWhole / bestWholeP, bestWholeP
    }' <<<"$rounds"

#!/usr/bin/env bash
# Writes docs/sounds/: every factory preset's audition phrase as a spectrogram
# (<slug>.png, drawn by sox), a page of its parameters (<slug>.md) and the index
# README.md.
#
#   gallery.sh BUILD
set -euo pipefail

build="${1:-build}"
gallery="$build/presets/quillo-gallery"
if [ ! -x "$gallery" ]; then
    echo "gallery: $gallery is missing; build first (make build)" >&2
    exit 1
fi

out=docs/sounds
wavs=$(mktemp -d)
trap 'rm -rf "$wavs"' EXIT
rm -rf "$out"
mkdir -p "$out"
"$gallery" "$wavs" "$out"
for wav in "$wavs"/*.wav; do
    slug=$(basename "$wav" .wav)
    # Up to 11 kHz, 80 dB of range, the same size for every phrase; -r leaves out
    # the axes and legend, which would take more room than the picture.
    sox -V1 "$wav" -n rate 22050 spectrogram -x 480 -y 129 -z 80 -r -o "$out/$slug.png"
done
echo "gallery: $(ls "$out"/*.png | wc -l) presets in $out/README.md"

#!/usr/bin/env bash
# Renders quillo-render's built-in demo phrase through the quillo.so built
# beside it, into demo.wav in the current directory.
set -euo pipefail

build="${1:-build}"
render="$build/quillo-render"
if [ ! -x "$render" ]; then
    echo "demo: $render is missing; build first (make build)" >&2
    exit 1
fi

"$render" --plugin "$build/quillo.so" --demo -o demo.wav
echo "The demo is in $(realpath demo.wav)"

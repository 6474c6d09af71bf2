#!/usr/bin/env bash
# Runs every command the README's quillo-render and "Batches and datasets" sections
# show, as printed, from a copy of the repository root, and compares what each prints with what the README
# shows after it (all but the timings). A shown line starting "quillo-render: "
# means the command must fail.
#
#   readme_examples.sh REPOSITORY BUILD-DIR
set -uo pipefail

root=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
sandbox=$(mktemp -d)
trap 'rm -rf "$sandbox"' EXIT

# The examples say build/ whatever the build folder is called; they may write
# into render/examples, so that one is a copy.
for entry in "$root"/* "$root"/.[!.]*; do
    name=$(basename "$entry")
    case $name in build | render | .git) ;; *) ln -s "$entry" "$sandbox/$name" ;; esac
done
ln -s "$build" "$sandbox/build"
mkdir "$sandbox/render"
cp -r "$root/render/examples" "$sandbox/render/"

normalize() {
    sed -E -e 's/rendered in [0-9.]+ s, [0-9.]+x real time/rendered in (time)/' \
        -e "s/processing took [0-9.]+ s of the render's [0-9.]+ s/processing took (time)/" \
        -e 's/ (jobs?) in [0-9.]+ s, [0-9]+ at a time:/ \1 in (time):/' \
        -e 's#^(Plug-in +)/[^ ]+#\1(path)#'
}

passed=0
failed=0
check() {
    local command=$1 expected=$2 actual status
    actual=$(cd "$sandbox" && bash -c "$command" 2>&1)
    status=$?
    local want_failure=0
    [[ $expected == "quillo-render: "* && $expected != "quillo-render: warning"* ]] && want_failure=1
    if { [ $want_failure = 1 ] && [ $status = 0 ]; } || { [ $want_failure = 0 ] && [ $status != 0 ]; }; then
        echo "FAIL: \$ $command"
        echo "  exit status $status"
        echo "$actual" | sed 's/^/  | /'
        failed=$((failed + 1))
        return
    fi
    if ! diff <(printf '%s\n' "$expected" | normalize) <(printf '%s\n' "$actual" | normalize) \
        >"$sandbox/diff"; then
        echo "FAIL: \$ $command"
        sed 's/^/  /' "$sandbox/diff"
        failed=$((failed + 1))
        return
    fi
    passed=$((passed + 1))
}

in_section=0
in_code=0
command=""
expected=""
flush() {
    if [ -n "$command" ]; then check "$command" "$expected"; fi
    command=""
    expected=""
}
while IFS= read -r line; do
    if [[ $line == "## "* ]]; then
        case $line in "## quillo-render" | "## Batches and datasets") in_section=1 ;; *) in_section=0 ;; esac
        continue
    fi
    [ $in_section = 1 ] || continue
    if [[ $line == '```'* ]]; then
        flush
        in_code=$((1 - in_code))
        continue
    fi
    [ $in_code = 1 ] || continue
    if [[ $line == '$ '* ]]; then
        flush
        command=${line#\$ }
    elif [ -n "$command" ]; then
        expected+="${expected:+$'\n'}$line"
    fi
done <"$root/README.md"

echo "$passed passed, $failed failed"
[ $failed = 0 ] && [ $passed -gt 0 ]

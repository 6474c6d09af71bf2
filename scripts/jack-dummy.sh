# Sourced by the scripts that play through JACK without a sound card: a server with
# the dummy driver, the processes they start, and waiting for a port to appear.
#
#   start_dummy_server NAME RATE PERIOD    (and export JACK_DEFAULT_SERVER=NAME)
#   wait_for_port PORT                     (fails after five seconds)
#   started PID                            (stopped by stop_started, or at exit)

started_pids=()

started() {
    started_pids+=("$1")
}

stop_started() {
    for pid in "${started_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    started_pids=()
}
trap stop_started EXIT

wait_for_port() {
    for _ in $(seq 100); do
        jack_lsp 2>/dev/null | grep -qx "$1" && return 0
        sleep 0.05
    done
    echo "$(basename "$0"): $1 never appeared" >&2
    return 1
}

start_dummy_server() {
    export JACK_DEFAULT_SERVER=$1
    jackd --no-realtime -n "$1" -d dummy -r "$2" -p "$3" >/dev/null 2>&1 &
    started $!
    wait_for_port system:playback_1
}

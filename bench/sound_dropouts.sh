#!/usr/bin/env bash
# Dropouts under load, per "Audio latency" setting: a private PulseAudio daemon with a null sink,
# sound_latency_probe playing a looping 440 Hz note on the live voices through it for SECONDS
# while two CPU hogs (busy shell loops at normal priority) keep both cores busy, and the sink's
# monitor recorded. A 50 ms window of the recording that holds fewer cycles of the note than it
# should (21 of 22) is a dropout. Also printed per setting: the stream's latency as the server
# reports it (buffer + sink, median and 95th percentile of readings every 0.5 s), the latency
# OpenAL reports, and the CPU share of the player and of the server while playing.
#   bench/sound_dropouts.sh [BUILD_DIR] [SECONDS] [HOGS] [SETTINGS]
# (build/default, 60, 2, "low normal safe"). With SERVER_RT=1 every thread of the daemon runs
# at real-time priority, as a desktop server given it by rtkit would: dropouts left then are the
# player's.
# Exits 77 when there is no daemon to start.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$(realpath "${1:-$source_dir/build/default}")"
seconds="${2:-60}"
hogs="${3:-2}"
settings="${4:-low normal safe}"
probe="$build_dir/bench/sound_latency_probe"
[ -x "$probe" ] || {
    echo "build it first: cmake --build --preset default --target sound_latency_probe" >&2
    exit 1
}
source "$source_dir/bench/private_pulse.sh"
pulse_need pulseaudio pactl parec python3
pulse_prepare
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    pulse_stop
}
trap cleanup EXIT
pulse_start
server_pid="$(cat "$work/pulse/pid" 2>/dev/null || pgrep -n -u "$(id -u)" -x pulseaudio)"
if [ -n "${SERVER_RT:-}" ]; then
    chrt -a -r -p 5 "$server_pid" || echo "the daemon could not be made real-time"
fi

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
share() { # ticks over seconds, as % of one core
    awk -v t="$1" -v hz="$(getconf CLK_TCK)" -v s="$2" 'BEGIN {printf "%.1f", 100 * t / hz / s}'
}

# run LABEL PERIOD
run() {
    sed "s/^periods = .*/periods = $2/" "$source_dir/resources/alsoft.conf" >"$work/$1.conf"
    local hog_pids=() i
    for ((i = 0; i < hogs; i++)); do
        sh -c 'while :; do :; done' &
        hog_pids+=($!); pids+=($!)
    done
    parec --raw --device=out.monitor --format=s16le --channels=1 --rate=48000 \
        --latency-msec=500 >"$work/$1.raw" 2>/dev/null &
    local rec=$!; pids+=($rec)
    [ -n "${SHOW_SCHED:-}" ] && ps -L -o cls=,rtprio=,comm= -p "$server_pid" | sort | uniq -c
    ALSOFT_CONF="$work/$1.conf" "$probe" "$((seconds + 2))" >"$work/$1.out" 2>&1 &
    local player=$!; pids+=($player)
    sleep 2 # the stream opened and settled
    local rt
    rt="$(ps -L -o cls=,rtprio= -p "$player" | awk '$1 != "TS" {print $1 "/" $2; exit}')"
    local p0 s0; p0="$(ticks "$player")"; s0="$(ticks "$server_pid")"
    : >"$work/$1.lat"
    local start=$SECONDS
    while ((SECONDS - start < seconds - 1)); do
        pactl list sink-inputs | awk '/Buffer Latency:/ { b = $3 } /Sink Latency:/ { s = $3 }
            END { if (b != "") printf "%.2f\n", (b + s) / 1000 }' >>"$work/$1.lat"
        sleep 0.5
    done
    local p1 s1; p1="$(ticks "$player")"; s1="$(ticks "$server_pid")"
    local elapsed=$((SECONDS - start))
    wait "$player" || true
    kill -INT "$rec"; wait "$rec" 2>/dev/null || true
    if ((${#hog_pids[@]})); then kill "${hog_pids[@]}"; wait "${hog_pids[@]}" 2>/dev/null || true; fi
    python3 - "$work/$1.raw" "$1" "$2" "$work/$1.lat" "$(share $((p1 - p0)) $elapsed)" \
        "$(share $((s1 - s0)) $elapsed)" "${rt:-none}" "$(grep -o 'median.*' "$work/$1.out" || true)" <<'PY'
import array, sys
raw, label, period, latfile, cpu_player, cpu_server, rt, openal = sys.argv[1:9]
a = array.array('h'); a.frombytes(open(raw, 'rb').read())
# From the note's first loud sample to the last one, in 50 ms windows.
loud = [i for i in range(0, len(a), 48) if abs(a[i]) > 2000]
first, last = (loud[0], loud[-1]) if loud else (0, 0)
win, short, windows = 2400, 0, 0
for at in range(first + win, last - win, win):
    ups, high = 0, False
    for s in a[at:at + win]:
        if not high and s > 1000: high, ups = True, ups + 1
        elif high and s < -1000: high = False
    windows += 1
    short += ups < 21
lat = sorted(float(x) for x in open(latfile) if x.strip())
med = lat[len(lat) // 2] if lat else float('nan')
p95 = lat[min(len(lat) - 1, len(lat) * 95 // 100)] if lat else float('nan')
print(f"{label:7} {int(period)} x 256 frames ({int(period) * 256 / 48:4.1f} ms): dropouts {short:3} of "
      f"{windows} windows; stream latency median {med:5.1f} ms p95 {p95:5.1f} ms; "
      f"CPU player {cpu_player} % server {cpu_server} %; mixer scheduling {rt}; {openal}")
PY
}

echo "Looping note for ${seconds} s beside ${hogs} CPU hogs, on a PulseAudio null sink" \
    "(load average $(cut -d' ' -f1 /proc/loadavg)${SERVER_RT:+, real-time daemon}):"
for setting in $settings; do
    case "$setting" in
    low) run low 2 ;;
    normal) run normal 4 ;;
    safe) run safe 8 ;;
    *) echo "unknown setting $setting" >&2; exit 1 ;;
    esac
done
echo "(load average at the end: $(cut -d' ' -f1-3 /proc/loadavg))"

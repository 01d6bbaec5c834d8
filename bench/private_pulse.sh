# Sourced by the sound benchmarks: a private PulseAudio daemon with a null sink "out", in a
# fresh folder `$work` that is the runtime, home and config folder of the daemon and of its
# clients; no client starts a daemon of its own.
#   pulse_need TOOL...   exits 77 (skipped) when a tool is missing
#   pulse_prepare        makes $work and the daemon's configuration
#   pulse_start          starts the daemon and waits for it; exits 77 when it does not start
#   pulse_stop           ends the daemon and removes $work (kept, and said, when KEEP is set)

pulse_need() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null || {
            echo "SKIPPED: $tool is not installed (Debian packages pulseaudio pulseaudio-utils python3)"
            exit 77
        }
    done
}

pulse_prepare() {
    work="$(mktemp -d)"
    export XDG_RUNTIME_DIR="$work" HOME="$work" XDG_CONFIG_HOME="$work/config"
    export PULSE_CLIENTCONFIG="$work/client.conf" LC_ALL=C ALSOFT_LOGLEVEL=0
    unset PULSE_SERVER PULSE_SINK ALSOFT_DRIVERS
    echo "autospawn = no" >"$work/client.conf"
    printf '%s\n' "load-module module-null-sink sink_name=out rate=48000" "set-default-sink out" \
        "load-module module-native-protocol-unix" >"$work/pa.pa"
}

pulse_start() {
    (cd "$work" && pulseaudio --daemonize=yes --exit-idle-time=-1 -n -F pa.pa \
        --log-target=file:pa.log) >/dev/null 2>&1 || {
        echo "SKIPPED: the PulseAudio daemon did not start"
        exit 77
    }
    for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
}

pulse_stop() {
    pulseaudio --kill 2>/dev/null || true
    if [ -n "${KEEP:-}" ]; then echo "kept $work"; else rm -rf "$work"; fi
}

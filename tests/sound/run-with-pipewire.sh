#!/usr/bin/env bash
# Starts a private PipeWire (with WirePlumber and the PulseAudio server) whose
# default sink is a null sink, records the sink's monitor with parec while
# the probe types into the real window, and checks what was heard: a bell
# for a refused letter, silence for a digit. Stops everything it started.
#
#   tests/sound/run-with-pipewire.sh PROBE
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 PROBE" >&2
  exit 2
fi
probe="$1"
for tool in dbus-daemon pipewire wireplumber pipewire-pulse pactl parec python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing; run scripts/install-deps.sh" >&2
    exit 2
  fi
done

. "$(dirname "$0")/../../scripts/processes.sh"

fail() {
  echo "$0: $*" >&2
  for log in "$work"/*.log; do
    [ -s "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
  done
  exit 1
}

# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
  local tries=$(($1 * 20))
  shift
  for _ in $(seq 1 "$tries"); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.05
  done
  return 1
}

# Nothing of the user's session: its own runtime folder, home and bus.
mkdir -p "$work/run" "$work/home"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run" HOME="$work/home"
export XDG_CONFIG_HOME="$work/home/.config" XDG_STATE_HOME="$work/home/.state"
unset PULSE_SERVER PIPEWIRE_REMOTE CANBERRA_DRIVER CANBERRA_DEVICE DISPLAY WAYLAND_DISPLAY

dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/run/bus" \
  >"$work/dbus.log" 2>&1 &
started $!
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/run/bus"
wait_for 10 test -S "$work/run/bus" || fail "dbus-daemon did not start"

pipewire >"$work/pipewire.log" 2>&1 &
started $!
wait_for 10 test -S "$work/run/pipewire-0" || fail "pipewire did not start"
wireplumber >"$work/wireplumber.log" 2>&1 &
started $!
pipewire-pulse >"$work/pipewire-pulse.log" 2>&1 &
started $!
wait_for 10 pactl info || fail "pipewire-pulse did not answer"

pactl load-module module-null-sink sink_name=tambrel_null >/dev/null || fail "no null sink"
# Asked again until it holds: WirePlumber may not yet keep the default
# when the PulseAudio server first answers.
wait_for 10 sh -c 'pactl set-default-sink tambrel_null && pactl info | grep -qx "Default Sink: tambrel_null"' \
  || fail "the null sink did not become the default"

# record NAME KEYS: what the sink played while the probe typed KEYS, as
# 16-bit mono samples; prints the peak and RMS level in dBFS and keeps the
# line in NAME.level.
record() {
  local name="$1" keys="$2"
  parec --device=tambrel_null.monitor --raw --format=s16le --rate=48000 --channels=1 --latency-msec=20 \
    >"$work/$name.raw" 2>"$work/parec-$name.log" &
  local recorder=$!
  started "$recorder"
  # Recording has begun once the server lists the recorder's stream.
  wait_for 10 sh -c '[ -n "$(pactl list short source-outputs)" ]' || fail "parec did not connect"
  QT_QPA_PLATFORM=offscreen "$probe" "$keys" 1500 >"$work/$name.probe" 2>"$work/probe-$name.log" \
    || fail "the probe failed typing '$keys'"
  # parec writes out what it holds when interrupted, not when terminated.
  kill -INT "$recorder"
  wait "$recorder" 2>/dev/null || true
  unset 'started_pids[-1]'
  wait_for 10 sh -c '[ -z "$(pactl list short source-outputs)" ]' || true
  python3 - "$work/$name.raw" "$name" "$(cat "$work/$name.probe")" >"$work/$name.level" <<'PY'
import array, math, sys
samples = array.array("h", open(sys.argv[1], "rb").read())
peak = max((abs(s) for s in samples), default=0)
rms = math.sqrt(sum(s * s for s in samples) / len(samples)) if samples else 0.0
db = lambda v: 20 * math.log10(v / 32768) if v > 0 else float("-inf")
print(f"{sys.argv[2]}: {len(samples) / 48000:.2f} s recorded, peak {peak} ({db(peak):.1f} dBFS), "
      f"RMS {rms:.1f} ({db(rms):.1f} dBFS); probe: {sys.argv[3]}")
PY
  cat "$work/$name.level"
}

# The checks read their numbers back from record's and the probe's lines.
peak_of() { sed -n 's/.* peak \([0-9]*\) .*/\1/p' <<<"$1"; }
seconds_of() { sed -n 's/^[a-z]*: \([0-9.]*\) s recorded.*/\1/p' <<<"$1"; }
number_of() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }
# at_most VALUE LIMIT
at_most() { awk -v v="$1" -v limit="$2" 'BEGIN { exit !(v != "" && v <= limit) }'; }

record digit 5
record letter a
digit="$(cat "$work/digit.level")"
letter="$(cat "$work/letter.level")"

status=0
grep -q 'probe: text="5"' <<<"$digit" || { echo "FAIL: the digit did not reach the box" >&2; status=1; }
grep -q 'probe: text=""' <<<"$letter" || { echo "FAIL: the letter was not refused" >&2; status=1; }
# Silence only counts if the recorder was really listening.
for line in "$digit" "$letter"; do
  at_most 1.0 "$(seconds_of "$line")" || { echo "FAIL: under a second recorded: $line" >&2; status=1; }
done
# A null sink's monitor is exact zeros while nothing plays; the bell peaks
# far above a -40 dBFS floor.
[ "$(peak_of "$digit")" -le 32 ] || { echo "FAIL: a digit made a sound" >&2; status=1; }
[ "$(peak_of "$letter")" -ge 328 ] || { echo "FAIL: a refused letter made no sound" >&2; status=1; }
# The first bell connects to the server from the event loop; a key typed
# meanwhile would wait that long. A server that hangs would show here.
at_most "$(number_of longest_stall_ms "$letter")" 250 \
  || { echo "FAIL: the first bell held up the event loop" >&2; status=1; }

# What the first bell costs the caller: connecting to the server, then
# starting the sound.
bell="$("$probe" --bell-only)"
echo "first bell with a server: $bell"
grep -q 'played=1' <<<"$bell" || { echo "FAIL: the bell was not taken by the server" >&2; status=1; }
# libcanberra is loaded by the first bell, never at start-up.
grep -q 'loaded_before=0 loaded_after=1' <<<"$bell" \
  || { echo "FAIL: libcanberra was not loaded by the first bell alone" >&2; status=1; }

# With no sound server at all the bell reports that it was not played, so
# that the program falls back to the system beep, and gives up at once.
nobell="$(PULSE_SERVER="unix:$work/run/none" CANBERRA_DRIVER=pulse "$probe" --bell-only)"
echo "no server: $nobell"
grep -q 'played=0' <<<"$nobell" || { echo "FAIL: a bell with no server claimed to play" >&2; status=1; }
at_most "$(number_of took_ms "$nobell")" 250 || { echo "FAIL: no server, yet the bell waited" >&2; status=1; }
exit "$status"

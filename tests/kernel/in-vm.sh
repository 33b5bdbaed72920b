#!/bin/bash
# The second stage of the test VM, PID 1 on the host's root: mounts what a
# system needs, loads dummy_hcd and the gadget modules, plugs a PinworthA
# "1000" and a PinworthB "2000" (pinworth-gadget) and runs the checks of
# checks/*.sh in order on them, against the kernel's usbhid and hidraw.
# Writes its log and "passed" or "failed" to the results share, then powers
# off.
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mount -t tmpfs run /run
# /tmp stays the host's (read-only): the build may live there.
mkdir -p /run/results && mount -t 9p -o trans=virtio,version=9p2000.L results /run/results
export HOME=/run TMPDIR=/run XDG_RUNTIME_DIR=/run LC_ALL=C.UTF-8
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
exec >/run/results/log 2>&1
for word in $(cat /proc/cmdline); do
  case "$word" in pinworth.*=*) key=${word%%=*}; declare "${key#pinworth.}=${word#*=}" ;; esac
done
failures=0
finish() {
  echo "$failures failed; done at $(cut -d' ' -f1 /proc/uptime) s"
  [ "$failures" -eq 0 ] && echo passed >/run/results/status || echo failed >/run/results/status
  sync
  echo o >/proc/sysrq-trigger
  sleep 30
}
pass() { echo "PASS $1"; }
fail() { echo "FAIL $1"; failures=$((failures + 1)); }
# check NAME EXPECTED-STATUS PATTERN -- COMMAND...: the command's status and
# a line of its output matching the extended regular expression.
check() {
  local name=$1 status=$2 pattern=$3; shift 4
  local output actual
  output=$("$@" 2>&1); actual=$?
  if [ "$actual" -eq "$status" ] && grep -qE -- "$pattern" <<<"$output"; then
    pass "$name"
  else
    fail "$name (status $actual)"; sed 's/^/    /' <<<"$output"
  fi
}

echo "stage 2 at $(cut -d' ' -f1 /proc/uptime) s"
if grep -qw kvm-clock /sys/devices/system/clocksource/clocksource0/available_clocksource; then
  echo "CPU: KVM"
else
  echo "CPU: qemu's software CPU (no KVM)"
fi
modprobe -d "$kernel" -S "$version" dummy_hcd num=3 || { fail "loading dummy_hcd"; finish; }
for module in libcomposite usb_f_fs hid-generic usbhid; do
  modprobe -d "$kernel" -S "$version" "$module" || { fail "loading $module"; finish; }
done
mount -t configfs none /sys/kernel/config
pinworth=$build/cli/pinworth
here=$(dirname "$0")
tree=$(cd "$here/../.." && pwd)

# plug MODEL SERIAL: a gadget driven through the fifo /run/gadget-SERIAL.
gadgets=()
plug() {
  mkfifo "/run/gadget-$2"
  (exec 3<>"/run/gadget-$2"; exec "$build/gadget/pinworth-gadget" --model "$1" --serial "$2" <&3 >"/run/gadget-$2.out" 2>&1) &
  gadgets+=($!)
  for _ in $(seq 100); do grep -q ready "/run/gadget-$2.out" 2>/dev/null && return 0; sleep 0.1; done
  fail "pinworth-gadget $1 $2 is ready"; cat "/run/gadget-$2.out"; finish
}
# gadget SERIAL COMMAND...: sends the commands and waits for their answers.
gadget() {
  local serial=$1 before; shift
  before=$(wc -l <"/run/gadget-$serial.out")
  printf '%s\n' "$@" >"/run/gadget-$serial"
  for _ in $(seq 200); do
    [ "$(wc -l <"/run/gadget-$serial.out")" -ge $((before + $#)) ] && return 0
    sleep 0.05
  done
  fail "pinworth-gadget $serial answers $*"
}
# await_listening FILE: waits until the pinworth listen writing FILE listens.
await_listening() {
  for _ in $(seq 50); do grep -q "Ctrl+C stops" "$1" && break; sleep 0.1; done
  sleep 0.3
}
# listen_to ARGUMENT...: a pinworth listen in the background, writing
# /run/listen.out, as $listening once it listens.
listen_to() {
  "$pinworth" listen "$@" >/run/listen.out 2>&1 &
  listening=$!
  await_listening /run/listen.out
}
# ended NAME PID: the pinworth listen PID (writing /run/listen.out) ends
# within 5 s, with status 4, because its device was unplugged.
ended() {
  for _ in $(seq 50); do kill -0 "$2" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$2" 2>/dev/null; then
    fail "$1"; kill "$2"
  else
    wait "$2"; local status=$?
    [ "$status" -eq 4 ] && grep -q "was unplugged" /run/listen.out && pass "$1" ||
      { fail "$1 (status $status)"; cat /run/listen.out; }
  fi
}
# run_test NAME COMMAND...: a test program as one check, with its totals;
# its output, but for the cases passed, when it fails.
run_test() {
  local name=$1 output status; shift
  output=$("$@" 2>&1); status=$?
  if [ "$status" -eq 0 ]; then
    pass "$name: $(grep -E '^Totals' <<<"$output")"
  else
    fail "$name (status $status)"; grep -vE '^PASS' <<<"$output" | sed 's/^/    /'
  fi
}
# nodes COUNT: waits for COUNT hidraw nodes.
nodes() {
  for _ in $(seq 100); do [ "$(ls /sys/class/hidraw | wc -l)" -eq "$1" ] && return 0; sleep 0.1; done
  fail "$1 hidraw nodes appear"
}
plug A 1000
plug B 2000
nodes 4
echo "4 hidraw nodes at $(cut -d' ' -f1 /proc/uptime) s"

for checks in "$here"/checks/*.sh; do
  echo "== $(basename "$checks") at $(cut -d' ' -f1 /proc/uptime) s"
  # shellcheck source=/dev/null
  source "$checks"
done

echo quit >/run/gadget-1000
echo quit >/run/gadget-2000
for _ in $(seq 50); do kill -0 "${gadgets[@]}" 2>/dev/null || break; sleep 0.1; done
if kill -0 "${gadgets[@]}" 2>/dev/null; then fail "the gadgets end on quit"; else pass "the gadgets end on quit"; fi
finish

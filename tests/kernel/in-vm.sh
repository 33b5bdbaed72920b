#!/bin/bash
# The second stage of the test VM, PID 1 on the host's root: mounts what a
# system needs, loads dummy_hcd and the gadget modules, plugs a PinworthA
# "1000" and a PinworthB "2000" (pinworth-gadget) and checks pinworth on
# them against the kernel's usbhid and hidraw, with no udevd running. Writes
# its log and "passed" or "failed" to the results share, then powers off.
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mount -t tmpfs run /run
# /tmp stays the host's (read-only): the build may live there.
mkdir -p /run/results && mount -t 9p -o trans=virtio,version=9p2000.L results /run/results
export HOME=/run TMPDIR=/run XDG_RUNTIME_DIR=/run LC_ALL=C.UTF-8
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
modprobe -d "$kernel" -S "$version" dummy_hcd num=2 || { fail "loading dummy_hcd"; finish; }
for module in libcomposite usb_f_fs hid-generic usbhid; do
  modprobe -d "$kernel" -S "$version" "$module" || { fail "loading $module"; finish; }
done
mount -t configfs none /sys/kernel/config
pinworth=$build/cli/pinworth

# plug MODEL SERIAL: a gadget driven through the fifo /run/gadget-SERIAL.
plug() {
  mkfifo "/run/gadget-$2"
  (exec 3<>"/run/gadget-$2"; exec "$build/gadget/pinworth-gadget" --model "$1" --serial "$2" <&3 >"/run/gadget-$2.out" 2>&1) &
  for _ in $(seq 100); do grep -q ready "/run/gadget-$2.out" 2>/dev/null && return 0; sleep 0.1; done
  fail "pinworth-gadget $1 $2 is ready"; cat "/run/gadget-$2.out"; finish
}
gadget() { echo "$2" >"/run/gadget-$1"; sleep 0.2; }
# nodes COUNT: waits for COUNT hidraw nodes.
nodes() {
  for _ in $(seq 100); do [ "$(ls /sys/class/hidraw | wc -l)" -eq "$1" ] && return 0; sleep 0.1; done
  fail "$1 hidraw nodes appear"
}
plug A 1000
plug B 2000
nodes 4
echo "4 hidraw nodes at $(cut -d' ' -f1 /proc/uptime) s"

check "list finds both devices by serial and interface" 0 \
  'B:2000:1 +PinworthB \(SN 2000\) Interface 1 +/dev/hidraw' -- "$pinworth" list
check "info reads the report descriptor from the kernel" 0 'Report ID' -- "$pinworth" info B:2000:1
check "lcd shows text and reads it back from the device model" 0 'LCD read: "Hello"' -- \
  "$pinworth" lcd A:1000 Hello
gadget 1000 "pull 3"
check "read polls the pin levels the device model holds" 0 'pins 3 low' -- \
  "$pinworth" read A:1000:0 --count 1
gadget 1000 "release 3"
check "write to interface 0 sets the device's latches" 0 'W  --  0f ff ff ff' -- \
  "$pinworth" write A:1000:0 0f ff ff ff
check "read sees the latches written" 0 'pins 4-7 low' -- "$pinworth" read A:1000:0 --count 1

# Ten writes, each in a process of its own: the 50 ms bound counts the
# transfer, not the start of the worker thread.
timeouts=0
for _ in $(seq 10); do "$pinworth" write B:2000:1 04 01 >/dev/null 2>&1 || timeouts=$((timeouts + 1)); done
[ "$timeouts" -eq 0 ] && pass "ten writes, none timed out" || fail "ten writes: $timeouts did not complete"

# An infrared key reaches a listener in order.
"$pinworth" write B:2000:1 0c 01 >/dev/null
"$pinworth" listen B:2000:1 --count 2 >/run/listen.out 2>&1 &
listener=$!
for _ in $(seq 50); do grep -q "Ctrl+C stops" /run/listen.out && break; sleep 0.1; done
sleep 0.3
gadget 2000 "key 00 16"
gadget 2000 "key 00 19"
wait "$listener"; status=$?
if [ "$status" -eq 0 ] && grep -A1 'command 0x16' /run/listen.out | grep -q 'command 0x19'; then
  pass "listen gets the remote's keys in order"
else
  fail "listen gets the remote's keys in order (status $status)"; cat /run/listen.out
fi

# A device that stops taking output reports: the kernel takes the first
# few writes, then holds one for about 5 s. Each write is answered within
# its bound all the same, and the first that is not taken says the device
# may have the report. (Its process ends only once the kernel lets the
# write go.)
gadget 1000 hold
answered=
for _ in $(seq 12); do
  started=$(date +%s%N)
  "$pinworth" write A:1000:1 04 01 >/run/write.out 2>&1 &
  writer=$!
  while kill -0 "$writer" 2>/dev/null && ! [ -s /run/write.out ]; do sleep 0.005; done
  elapsed=$(( ($(date +%s%N) - started) / 1000000 ))
  wait "$writer"; status=$?
  output=$(cat /run/write.out)
  [ "$status" -ne 0 ] && { answered=$elapsed; break; }
done
if [ -n "$answered" ] && [ "$status" -eq 4 ] &&
  grep -q 'did not answer within 50 ms; it may have received the report' <<<"$output"; then
  pass "a write the device does not take is answered in $answered ms (its process's start included), saying why"
else
  fail "a write the device does not take is answered, saying why (status $status)"; echo "$output"
fi
gadget 1000 take

# Without udevd only the failed read says the device went.
"$pinworth" listen A:1000:1 >/run/listen.out 2>&1 &
listener=$!
for _ in $(seq 50); do grep -q "Ctrl+C stops" /run/listen.out && break; sleep 0.1; done
sleep 0.3
gadget 1000 unplug
for _ in $(seq 30); do kill -0 "$listener" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$listener" 2>/dev/null; then
  fail "listen ends when its device is unplugged, without udevd"; kill "$listener"
else
  wait "$listener"; status=$?
  [ "$status" -eq 4 ] && grep -q "was unplugged" /run/listen.out &&
    pass "listen ends when its device is unplugged, without udevd" ||
    { fail "listen ends when its device is unplugged, without udevd (status $status)"; cat /run/listen.out; }
fi
gadget 1000 plug
nodes 4
check "a device plugged back is listed again" 0 'A:1000:1' -- "$pinworth" list

gadget 1000 quit
gadget 2000 quit
finish

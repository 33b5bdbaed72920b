# pinworth end to end on the kernel's usbhid and hidraw, with no udevd
# running: only the kernel's own uevents, which nothing here listens to.

check "list finds both devices by serial and interface" 0 \
  'B:2000:1 +PinworthB \(SN 2000\) Interface 1 +/dev/hidraw' -- "$pinworth" list
check "a gadget on a controller another has says so and ends" 1 'UDC: Device or resource busy' -- \
  timeout 10 "$build/gadget/pinworth-gadget" --model A --serial 3000 --udc dummy_udc.0
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
listen_to B:2000:1 --count 2
gadget 2000 "key 00 16"
gadget 2000 "key 00 19"
wait "$listening"; status=$?
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
listen_to A:1000:1
gadget 1000 unplug
ended "listen ends when its device is unplugged, without udevd" "$listening"
gadget 1000 plug
nodes 4
check "a device plugged back is listed again" 0 'A:1000:1' -- "$pinworth" list

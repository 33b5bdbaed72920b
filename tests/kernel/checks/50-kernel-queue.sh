# The kernel's queue of an open hidraw node holds 63 reports: a reader that
# does not run (here pinworth listen, stopped) gets the first 63 of a burst
# and the rest are dropped where nothing can count them, so pinworth reports
# no loss either.

listen_to B:2000:1
kill -STOP "$listening"
burst=()
for n in $(seq 0 99); do burst+=("$(printf 'send 1 0c 00 %02x 00 00 00 00 00' "$n")"); done
gadget 2000 "${burst[@]}" drain
kill -CONT "$listening"
sleep 1
kill -INT "$listening"
wait "$listening"
keys=$(grep -c 'IR key' /run/listen.out)
if [ "$keys" -eq 63 ] && grep 'IR key' /run/listen.out | head -1 | grep -q 'command 0x00' &&
  grep 'IR key' /run/listen.out | tail -1 | grep -q 'command 0x3e' &&
  ! grep -q 'lost' /run/listen.out; then
  pass "a reader held through a burst of 100 gets the first 63, and no loss is told"
else
  fail "a reader held through a burst of 100 gets the first 63 ($keys), and no loss is told"
  cat /run/listen.out
fi

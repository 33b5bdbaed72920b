# From here on systemd-udevd runs, with the project's rule, as on a desktop:
# the hidraw backend's interrupt contract on the kernel, and hot-plug told
# by udevd's events.

mkdir -p /run/udev/rules.d
cp "$tree/packaging/70-pinworth.rules" /run/udev/rules.d/
/lib/systemd/systemd-udevd --daemon || fail "starting systemd-udevd"
udevadm trigger --action=add && udevadm settle --timeout=30 ||
  fail "udevd settles"
echo "udevd settled at $(cut -d' ' -f1 /proc/uptime) s"

# The contract's own gadget, a PinworthA "1", is plugged and pulled for
# each case; it is the only device then.
gadget 1000 unplug
gadget 2000 unplug
nodes 0
contract=$(PINWORTH_GADGET=$build/gadget/pinworth-gadget QTEST_FUNCTION_TIMEOUT=120000 \
  "$build/tests/platform/tst_interrupt_contract" 2>&1); status=$?
if [ "$status" -eq 0 ]; then
  pass "the interrupt contract on the kernel: $(grep -E '^Totals' <<<"$contract")"
else
  fail "the interrupt contract on the kernel (status $status)"
  grep -vE '^PASS' <<<"$contract" | sed 's/^/    /'
fi
window=$(PINWORTH_GADGET=$build/gadget/pinworth-gadget QT_QPA_PLATFORM=offscreen \
  "$build/tests/kernel/tst_kernel_window" listWritePollListenAndLog 2>&1); status=$?
if [ "$status" -eq 0 ]; then
  pass "the explorer window lists, writes, polls, listens and logs on the kernel"
else
  fail "the explorer window lists, writes, polls, listens and logs on the kernel (status $status)"
  sed 's/^/    /' <<<"$window"
fi
gadget 1000 plug
gadget 2000 plug
nodes 4

"$pinworth" listen A:1000:1 >/run/listen.out 2>&1 &
listening=$!
await_listening /run/listen.out
gadget 1000 unplug
for _ in $(seq 30); do kill -0 "$listening" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$listening" 2>/dev/null; then
  fail "listen ends when its device is unplugged, with udevd"; kill "$listening"
else
  wait "$listening"; status=$?
  [ "$status" -eq 4 ] && grep -q "was unplugged" /run/listen.out &&
    pass "listen ends when its device is unplugged, with udevd" ||
    { fail "listen ends when its device is unplugged, with udevd (status $status)"; cat /run/listen.out; }
fi
gadget 1000 plug
nodes 4

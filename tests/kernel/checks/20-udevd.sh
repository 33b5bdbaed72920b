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
export PINWORTH_GADGET=$build/gadget/pinworth-gadget QT_QPA_PLATFORM=offscreen
QTEST_FUNCTION_TIMEOUT=120000 run_test "the interrupt contract on the kernel" \
  "$build/tests/platform/tst_interrupt_contract"
run_test "the explorer window lists, writes, polls, listens and logs on the kernel" \
  "$build/tests/kernel/tst_kernel_window" listWritePollListenAndLog
gadget 1000 plug
gadget 2000 plug
nodes 4

listen_to A:1000:1
gadget 1000 unplug
ended "listen ends when its device is unplugged, with udevd" "$listening"
gadget 1000 plug
nodes 4

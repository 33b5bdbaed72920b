# A device on another machine, the way Linux reaches one: PinworthA "1000"
# exported over USB/IP (usbip-host, usbipd) and attached again over
# loopback (vhci-hcd), where pinworth lists, writes, polls and listens to
# it as to a local one, and a pull at either end ends a listen.

for module in usbip-host vhci-hcd; do
  modprobe -d "$kernel" -S "$version" "$module" || fail "loading $module"
done
ip link set lo up
busid=
for device in /sys/bus/usb/devices/*; do
  [ "$(cat "$device/serial" 2>/dev/null)" = 1000 ] && busid=$(basename "$device")
done
usbipd -D && usbip bind -b "$busid" || fail "exporting $busid over USB/IP"
# attached: waits for the A's two nodes below the virtual host controller.
attached() {
  usbip attach -r 127.0.0.1 -b "$busid" || fail "attaching $busid over USB/IP"
  for _ in $(seq 100); do
    [ "$(readlink -f /sys/class/hidraw/*/device | grep -c vhci_hcd)" -eq 2 ] && return 0
    sleep 0.1
  done
  fail "the attached device's nodes appear"
}
attached
echo "attached over USB/IP at $(cut -d' ' -f1 /proc/uptime) s"

check "over USB/IP, list finds the device by serial and interface" 0 \
  'A:1000:1 +PinworthA \(SN 1000\) Interface 1 +/dev/hidraw' -- "$pinworth" list
check "over USB/IP, a write reaches the device" 0 'W  --  0f ff ff ff' -- \
  "$pinworth" write A:1000:0 0f ff ff ff
check "over USB/IP, a poll reads the device's pins" 0 'pins 4-7 low' -- \
  "$pinworth" read A:1000:0 --count 1
listen_to A:1000:1 --count 1
gadget 1000 "send 1 0c 00 16 00 00 00 00 00"
wait "$listening" && grep -q 'command 0x16' /run/listen.out &&
  pass "over USB/IP, listen gets the device's input report" ||
  { fail "over USB/IP, listen gets the device's input report"; cat /run/listen.out; }

listen_to A:1000:1
usbip detach -p 0 >/dev/null
ended "over USB/IP, a detach at the user's end ends listen" "$listening"

attached
listen_to A:1000:1
gadget 1000 unplug
ended "over USB/IP, a pull at the device's end ends listen" "$listening"

# Plugged in again, the device is this machine's: usbhid takes it. The
# explorer window then sees it exported and attached again, and unplugged
# at either end.
gadget 1000 plug
nodes 4
usbip bind -b "$busid" >/dev/null || fail "exporting $busid again"
attached
PINWORTH_USBIP_BUSID=$busid run_test \
  "over USB/IP, the explorer window logs the device and both unplugs" \
  "$build/tests/kernel/tst_kernel_window" aDeviceOverUsbipUnpluggedAtEitherEnd
gadget 1000 plug
nodes 4

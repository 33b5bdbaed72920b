# Access without root through udevd and the project's rules: the user at
# the seat (a seat file stands in for logind) gets the nodes by uaccess,
# another user is refused with the rule's hint, and the opt-in plugdev rule
# gives its group the nodes.

# as UID [GROUP] -- COMMAND...: runs COMMAND as that user, in a home of its own.
as() {
  local uid=$1 groups=--clear-groups
  [ "$2" != -- ] && { groups=--groups=$2; shift; }
  shift 2
  mkdir -p "/run/home-$uid" && chown "$uid" "/run/home-$uid" && chmod 700 "/run/home-$uid"
  setpriv --reuid="$uid" --regid="$uid" "$groups" \
    env HOME="/run/home-$uid" XDG_RUNTIME_DIR="/run/home-$uid" "$@"
}
# settled: the rules read again and applied to the hidraw nodes, as logind
# has it done when the seat's user changes.
settled() {
  udevadm control --reload &&
    udevadm trigger --subsystem-match=hidraw --action=change &&
    udevadm settle --timeout=30
}
# replugged: the devices plugged in again, for a rule that sets a node's
# group and mode. (On a node that already has uaccess's ACL, a new mode
# changes only the ACL's mask, not its group entry.)
replugged() {
  udevadm control --reload
  gadget 1000 unplug; gadget 2000 unplug; nodes 0
  gadget 1000 plug; gadget 2000 plug; nodes 4
  udevadm settle --timeout=30
}

mkdir -p /run/systemd/seats
printf 'ACTIVE_UID=1000\n' >/run/systemd/seats/seat0
settled
check "the user at the seat writes to the device (uaccess)" 0 'W  --  0f ff ff ff' -- \
  as 1000 -- "$pinworth" write A:1000:0 0f ff ff ff
check "another user is refused, with the rule's hint" 4 \
  'permission denied: install the Pinworth udev rule' -- \
  as 1001 -- "$pinworth" write A:1000:0 0f ff ff ff

cp "$tree/packaging/71-pinworth-plugdev.rules" /run/udev/rules.d/
replugged
check "with the opt-in rule, a member of plugdev writes to the device" 0 'W  --  0f ff ff ff' -- \
  as 1001 plugdev -- "$pinworth" write A:1000:0 0f ff ff ff
check "with the opt-in rule, a user outside plugdev is still refused" 4 'permission denied' -- \
  as 1002 -- "$pinworth" write A:1000:0 0f ff ff ff
check "with the opt-in rule, the user at the seat still writes" 0 'W  04  01' -- \
  as 1000 -- "$pinworth" write B:2000:1 04 01
rm /run/udev/rules.d/71-pinworth-plugdev.rules /run/systemd/seats/seat0
replugged

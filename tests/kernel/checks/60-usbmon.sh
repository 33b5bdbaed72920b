# The kernel's usbmon as tcpdump records it. tcpdump records every bus
# while the PinworthB "2000" is plugged back, so its descriptors are in the
# recording, and pinworth records the device's interfaces, polled and
# listened to, while writes and keys go through. Imported, the recording
# holds pinworth's own rows, in order and at their times, and what pinworth
# did not read: the writes of other processes, and the input report the
# device sends on interface 0 when its pins change, which pinworth polls
# instead.

modprobe -d "$kernel" -S "$version" usbmon || fail "loading usbmon"
gadget 2000 unplug
nodes 2
tcpdump -i usbmon0 -U -w /run/usb.pcap 2>/run/tcpdump.out &
tcpdumping=$!
for _ in $(seq 50); do grep -q "listening on" /run/tcpdump.out && break; sleep 0.1; done
gadget 2000 plug
nodes 4

# A write's bound may pass on this emulated machine; the recording then
# says whether the report went out.
"$pinworth" write B:2000:1 0c 01 >/dev/null 2>&1
"$pinworth" record B:2000:0 B:2000:1 -o /run/own.pwcap >/run/record.out 2>&1 &
recording=$!
await_listening /run/record.out
gadget 2000 "key 00 16" "key 00 19"
"$pinworth" write B:2000:0 0f ff ff ff >/dev/null 2>&1
sleep 0.3
kill -INT "$recording"
wait "$recording"
sleep 0.2
kill -INT "$tcpdumping"
wait "$tcpdumping"

check "convert imports the kernel's usbmon recording, finding the device by its descriptors" 0 \
  '^[1-9][0-9]* reports imported' -- "$pinworth" convert /run/usb.pcap /run/imported.pwcap
# rows CAPTURE DIRECTION: its rows of DIRECTION (R or W), a line each,
# seconds first.
rows() { "$pinworth" dump "$1" | awk -v direction="$2" '$5 == direction'; }
rows /run/own.pwcap R >/run/own.rows
rows /run/imported.pwcap R >/run/imported.rows
# paired INTERFACE: pairs each of pinworth's rows of INTERFACE
# with the recording's next row of the same text within 40 ms, the times
# counted from each capture's first row of the interface. Prints the rows
# of either left unpaired ("pinworth only", "recording only"), then the
# greatest difference between a pair's times in ms.
paired() {
  awk -v interface="$1" '
    function text(line) { sub(/^ *[0-9.]+ +/, "", line); return line }
    $4 != interface { next }
    FILENAME == ARGV[1] { own[++owns] = $1; ownText[owns] = text($0); next }
    { got[++gots] = $1; gotText[gots] = text($0) }
    END {
      j = 1
      for (i = 1; i <= owns; i++) {
        while (j <= gots && !(gotText[j] == ownText[i] && near(i, j))) {
          if (got[j] - got[1] > own[i] - own[1] + 0.04) break
          print "recording only: " gotText[j++]
        }
        if (j > gots || gotText[j] != ownText[i] || !near(i, j)) { print "pinworth only: " ownText[i]; continue }
        d = (got[j] - got[1]) - (own[i] - own[1]); if (d < 0) d = -d
        if (d > worst) worst = d
        j++
      }
      for (; j <= gots; j++) print "recording only: " gotText[j]
      printf "%d ms\n", worst * 1000
    }
    function near(i, j,  d) { d = (got[j] - got[1]) - (own[i] - own[1]); return d < 0.04 && d > -0.04 }
  ' /run/own.rows /run/imported.rows
}
keys=$(paired if1)
if grep -qx '[0-9]* ms' <<<"$keys" && [ "$(grep -c 'IR key' /run/own.rows)" -eq 2 ]; then
  pass "the recording's interrupt reports on interface 1 are pinworth's two, times within $keys"
else
  fail "the recording's interrupt reports on interface 1 are pinworth's two"; echo "$keys"
fi
polls=$(paired if0)
if [ "$(head -n -1 <<<"$polls")" = "recording only: B 2000 if0    R  --  0f ff ff ff           pins 4-7 low" ] &&
  tail -1 <<<"$polls" | grep -qx '[0-9]* ms' && grep -q 'pins 4-7 low' /run/own.rows; then
  pass "the recording's reads of interface 0 are pinworth's $(grep -c if0 /run/own.rows) polls, times within $(tail -1 <<<"$polls"), and the device's report of its pins' change"
else
  fail "the recording's reads of interface 0 are pinworth's polls and the device's report of its pins' change"
  echo "$polls"
fi
written=$(rows /run/imported.pwcap W | sed -E 's/^ *[0-9.]+ +//')
if grep -q '^B 2000 if1 *W *0c  *01 00 00 00 00 00 00' <<<"$written" &&
  grep -q '^B 2000 if0 *W *-- *0f ff ff ff' <<<"$written" && [ "$(wc -l <<<"$written")" -eq 2 ]; then
  pass "the recording has the other processes' two writes, each on its interface"
else
  fail "the recording has the other processes' two writes, each on its interface"; echo "$written"
fi

#!/usr/bin/env bash
# The real kernel as the test bed: boots Debian's kernel in qemu on this
# machine's own root (read-only over 9p), where in-vm.sh plugs Pinworth
# gadgets into dummy_hcd and runs the checks against the kernel's usbhid and
# hidraw. Prints the VM's log; exits 0 when every check passed.
#   boot-vm.sh BUILD_DIR
# The kernel package is fetched once into BUILD_DIR/kernel and never
# installed. Needs qemu-system-x86, cpio and kmod.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
version=6.1.0-57-amd64
work="$build/kernel"
kernel="$work/root"
mkdir -p "$work"
# Unpacked beside and moved in place whole, so that a run stopped halfway
# leaves no kernel without its modules.
if [ ! -e "$kernel/boot/vmlinuz-$version" ]; then
  (cd "$work" && rm -rf linux-image-*.deb root.new &&
    { apt-get download "linux-image-$version" 2>/dev/null ||
      { apt-get update -qq && apt-get download "linux-image-$version"; }; } &&
    dpkg -x linux-image-"$version"_*.deb root.new && rm -f linux-image-*.deb)
  depmod -b "$work/root.new" "$version"
  rm -rf "$kernel" && mv "$work/root.new" "$kernel"
fi

# The initramfs: /init and the modules that reach the 9p root.
initrd="$work/initrd"
rm -rf "$initrd" && mkdir -p "$initrd/m"
cc -static -O2 -o "$initrd/init" "$here/vm_init.c"
: >"$initrd/modules"
for module in virtio_pci 9pnet_virtio 9p; do
  modprobe -d "$kernel" -S "$version" --show-depends "$module" | awk '{print $2}'
done | awk '!seen[$0]++' | while read -r path; do
  cp "$path" "$initrd/m/"
  echo "/m/$(basename "$path")" >>"$initrd/modules"
done
(cd "$initrd" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz"

results="$work/results"
rm -rf "$results" && mkdir -p "$results"
# KVM where the CPU has hardware virtualisation (vmx or svm) and /dev/kvm is
# ours, qemu's software CPU otherwise; the VM says which it got. A /dev/kvm
# without either (a nested host's kvm-pvm) boots only kernels built for it:
# Debian's stays at the BIOS.
accel=(-accel tcg)
if [ -r /dev/kvm ] && [ -w /dev/kvm ] && grep -qwE 'vmx|svm' /proc/cpuinfo; then
  accel=(-accel kvm -cpu host)
fi
started=$(date +%s)
# A hung VM fails the run rather than stalling it.
timeout 540 qemu-system-x86_64 "${accel[@]}" -m 1024 -smp 1 -nographic -no-reboot -nic none \
  -kernel "$kernel/boot/vmlinuz-$version" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1 stage2=$here/in-vm.sh pinworth.build=$build pinworth.kernel=$kernel pinworth.version=$version" \
  -virtfs local,path=/,mount_tag=root,readonly=on,security_model=none,multidevs=remap \
  -virtfs local,path="$results",mount_tag=results,security_model=none \
  >"$results/console.log" 2>&1 || true
cat "$results/log" 2>/dev/null || { echo "the VM left no log:"; tail -30 "$results/console.log"; }
echo "VM run: $(( $(date +%s) - started )) s"
[ "$(cat "$results/status" 2>/dev/null)" = passed ]

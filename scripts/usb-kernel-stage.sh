#!/usr/bin/env bash
# Boots Debian's own kernel under QEMU (TCG, no network) with the freshly built vantorctl in an
# initramfs and runs it through the kernel's USB stack: a printer gadget on dummy_hcd served by
# `vantorctl serve-virtual --device`, driven over usblp and over libusb
# (scripts/usb-kernel-guest.sh has the checks). The guest's output goes to standard output.
# Usage: scripts/usb-kernel-stage.sh [VANTORCTL]
# Exit: 0 passed, 1 failed, 77 cannot run here (one line says why).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
vantorctl=$(realpath "${1:-$root/build/headless/cli/vantorctl}")
work=$root/build/usb-kernel
limit=${USB_STAGE_SECONDS:-230}

skip() {
  echo "== usb-kernel: skipped ($*)"
  exit 77
}
[ -x "$vantorctl" ] || skip "no $vantorctl (build the headless preset first)"
command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not installed"
command -v cpio >/dev/null || skip "cpio is not installed"
busybox=/bin/busybox
[ -x $busybox ] && ! ldd $busybox >/dev/null 2>&1 || skip "no static busybox (busybox-static)"

# The kernel image package the distribution's amd64 meta-package points at, unsigned flavour,
# unpacked here rather than installed: this machine never boots it.
mkdir -p "$work/deb"
image=$(apt-cache depends linux-image-amd64 2>/dev/null |
  awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
[ -n "$image" ] || skip "apt knows no linux-image-amd64"
package=$image-unsigned
deb=$(ls "$work/deb/${package}_"*.deb 2>/dev/null | tail -1 || true)
if [ -z "$deb" ]; then
  rm -f "$work"/deb/*.deb # an older kernel's
  (cd "$work/deb" && apt-get download -q "$package" >/dev/null 2>&1) ||
    skip "the kernel package $package cannot be downloaded"
  deb=$(ls "$work/deb/${package}_"*.deb | tail -1)
fi
kernel=$work/kernel
if [ ! -f "$kernel/.from" ] || [ "$(cat "$kernel/.from")" != "$deb" ]; then
  rm -rf "$kernel"
  mkdir -p "$kernel"
  dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$kernel" --wildcards './boot/vmlinuz-*' \
    './lib/modules/*/kernel/drivers/usb/*' './lib/modules/*/kernel/fs/configfs/*'
  echo "$deb" >"$kernel/.from"
fi
vmlinuz=$(ls "$kernel"/boot/vmlinuz-*)
modules=$(ls -d "$kernel"/lib/modules/*/kernel)

# The modules the gadget and the host side need, each after what it depends on.
declare -A placed=()
order=()
place() {
  local name=$1 file deps dep
  [ -n "${placed[$name]:-}" ] && return
  placed[$name]=1
  file=$(find "$modules" -name "$name.ko" | head -1)
  [ -n "$file" ] || skip "the kernel package has no module $name"
  deps=$(strings "$file" | sed -n 's/^depends=//p' | tr ',' ' ')
  for dep in $deps; do place "$dep"; done
  order+=("$file")
}
for m in dummy_hcd usb_f_printer usblp; do place $m; done

# The initramfs: busybox, the modules, vantorctl with the libraries ldd names, the checks.
tree=$work/initramfs
rm -rf "$tree"
mkdir -p "$tree"/{bin,usr/bin,lib/modules,proc,sys,dev,tmp}
cp $busybox "$tree/bin/busybox"
cp "$vantorctl" "$tree/usr/bin/vantorctl"
ldd "$vantorctl" | awk '/=> \// {print $3} /^\t\/.*ld-linux/ {print $1}' | while read -r lib; do
  mkdir -p "$tree$(dirname "$lib")"
  cp -L "$lib" "$tree$lib"
done
mkdir -p "$tree/lib64"
for f in "${order[@]}"; do
  cp "$f" "$tree/lib/modules/"
  basename "$f" .ko >>"$tree/lib/modules/order"
done
cp "$root/scripts/usb-kernel-guest.sh" "$tree/init"
chmod +x "$tree/init"
(cd "$tree" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initramfs.gz"

echo "kernel $(basename "$vmlinuz") from $(basename "$deb"); guest output follows"
log=$work/guest.log
started=$SECONDS
# The guest kernel's printer function can crash when a device file closes while the gadget is
# being unplugged (seen once in many runs, right after the silence check). A crash of the kernel
# itself, not a failed check, boots the guest once more; its trace stays in the output above.
for attempt in 1 2; do
  status=0
  timeout -k 5 "$limit" qemu-system-x86_64 -accel tcg -m 768 -smp 2 -nographic -no-reboot \
    -nic none -kernel "$vmlinuz" -initrd "$work/initramfs.gz" \
    -append "console=ttyS0 quiet loglevel=3 panic=-1 oops=panic" </dev/null 2>&1 |
    sed -u 's/\x1b\[[0-9;?]*[A-Za-z]//g; s/\x1bc//g; s/\r//g' | tee "$log" || status=$?
  grep -q '^usb-stage: passed' "$log" && break
  [ $attempt = 1 ] && grep -q 'Kernel panic' "$log" && ! grep -q '^FAIL ' "$log" || break
  echo "usb-stage: the guest kernel crashed, not a check; booting the guest once more"
done
if ! grep -q '^usb-stage: passed' "$log"; then
  [ $status -eq 124 ] && echo "usb-stage: the guest did not finish within $limit s"
  echo "usb-stage: failed ($((SECONDS - started)) s)"
  exit 1
fi
echo "usb-stage: guest ran $((SECONDS - started)) s"

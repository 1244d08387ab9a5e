#!/usr/bin/env bash
# Makes sure this machine runs 32-bit x86 Linux programs, which 32-bit Wine is.
# Some virtual machines run 64-bit user code only (execve of an i386 program fails with
# "Exec format error"). There, i386 programs go through QEMU's user-mode emulator,
# registered with binfmt_misc. QEMU 7.2 from Debian 12 ignores the address hints Wine
# reserves its memory with, so every Wine process would spend most of a minute starting;
# QEMU 8 and later honour them, so the emulator comes from bookworm-backports.
# Idempotent: where i386 programs already run, it does nothing.
set -euo pipefail

runs_i386() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }

runs_i386 && exit 0
[ -e /lib/ld-linux.so.2 ] || { echo "i386-exec: the i386 C library is not installed" >&2; exit 1; }

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive

# The URI of the first apt source that serves the suite bookworm, in one-line or deb822 form.
debian_mirror() {
  local files=() f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && files+=("$f")
  done
  [ ${#files[@]} -gt 0 ] || return 0
  awk '
    /^[[:space:]]*deb[[:space:]]/ { for (i = 2; i <= NF; i++) if ($i !~ /^\[/ && $i !~ /=/ && $i !~ /\]$/) break
                                    if ($(i + 1) == "bookworm") { print $i; exit } next }
    /^URIs:/   { uri = $2 }
    /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == "bookworm" && uri != "") { print uri; exit } }
    /^[[:space:]]*$/ { uri = "" }
  ' "${files[@]}" 2>/dev/null | head -1
}

qemu=/usr/bin/qemu-i386
major() { "$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p'; }
version=$(major || true)
if [ -z "$version" ] || [ "$version" -lt 8 ]; then
  list=/etc/apt/sources.list.d/bookworm-backports.list
  if ! grep -qs bookworm-backports /etc/apt/sources.list /etc/apt/sources.list.d/*; then
    # Backports come from the mirror this machine already takes bookworm from.
    mirror=$(debian_mirror)
    [ -n "$mirror" ] || { echo "i386-exec: no Debian bookworm source in the apt configuration" >&2; exit 1; }
    echo "deb $mirror bookworm-backports main" | $SUDO tee "$list" >/dev/null
  fi
  bash "$(dirname "$0")/apt-update.sh"
  $SUDO apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user-static >/dev/null
fi
[ -x "$qemu" ] || qemu=/usr/bin/qemu-i386-static

binfmt=/proc/sys/fs/binfmt_misc
mountpoint -q "$binfmt" || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
# An older registration may name a removed emulator: replace it.
[ -e "$binfmt/qemu-i386" ] && echo -1 | $SUDO tee "$binfmt/qemu-i386" >/dev/null
# ELF, 32-bit, little-endian, executable or shared object, machine 3 (i386). F: the
# emulator is opened now, so it is found from any mount namespace or root.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
printf '%s' ":qemu-i386:M::$magic:$mask:$qemu:F" | $SUDO tee "$binfmt/register" >/dev/null

runs_i386 || { echo "i386-exec: i386 programs still do not run" >&2; exit 1; }
echo "i386-exec: i386 programs run through $($qemu --version | head -1)"

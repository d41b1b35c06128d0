#!/usr/bin/env bash
# fetch-fpc.sh DEST: Free Pascal's i386 compiler and run-time units, unpacked under DEST/root (never
# installed: Debian's i386 compiler package would replace the machine's binutils and remove gcc).
# ppc386 is a static i386 program (run through qemu-user where the kernel runs no 32-bit code); the
# machine's own ld links what it compiles. Idempotent; retries, refreshing the package lists.
set -euo pipefail
dest="$1"
packages=(fp-compiler-3.2.2:i386 fp-units-rtl-3.2.2:i386)
[ -f "$dest/.fetched" ] && exit 0
download="$(mktemp -d)"
trap 'rm -rf "$download"' EXIT
chmod 755 "$download"  # apt's sandbox user may then read what it downloaded
cd "$download"
for attempt in 1 2 3; do
  if apt-get download -q "${packages[@]}"; then
    break
  fi
  [ "$attempt" = 3 ] && { echo "fetch-fpc: cannot download ${packages[*]}" >&2; exit 1; }
  # A fresh machine's package lists may lack the i386 side or be stale.
  apt-get update -q || true
  sleep "$attempt"
done
rm -rf "$dest/root"
mkdir -p "$dest/root"
for deb in ./*.deb; do
  dpkg-deb -x "$deb" "$dest/root"
done
test -x "$dest/root/usr/lib/i386-linux-gnu/fpc/3.2.2/ppc386"
touch "$dest/.fetched"

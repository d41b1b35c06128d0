#!/usr/bin/env bash
# package_demo.sh DIST DEMOHOST WORK WINE_RUN: the demo host (--auto) in a folder of its own with the
# packaged Quillon.RX.dll, redist/borlndmm.dll and engine-sim/ScanReco.dll, after the package's
# checksums are verified. DemoHost exits 0 only when all four invoices reached it.
set -euo pipefail
dist="$1" demo="$2" work="$3" wine="$4"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS)
rm -rf "$work"
mkdir -p "$work"
cp "$demo" "$dist/Quillon.RX.dll" "$dist/redist/borlndmm.dll" "$dist/engine-sim/ScanReco.dll" "$work/"
cd "$work"
exec "$wine" DemoHost.exe --auto

# Shared settings for the set-up, test and demo scripts. Source it; it changes nothing.
QRX_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export QRX_ROOT
export WINEPREFIX="${QRX_WINEPREFIX:-${HOME}/.local/share/quillon-rx/wine}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=zh_CN.UTF-8
export QRX_BUILD="${QRX_BUILD:-${QRX_ROOT}/build}"
# Tests and the demo talk to Xvfb on this display unless one is given.
export QRX_DISPLAY="${QRX_DISPLAY:-:87}"

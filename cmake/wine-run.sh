#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in the build's own prefix,
# with the Japanese system code page (932), or with the locale that
# $UPD_LOCALE names (en_US.UTF-8: code page 1252).
#   wine-run.sh PROGRAM.exe [ARGS...]
# The prefix lives beside the build's CMakeCache.txt (found by walking up from
# the program), or in $UPD_WINEPREFIX when set (then $WINEARCH, default
# win32, gives its kind). Without a display, one Xvfb is started for this run.
set -euo pipefail

prog=$1; shift

# The build folder: the nearest folder above the program with a CMakeCache.txt.
arch=${WINEARCH:-win32}
if [ -z "${UPD_WINEPREFIX:-}" ]; then
  builddir=$(cd "$(dirname "$prog")" && pwd)
  while [ "$builddir" != / ] && [ ! -f "$builddir/CMakeCache.txt" ]; do builddir=$(dirname "$builddir"); done
  if [ "$builddir" = / ]; then echo "wine-run: no build folder above $prog" >&2; exit 2; fi
  UPD_WINEPREFIX=$builddir/wineprefix
  arch=win32
  if grep -q '^UPD_WINEARCH:.*=win64' "$builddir/CMakeCache.txt"; then arch=win64; fi
fi

export WINEPREFIX=$UPD_WINEPREFIX
export WINEARCH=$arch
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export LC_ALL=${UPD_LOCALE:-ja_JP.UTF-8}
export LANG=$LC_ALL
export PATH=/usr/lib/wine:$PATH
if [ "$arch" = win64 ]; then winecmd=wine64; else winecmd=wine; fi
if ! command -v "$winecmd" >/dev/null; then winecmd=wine; fi

# One prefix per build; the first caller makes it, the others wait.
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.upd-ready" ]; then
    rm -rf "$WINEPREFIX"
    "$winecmd" wineboot -i >/dev/null 2>&1 || true
    "$winecmd" wineserver -w >/dev/null 2>&1 || wineserver -w >/dev/null 2>&1 || true
    touch "$WINEPREFIX/.upd-ready"
  fi
  # Wine draws the window frames itself (no window manager under Xvfb), so
  # screenshots show title bars as a user sees them.
  if [ ! -f "$WINEPREFIX/.upd-frames" ]; then
    "$winecmd" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    "$winecmd" wineserver -w >/dev/null 2>&1 || wineserver -w >/dev/null 2>&1 || true
    touch "$WINEPREFIX/.upd-frames"
  fi
  # Windows of every language has Japanese user-interface fonts (Yu Gothic
  # UI, MS UI Gothic), which its own UI fonts link to: IPA P Gothic
  # (fonts-ipafont-gothic) stands for them, so that a run with another code
  # page shows Japanese where such a Windows does (captions, message boxes).
  if [ ! -f "$WINEPREFIX/.upd-fonts" ]; then
    for face in 'Yu Gothic UI' 'MS UI Gothic'; do
      "$winecmd" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAPGothic /f >/dev/null 2>&1 || true
    done
    "$winecmd" wineserver -w >/dev/null 2>&1 || wineserver -w >/dev/null 2>&1 || true
    touch "$WINEPREFIX/.upd-fonts"
  fi
  # With UPD_WINE_PERSIST=1 (the test command, whose tests share one
  # display): one server for the whole run, since one that exits just as the
  # next test connects fails that test with "recvmsg: connection reset". Its
  # services are started here, with no output: started by a test they would
  # hold that test's output pipe open for as long as the server lives. It
  # must not inherit the lock (fd 9) either. A server already running
  # refuses to start (exit 2) and is used as it is.
  if [ -n "${UPD_WINE_PERSIST:-}" ] && wineserver -p </dev/null >/dev/null 2>&1 9>&-; then
    "$winecmd" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$WINEPREFIX.lock"

# $UPD_DRIVE_S: a Unix folder given drive letter S: (a mounted file system
# reached as Windows reaches a volume, at a drive's root).
if [ -n "${UPD_DRIVE_S:-}" ]; then ln -sfn "$UPD_DRIVE_S" "$WINEPREFIX/dosdevices/s:"; fi

if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$winecmd" "$prog" "$@"
fi
exec "$winecmd" "$prog" "$@"

#!/usr/bin/env bash
# Installs, from Debian's packages, everything the build, the tests and the
# demo need. Does nothing when all of it is already there.
set -euo pipefail

need_pkgs=(
  cmake g++ make clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  libz-mingw-w64-dev zlib1g-dev libdeflate-dev googletest
  wine wine64 wine32:i386
  xvfb x11-apps imagemagick fonts-ipafont-gothic fonts-dejavu-extra locales
  zip unzip python3
  osslsigncode openssl libssl-dev
)

missing=()
for p in "${need_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}" >&2
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -qq
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine passes file names and arguments outside ASCII unharmed only under a
# UTF-8 locale that exists: ja_JP.UTF-8 gives the Windows programs code page
# 932, en_US.UTF-8 code page 1252 (some tests run under both).
missing_locales=()
for loc in ja_JP en_US; do
  locale -a 2>/dev/null | grep -qi "^$loc\.utf-\?8$" || missing_locales+=("$loc")
done
if [ ${#missing_locales[@]} -gt 0 ]; then
  echo "install-deps: generating ${missing_locales[*]/%/.UTF-8}" >&2
  for loc in "${missing_locales[@]}"; do
    if ! grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null; then
      echo "$loc.UTF-8 UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
    fi
  done
  as_root locale-gen >/dev/null
fi

# The posix-thread flavour of the cross compilers (std::thread, std::mutex).
for t in i686 x86_64; do
  for tool in g++ gcc; do
    alt=/usr/bin/$t-w64-mingw32-$tool-posix
    [ -x "$alt" ] && as_root update-alternatives --set $t-w64-mingw32-$tool "$alt" >/dev/null 2>&1 || true
  done
done
exit 0

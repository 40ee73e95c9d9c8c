#!/usr/bin/env bash
# Installs what the build and the tests need, only when something is missing.
set -euo pipefail

PACKAGES=(
  cmake make g++ libgtest-dev googletest
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 xvfb fonts-wine fonts-wqy-microhei xdotool imagemagick e2fsprogs mount
  nsis fp-utils-3.2.2
  clang libclang-rt-14-dev
  clang-tidy cppcheck
  mmdebstrap uidmap
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
UPDATED=0
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: every package is installed"
else
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -q
  UPDATED=1
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine 10 or later runs every suite, the 32-bit build's whole in its WoW64 mode. The system's is
# used where it is that new; otherwise a Debian 13 root with Wine 10 is made once
# (scripts/make_wine_root.sh) and scripts/wine.sh runs Wine from it.
# shellcheck source=scripts/wine_env.sh
. "$(dirname "$0")/wine_env.sh"
if [ "$(brisklet_system_wine_major)" -ge "$BRISKLET_WINE_MIN_MAJOR" ]; then
  echo "setup: the system's Wine is $(/usr/lib/wine/wine64 --version): used as it is"
else
  bash "$(dirname "$0")/make_wine_root.sh"
  case $? in
    0) echo "setup: Wine 10 runs from $BRISKLET_WINE_ROOT ($(cat "$BRISKLET_WINE_ROOT/$BRISKLET_WINE_ROOT_MARK"))"
       exit 0 ;;
    2) ;;  # the system's older Wine, as make_wine_root.sh said
    *) exit 1 ;;
  esac
fi

# Wine's 32-bit DLLs for the system's Wine, for running the 32-bit build in its WoW64 mode. They
# come from the package libwine:i386 of the installed Wine's version, unpacked (never installed:
# its 32-bit loader cannot run on this kernel) into the cache folder, once.
DLLS32=$BRISKLET_WINE32_DIR/unpacked/usr/lib/i386-linux-gnu/wine/i386-windows
UNIX64=/usr/lib/x86_64-linux-gnu/wine/x86_64-unix
if [ ! -f "$DLLS32/user32.dll" ]; then
  version=$(dpkg-query -W -f='${Version}' libwine)
  echo "setup: fetching Wine's 32-bit DLLs (libwine:i386 $version) into $BRISKLET_WINE32_DIR"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    UPDATED=0
  fi
  [ "$UPDATED" -eq 1 ] || $SUDO apt-get update -q
  mkdir -p "$BRISKLET_WINE32_DIR"
  rm -rf "$BRISKLET_WINE32_DIR/unpacked.tmp" "$BRISKLET_WINE32_DIR"/libwine_*_i386.deb
  (cd "$BRISKLET_WINE32_DIR" && apt-get download -q "libwine:i386=$version")
  dpkg-deb -x "$BRISKLET_WINE32_DIR"/libwine_*_i386.deb "$BRISKLET_WINE32_DIR/unpacked.tmp"
  rm -rf "$BRISKLET_WINE32_DIR/unpacked"
  mv "$BRISKLET_WINE32_DIR/unpacked.tmp" "$BRISKLET_WINE32_DIR/unpacked"
  rm -f "$BRISKLET_WINE32_DIR"/libwine_*_i386.deb
fi
# Wine looks for a DLL's Unix side beside its PE folder: one folder holding both as links.
mkdir -p "$BRISKLET_WINEDLLPATH"
ln -sfn "$DLLS32" "$BRISKLET_WINEDLLPATH/i386-windows"
ln -sfn "$UNIX64" "$BRISKLET_WINEDLLPATH/x86_64-unix"
echo "setup: Wine's 32-bit DLLs are in $BRISKLET_WINEDLLPATH"

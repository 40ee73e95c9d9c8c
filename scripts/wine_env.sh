# Sourced by the scripts: where the Wine the tests run on is kept, outside the repository, so that
# every clone and work tree of this machine shares it (scripts/setup.sh makes it once).
#
#   BRISKLET_CACHE        /var/cache/brisklet for root, else ~/.cache/brisklet
#   BRISKLET_WINE32_DIR   Wine's 32-bit DLLs for the system's Wine (libwine:i386, unpacked)
#   BRISKLET_WINEDLLPATH  the folder WINEDLLPATH names so that the 64-bit loader runs 32-bit
#                         programs (WoW64): i386-windows beside x86_64-unix, as links
#   BRISKLET_WINE_ROOT    a Debian 13 root with Wine 10, for systems whose own Wine is older
if [ -z "${BRISKLET_CACHE:-}" ]; then
  if [ "$(id -u)" -eq 0 ]; then BRISKLET_CACHE=/var/cache/brisklet
  else BRISKLET_CACHE=${XDG_CACHE_HOME:-$HOME/.cache}/brisklet; fi
fi
BRISKLET_WINE32_DIR=${BRISKLET_WINE32_DIR:-$BRISKLET_CACHE/wine32}
BRISKLET_WINEDLLPATH=$BRISKLET_WINE32_DIR/dllpath
BRISKLET_WINE_ROOT=${BRISKLET_WINE_ROOT:-$BRISKLET_CACHE/wine10-root}
# A root is finished when this file is in it (written last, just before the root is moved into
# place); it holds the version line of the root's Wine.
BRISKLET_WINE_ROOT_MARK=.brisklet-wine-root
# Inside the root: the 32-bit DLLs and the WINEDLLPATH folder.
BRISKLET_ROOT_WINEDLLPATH=/opt/brisklet-wine32/dllpath
# The oldest Wine the suites run on as they are: 10 runs the 32-bit build whole in WoW64 mode.
BRISKLET_WINE_MIN_MAJOR=10

# The major version of the system's Wine (0 when there is none).
brisklet_system_wine_major() {
  local line
  line=$(/usr/lib/wine/wine64 --version 2>/dev/null) || { echo 0; return; }
  line=${line#wine-}
  echo "${line%%.*}" | grep -E '^[0-9]+$' || echo 0
}

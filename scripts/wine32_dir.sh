# Sourced by the scripts: where Wine's 32-bit DLLs are kept (fetched once by scripts/setup.sh), and
# the folder that WINEDLLPATH names so that Wine's 64-bit loader runs 32-bit programs (WoW64).
# Outside the repository, so that every clone and work tree of this machine shares them.
if [ -z "${BRISKLET_WINE32_DIR:-}" ]; then
  if [ "$(id -u)" -eq 0 ]; then BRISKLET_WINE32_DIR=/var/cache/brisklet/wine32
  else BRISKLET_WINE32_DIR=${XDG_CACHE_HOME:-$HOME/.cache}/brisklet/wine32; fi
fi
# WINEDLLPATH: i386-windows (the unpacked PE DLLs) beside x86_64-unix (the installed Unix side).
BRISKLET_WINEDLLPATH=$BRISKLET_WINE32_DIR/dllpath

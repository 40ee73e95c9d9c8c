#!/usr/bin/env bash
# Installs what is missing and builds. (Starting Brisklet comes with the running program.)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
bash "$ROOT/scripts/setup.sh"
cmake -S "$ROOT" -B "$ROOT/build/win64" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-win64.cmake" -DCMAKE_BUILD_TYPE=Release
cmake --build "$ROOT/build/win64" -j2 --target brisklet
echo "Built $ROOT/build/win64/brisklet.exe; the program is not yet usable."

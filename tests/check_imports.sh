#!/usr/bin/env bash
# Both executables import system DLLs only, so they run on a bare Windows.
BUILD=$1
ALLOWED='^(KERNEL32|USER32|GDI32|ADVAPI32|SHELL32|OLE32|OLEAUT32|COMCTL32|COMDLG32|msvcrt|SHLWAPI|WININET)\.dll$'
for arch in win64 win32; do
  exe="$BUILD/$arch/brisklet.exe"
  prefix=x86_64-w64-mingw32; [ $arch = win32 ] && prefix=i686-w64-mingw32
  if [ ! -f "$exe" ]; then echo "FAIL: $arch brisklet.exe was not built"; continue; fi
  dlls=$($prefix-objdump -p "$exe" | awk '/DLL Name:/ {print $3}')
  bad=$(echo "$dlls" | grep -viE "$ALLOWED" || true)
  if [ -z "$dlls" ]; then echo "FAIL: $arch: no import table found"
  elif [ -n "$bad" ]; then echo "FAIL: $arch imports non-system DLLs: $bad"
  else echo "PASS: $arch imports system DLLs only ($(echo $dlls | tr '\n' ' '))"; fi
  if $prefix-objdump -p "$exe" | grep -q 'Subsystem.*0002'; then echo "PASS: $arch is a GUI program"
  else echo "FAIL: $arch is not a GUI-subsystem program"; fi
done

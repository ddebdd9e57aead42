#!/usr/bin/env bash
# The Windows pass: cross build with the windows preset, the whole test suite under Wine, the
# example chain of the Windows build (run_example.cmd) compared byte for byte with the Linux
# build's (run_example.sh), and both builds compared on inputs of many shapes.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || missing+=(g++-mingw-w64-x86-64-posix)
[ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
[ -f /usr/src/googletest/googletest/CMakeLists.txt ] || missing+=(googletest)
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v make >/dev/null 2>&1 || missing+=(make)
if [ ${#missing[@]} -gt 0 ]; then
  echo "-- Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi

step() {
  local name=$1 start=$SECONDS
  shift
  echo "[windows] $name"
  "$@"
  echo "[windows] $name: $((SECONDS - start)) s"
}

step "configure (windows preset)" cmake --preset windows
step "build (windows preset)" cmake --build --preset windows

# Wine's loader and server are not on the PATH on Debian. The prefix lives in the build
# folder, so a clean build starts with a clean prefix; Wine's own messages stay out of the
# programs' output.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
export WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
# One persistent server for the whole pass: every program then starts in a fraction of a second.
"$wineserver" -p
trap '"$wineserver" -k 2>/dev/null || true' EXIT
# Sets the prefix up and starts its session; without it the first program that a fresh server
# starts may never end.
step "Wine prefix" "$wine" wineboot -i

step "tests under Wine" ctest --preset windows

example_chain() {
  ./run_example.sh >/dev/null
  "$wine" cmd /c run_example.cmd build-windows 'build-windows\example' >/dev/null
  local file
  for file in plc.mp2 images/KORVEX.PLC images/Plc_main.bin images/Plc_far0.bin \
    images/Plc_e0{03,04,05,06,07,08,09,10,11,12,13,14,15,16,17}.bin; do
    cmp "out/$file" "build-windows/example/$file"
  done
  echo "example chain: the Windows build's 19 outputs are the Linux build's"
}
step "example chain, Windows against Linux" example_chain
step "both builds on inputs of many shapes" .ci/compare_builds.sh build-example build-windows

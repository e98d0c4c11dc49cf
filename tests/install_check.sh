#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 AZIVEX developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a scratch prefix and checks what a package would ship:
# every file in place, the desktop entry and metainfo valid, each executable's
# --help, --version and mistakes, and the installed program working from its
# per-user folder against the installed simulated controller under Xvfb.
#
#   install_check.sh BUILD_DIR
set -euo pipefail
build="$1"
scratch="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$scratch/usr"
cmake --install "$build" --prefix "$prefix" >/dev/null

files=(bin/azivex{,-simcontroller,-mapmaker} share/azivex/world{1,2,3}.bmp
  share/azivex/naturalearth/{land,countries}-50m.json share/man/man1/azivex{,-simcontroller,-mapmaker}.1 share/man/ja/man1/azivex.1
  share/doc/azivex/{README.md,LICENSE,NATURAL-EARTH.md,LICENSE.world-atlas}
  share/{applications/org.azivex.Azivex.desktop,metainfo/org.azivex.Azivex.metainfo.xml}
  share/icons/hicolor/scalable/apps/azivex.svg)
for size in 16 22 24 32 48 64 128 256; do
  icon="share/icons/hicolor/${size}x${size}/apps/azivex.png"
  files+=("$icon")
  [ "$(identify -format '%wx%h' "$prefix/$icon")" = "${size}x${size}" ] || fail "$icon: wrong size"
done
for f in "${files[@]}"; do [ -s "$prefix/$f" ] || fail "not installed: $f"; done

out="$(desktop-file-validate "$prefix/share/applications/org.azivex.Azivex.desktop" 2>&1)" &&
  [ -z "$out" ] || fail "desktop-file-validate: $out"
appstreamcli validate --no-net "$prefix/share/metainfo/org.azivex.Azivex.metainfo.xml" >/dev/null ||
  fail "appstreamcli validate"
grep -q '^Exec=azivex --user-folder$' "$prefix/share/applications/org.azivex.Azivex.desktop" ||
  fail "the menu entry does not start the program in its user folder"

# Neither answers nor mistakes may need a display.
for program in azivex azivex-simcontroller azivex-mapmaker; do
  run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" "$@"; }
  help="$(run --help)" && [[ "$help" == "Usage: $program ["* ]] || fail "$program --help: $help"
  version="$(run --version)"
  [[ "$version" =~ ^$program\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "$program --version: $version"
  status=0
  run --no-such-option >"$scratch/stdout" 2>"$scratch/stderr" || status=$?
  [ "$status" -eq 2 ] || fail "$program with an unknown option exits $status"
  [ "$(wc -l <"$scratch/stderr")" -eq 1 ] && [ ! -s "$scratch/stdout" ] ||
    fail "$program with an unknown option says: $(cat "$scratch/stdout" "$scratch/stderr")"
done

# The installed map maker draws from the installed data, within its ranges only.
for case in "0:--lat 90 --lon 180" "2:--lat 90.5 --lon 0" "2:--lat 0" "2:--lat 0 --lon 0 --size 31" \
  "2:--lat 0 --lon 0 --size 40.5" "2:--lat 0 --lon 0 --out $scratch/m" \
  "1:--lat 0 --lon 0 --out $scratch/none/m.bmp"; do
  status=0
  "$prefix/bin/azivex-mapmaker" --size 32 --out "$scratch/m.bmp" ${case#*:} >/dev/null 2>"$scratch/stderr" ||
    status=$?
  [ "$status" = "${case%%:*}" ] || fail "azivex-mapmaker ${case#*:} exits $status"
  [ "$status" != 2 ] || [ "$(wc -l <"$scratch/stderr")" -eq 1 ] || fail "azivex-mapmaker ${case#*:}: $(cat "$scratch/stderr")"
done
[ "$(identify -format '%m %wx%h' "$scratch/m.bmp")" = "BMP3 32x32" ] || fail "azivex-mapmaker drew no 32 x 32 bitmap"
grep -q "m.bmp: No such file or directory" "$scratch/stderr" || fail "azivex-mapmaker's write failure: $(cat "$scratch/stderr")"
# The extension names the format.
"$prefix/bin/azivex-mapmaker" --lat 0 --lon 0 --size 32 --out "$scratch/m.png" >/dev/null 2>&1 &&
  [ "$(identify -format '%m %wx%h' "$scratch/m.png")" = "PNG 32x32" ] || fail "azivex-mapmaker --out m.png wrote no PNG"

# -noreset: a server that resets when its last client leaves turns away the
# next one for a moment.
Xvfb -displayfd 4 -screen 0 640x480x24 -nolisten tcp -noreset 4>"$scratch/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -s "$scratch/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$scratch/display")" HOME="$scratch/home"
mkdir -p "$HOME"
unset QT_QPA_PLATFORM

# A first start from the menu makes the folder, writes the defaults there, says
# so, and ends cleanly once the message is answered.
export XDG_DATA_HOME="$scratch/first"
(cd "$scratch" && exec "$prefix/bin/azivex" --user-folder) >"$scratch/first.log" 2>&1 &
first=$!
for _ in $(seq 200); do
  box="$(xdotool search --onlyvisible --pid "$first" 2>/dev/null | head -1)" && break
  sleep 0.05
done
[ -n "$box" ] || fail "no first-start message: $(cat "$scratch/first.log")"
xdotool windowfocus --sync "$box" key Return
status=0
wait "$first" || status=$?
[ "$status" -eq 0 ] || fail "the first start ended with status $status: $(cat "$scratch/first.log")"
for f in AZIVEX.DAT world1.bmp world2.bmp world3.bmp; do
  [ -s "$XDG_DATA_HOME/azivex/$f" ] || fail "the first start left no $f in the user folder"
done

# The user folder already holds the operator's settings. The window shows in the
# program's own style (flat button faces), and a click on the map reaches the
# controller. Which pictures are copied in is the operating core's test.
export XDG_DATA_HOME="$scratch/data"
folder="$XDG_DATA_HOME/azivex"
mkdir -p "$folder"
printf '3,9600,N,8,1:0-0/0\r\n' >"$folder/AZIVEX.DAT"
"$prefix/bin/azivex-simcontroller" --rate 90 "$folder/COM3" >"$scratch/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -L "$folder/COM3" ] && break; sleep 0.05; done
[ -L "$folder/COM3" ] || fail "the simulated controller made no link: $(cat "$scratch/sim.log")"
(cd "$scratch" && exec "$prefix/bin/azivex" --user-folder) >"$scratch/azivex.log" 2>&1 &
pids+=($!)
window=""
for _ in $(seq 200); do
  window="$(xdotool search --onlyvisible --name '^AZIVEX$' 2>/dev/null | head -1)" && break
  kill -0 "${pids[2]}" 2>/dev/null || fail "the installed program ended: $(cat "$scratch/azivex.log")"
  sleep 0.05
done
[ -n "$window" ] || fail "no window"
for _ in $(seq 100); do
  xdotool mousemove --window "$window" 170 160 click 1
  grep -q 'cmd M' "$scratch/sim.log" && break
  sleep 0.1
done
grep -q 'cmd M' "$scratch/sim.log" || fail "a click on the map never reached the controller"
face="$(import -window "$window" png:- | convert - -format '%[pixel:p{15,80}]' info:)"
[ "$face" = "srgb(192,255,192)" ] || fail "the CCW button's face is $face"

[ ! -e "$scratch/AZIVEX.DAT" ] || fail "settings written in the starting directory"
echo "install check passed: ${#files[@]} files"

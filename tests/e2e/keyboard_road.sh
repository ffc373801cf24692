#!/usr/bin/env bash
# The operator's road under a real X server with the keyboard alone, not one mouse event:
# the catalogue by its menu letter, a position found by its words (Ctrl+F, the words, Down,
# Enter, the quantity, Enter), Tab to the basket picture and Enter, the client typed, Ctrl+S,
# Esc, the order list by its menu letter, Down and Enter on the order. A screenshot of every
# step lands in the output folder; the saved order is checked in the table files afterwards.
#
#   keyboard_road.sh BUILD_DIR [OUT_DIR]
#
# Exits 77 (skipped) when Xvfb, xdotool, xclip or ImageMagick is missing.
set -euo pipefail

build="$(cd "${1:?usage: keyboard_road.sh BUILD_DIR [OUT_DIR]}" && pwd)"
out="${2:-$build/e2e-keyboard-road}"

# shellcheck source=tests/e2e/road_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/road_lib.sh"

# Presses a menu letter (Alt and a Cyrillic key, which can be lost like a typed letter) now
# and then until the check succeeds or 15 seconds pass.
menu_key() {
  local key="$1" deadline=$((SECONDS + 15)) pressed=0
  shift
  while :; do
    if [ $SECONDS -ge $pressed ]; then
      xdotool windowfocus --sync "$main" 2> /dev/null || true
      xdotool key "alt+$key"
      pressed=$((SECONDS + 3))
    fi
    sleep 0.3
    if "$@"; then return 0; fi
    [ $SECONDS -lt $deadline ] || return 1
  done
}

# The catalogue's title "Выбор продукции" is the only navy text on the screen.
catalogue_shown() { peek && find_colour "rgb(0,0,128)" > /dev/null; }

say "opening the catalogue by Alt+М"
menu_key Cyrillic_em catalogue_shown || fail "the catalogue did not open by its menu letter"
shot "catalogue"

say "finding a position by its words"
find_and_add "арм 12" 2

say "Tab to the basket picture, Enter"
basket=$(wait_colour 10 "rgb(215,170,100)") || fail "the basket picture did not turn full"
read -r bx by bw bh <<< "$basket"
# The picture's frame shows the focus in the highlight colour.
frame="$((bw + 12))x$((bh + 14))+$((bx - 3))+$((by - 6))"
# Without a window manager the frame gets the keyboard back only when told so.
xdotool windowfocus --sync "$main" 2> /dev/null || true
focused=0
for attempt in 1 2 3 4 5 6 7 8; do
  xdotool key Tab
  sleep 0.4
  peek
  if find_colour "rgb(48,140,198)" "$frame" > /dev/null; then
    focused=1
    break
  fi
done
[ "$focused" = 1 ] || fail "Tab did not reach the basket picture"
shot "basket-picture-focused"
xdotool key Return
order=$(wait_window "Заявка" 15) || fail "the basket window did not open by Enter"
sleep 0.5
shot "basket-window"

say "typing the client, Ctrl+S, Esc"
xdotool windowfocus --sync "$order" 2> /dev/null || true
client="ООО Клавиатурная дорога"
enter_text "$client" || fail "the client could not be entered"
shot "client-entered"
xdotool key ctrl+s
sleep 1.5
shot "order-saved"
xdotool key Escape
wait_window_gone "Заявка" 10 || fail "the basket window did not close by Esc"

say "opening the order list by Alt+С"
peek
header=$(find_colour "rgb(212,208,200)" "60x400+11+35") || fail "the catalogue's grid header is not on the screen"
read -r _ catalogue_header_y _ _ <<< "$header"
# The list opens over the catalogue: its grid's header is then the first band on the left.
list_shown() {
  peek
  local band hy
  band=$(find_colour "rgb(212,208,200)" "60x400+11+35") || return 1
  read -r _ hy _ _ <<< "$band"
  [ "$hy" -lt "$catalogue_header_y" ]
}
menu_key Cyrillic_es list_shown || fail "the order list did not open by its menu letter"
shot "order-list"

say "Down, Enter: the order opens"
xdotool windowfocus --sync "$main" 2> /dev/null || true
xdotool key Down
sleep 1
shot "order-list-row"
xdotool key Return
wait_window "Заявка" 15 > /dev/null || fail "the order did not open by Enter"
sleep 0.5
shot "order-reopened"
xdotool key Escape
wait_window_gone "Заявка" 10 || fail "the reopened basket did not close by Esc"

end_program
tab=$'\t'
echo "$headers" | grep -q "^1${tab}${client}${tab}" || fail "order 1 for \"$client\" is not stored: $headers"
echo "$lines" | grep -qx "1${tab}2" || fail "the order's line with quantity 2 is not stored: $lines"
rm -f "$out/peek.png"
say "PASSED: keys alone took the order from the catalogue through the basket into the list and back; screenshots in $out"

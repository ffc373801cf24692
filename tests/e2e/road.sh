#!/usr/bin/env bash
# The operator's road through the program under a real X server, driven by real input
# events: open the catalogue, find a position by its words and put it into the basket by
# keyboard alone (Ctrl+F, the words, Down, Enter, quantity 2, Enter), choose a type and a group, put a position into the basket
# with quantity 3 through the popup menu and the line editor, open the basket, enter a
# client, save, open the order list, find the order among today's and reopen it.
# A screenshot of every step lands in the output folder; the saved order is checked in
# the table files afterwards.
#
#   road.sh BUILD_DIR [OUT_DIR]     (BUILD_DIR holds zelvorin, zelvorin-demo-gen, zelvorin-sql)
#
# Exits 77 (skipped) when Xvfb, xdotool, xclip or ImageMagick is missing.
set -euo pipefail

build="$(cd "${1:?usage: road.sh BUILD_DIR [OUT_DIR]}" && pwd)"
out="${2:-$build/e2e-road}"

# shellcheck source=tests/e2e/road_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/road_lib.sh"


# --- The catalogue -----------------------------------------------------------------
say "opening the catalogue"
xdotool mousemove --window "$main" 40 9 click 1
# The catalogue's title "Выбор продукции" is the only navy text on the screen.
title=$(wait_colour 15 "rgb(0,0,128)") || fail "the catalogue did not open"
shot "catalogue"
read -r tx ty tw th <<< "$title"

# --- The keyboard road: Ctrl+F, the words, Down, Enter, the quantity, Enter ----------
say "finding a position by its words"
find_and_add "арм 12" 2

say "choosing a type"
glide $((tx + tw / 2)) $((ty + th / 2))
# The type list: light yellow labels under the title.
types=$(wait_colour 10 "rgb(255,255,192)") || fail "the type list did not open"
read -r lx ly lw lh <<< "$types"
shot "type-list"
first_type_y=$((ly + 8))
glide $((lx + lw / 2)) "$first_type_y"

say "choosing a group"
# The group list opens to the right of the type list, in the same yellow.
groups=$(wait_colour 10 "rgb(255,255,192)" "$((1280 - lx - lw - 2))x1024+$((lx + lw + 2))+0") ||
  fail "the group list did not open"
read -r gx gy gw gh <<< "$groups"
shot "group-list"
glide $((lx + lw + 4)) "$first_type_y"
glide $((gx + gw / 3)) $((gy + 8))
sleep 0.3
xdotool click 1

say "adding a position with quantity 3"
# The positions grid is the top-left grid: its first data row lies under its header.
sleep 1
peek
header=$(find_colour "rgb(212,208,200)" "300x300+$((tx - 20 > 0 ? tx - 20 : 0))+$((ty + th))") ||
  fail "the positions grid has no header"
read -r hx hy hw hh <<< "$header"
positions_header_y=$hy
row_x=$((hx + 40))
row_y=$((hy + hh + 9))
shot "positions"
xdotool mousemove "$row_x" "$row_y"
sleep 0.2
windows=$(visible_windows)
xdotool click 3
wait_new_window "$windows" 10 > /dev/null || fail "the position's popup menu did not open"
sleep 0.3
shot "position-menu"
xdotool key Down Return
order_quantity 3 "line-editor"

# --- The basket --------------------------------------------------------------------
say "opening the basket"
# The full basket's wicker colour.
basket=$(wait_colour 10 "rgb(215,170,100)") || fail "the basket picture did not turn full"
read -r bx by bw bh <<< "$basket"
shot "basket-full"
double_click $((bx + bw / 2)) $((by + bh / 2))
order=$(wait_window "Заявка" 15) || fail "the basket window did not open"
sleep 0.5
shot "basket-window"
eval "$(xdotool getwindowgeometry --shell "$order")"
ow=$WIDTH
oh=$HEIGHT
say "entering the client and saving"
# The client field has the focus when the basket window opens.
xdotool windowfocus --sync "$order" 2> /dev/null || true
client="ООО Проверка дороги"
enter_text "$client" || fail "the client could not be entered"
shot "client-entered"
# "Оформить заявку": the left button of the bottom row.
xdotool mousemove --window "$order" 117 $((oh - 21)) click 1
sleep 1.5
shot "order-saved"
# "Закрыть": the right button of the bottom row.
xdotool mousemove --window "$order" $((ow - 35)) $((oh - 21)) click 1
wait_window_gone "Заявка" 10 || fail "the basket window did not close"

# --- The order list ----------------------------------------------------------------
say "opening the order list"
# The list opens at the top left of the frame, over the catalogue: its grid header is then
# the first header band on the left edge, above the catalogue's own. The menu's key is a
# Cyrillic letter, which can be lost like a typed one: press it again now and then (a
# second showing only brings the same window forward).
deadline=$((SECONDS + 15))
pressed=0
while :; do
  if [ $SECONDS -ge $pressed ]; then
    xdotool windowfocus --sync "$main" 2> /dev/null || true
    xdotool key alt+Cyrillic_es
    pressed=$((SECONDS + 3))
  fi
  peek
  if header=$(find_colour "rgb(212,208,200)" "60x160+11+35"); then
    read -r hx hy hw hh <<< "$header"
    [ "$hy" -lt "$positions_header_y" ] && break
  fi
  [ $SECONDS -lt $deadline ] || fail "the order list did not open"
  sleep 0.3
done
shot "order-list"
say "reopening the order"
double_click $((hx + 25)) $((hy + hh + 9))
wait_window "Заявка" 15 > /dev/null || fail "the order did not open from the list"
sleep 0.5
shot "order-reopened"

# --- What was stored ---------------------------------------------------------------
order=$(xdotool search --onlyvisible --name "^Заявка\$" | head -1)
eval "$(xdotool getwindowgeometry --shell "$order")"
xdotool mousemove --window "$order" $((WIDTH - 35)) $((HEIGHT - 21)) click 1
wait_window_gone "Заявка" 10 || fail "the reopened basket did not close"
end_program
tab=$'\t'
stored=0
for day in "$started_day" "$(date +%Y.%m.%d)"; do
  if echo "$headers" | grep -q "^1${tab}${client}${tab}${day} "; then stored=1; fi
done
[ "$stored" = 1 ] || fail "order 1 of today for \"$client\" is not stored: $headers"
echo "$lines" | grep -qx "1${tab}3" || fail "the order's line with quantity 3 is not stored: $lines"
echo "$lines" | grep -qx "1${tab}2" || fail "the keyboard road's line with quantity 2 is not stored: $lines"
rm -f "$out/peek.png"
say "PASSED: the order went from the catalogue through the basket into the list and back; screenshots in $out"

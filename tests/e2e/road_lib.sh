# Shared by the roads under a real X server: the tools they need, screenshots, finding
# things on the screen by colour, waiting for windows, entering texts, and the start of the
# program on fresh demo data. The caller sets build (the build folder) and out (the output
# folder); after sourcing, the program runs on its own X server and main holds its window.

for tool in Xvfb xdotool xclip import convert; do
  if ! command -v "$tool" > /dev/null; then
    echo "SKIPPED: $tool is not installed (the road needs Xvfb, xdotool, xclip and ImageMagick)"
    exit 77
  fi
done
for program in zelvorin zelvorin-demo-gen zelvorin-sql; do
  if [ ! -x "$build/$program" ]; then
    echo "FAILED: $build/$program is not built"
    exit 1
  fi
done

rm -rf "$out"
mkdir -p "$out/runtime"
chmod 700 "$out/runtime"
log="$out/road.log"
: > "$log"

xvfb_pid=""
app_pid=""
cleanup() {
  if [ -n "$app_pid" ] && kill -0 "$app_pid" 2> /dev/null; then kill "$app_pid" 2> /dev/null || true; fi
  if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2> /dev/null; then kill "$xvfb_pid" 2> /dev/null || true; fi
}
trap cleanup EXIT

say() { echo "[road] $*" | tee -a "$log"; }
fail() {
  say "FAILED: $*"
  shot "failure" || true
  exit 1
}

step=0
last_shot=""
# Screenshot of the whole screen into the output folder, numbered in order.
shot() {
  step=$((step + 1))
  last_shot="$out/$(printf '%02d' "$step")-$1.png"
  import -window root "$last_shot"
}
# A scratch screenshot for finding things on the screen.
peek() {
  last_shot="$out/peek.png"
  import -window root "$last_shot"
}

# The box of the pixels of one exact colour in the last screenshot, within an optional
# region "WxH+X+Y": prints "x y w h" in screen coordinates, or fails when there is none.
find_colour() {
  local colour="$1" region="${2:-}" ox=0 oy=0 crop=()
  if [ -n "$region" ]; then
    crop=(-crop "$region" +repage)
    ox="${region#*+}"
    oy="${ox#*+}"
    ox="${ox%%+*}"
  fi
  local count
  count=$(convert "$last_shot" "${crop[@]}" -fill black +opaque "$colour" -fill white -opaque "$colour" \
    -format '%[fx:round(mean*w*h)]' info:)
  [ "$count" -gt 0 ] || return 1
  # A black border keeps the trim from taking the target colour for the background.
  local geometry
  geometry=$(convert "$last_shot" "${crop[@]}" -fill black +opaque "$colour" -bordercolor black -border 1 \
    -format '%@' info:)
  local w="${geometry%%x*}" rest="${geometry#*x}"
  local h="${rest%%+*}"
  rest="${rest#*+}"
  local x="${rest%%+*}" y="${rest#*+}"
  echo "$((x - 1 + ox)) $((y - 1 + oy)) $w $h"
}

# Retries a find_colour on fresh screenshots until it succeeds or the seconds run out.
wait_colour() {
  local seconds="$1"
  shift
  local deadline=$((SECONDS + seconds))
  while :; do
    peek
    if find_colour "$@"; then return 0; fi
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.3
  done
}

# Waits until a visible top-level window of exactly this name exists; prints its id.
wait_window() {
  local name="$1" seconds="${2:-20}" id
  id=$(timeout "$seconds" xdotool search --sync --onlyvisible --name "^${name}\$" 2> /dev/null | head -1) || true
  [ -n "$id" ] || return 1
  echo "$id"
}

# The visible top-level windows, one id a line.
visible_windows() { xdotool search --onlyvisible --name "" 2> /dev/null | sort || true; }

# Waits for a visible window that is not in the list given (a popup menu has no title to
# wait for); prints its id.
wait_new_window() {
  local before="$1" seconds="${2:-10}" id
  local deadline=$((SECONDS + seconds))
  while :; do
    id=$(comm -13 <(echo "$before") <(visible_windows) | head -1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

# Waits until no visible window of that name is left.
wait_window_gone() {
  local name="$1" seconds="${2:-20}"
  local deadline=$((SECONDS + seconds))
  while xdotool search --onlyvisible --name "^${name}\$" > /dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

# Glides the pointer to a point in a few moves, as a hand does, so that every widget on
# the way sees the mouse enter.
glide() {
  local tx="$1" ty="$2" fx fy
  eval "$(xdotool getmouselocation --shell)"
  fx=$X
  fy=$Y
  for i in 1 2 3 4; do
    xdotool mousemove $((fx + (tx - fx) * i / 4)) $((fy + (ty - fy) * i / 4))
    sleep 0.05
  done
}

# Puts a text into the focused field through the clipboard, then copies back what the field
# holds and tries again until it is the text. Typing Cyrillic letters remaps a key for each
# letter, and under load the program sometimes reads a letter before its key is mapped and
# drops it; pasting needs only ctrl+a, ctrl+v and ctrl+c, which every keyboard map has.
enter_text() {
  local text="$1" held=""
  for attempt in 1 2 3 4 5; do
    printf '%s' "$text" | xclip -selection clipboard -i
    xdotool key --delay 80 ctrl+a ctrl+v
    sleep 0.3
    printf '' | xclip -selection clipboard -i
    xdotool key --delay 80 ctrl+a ctrl+c
    sleep 0.3
    held=$(xclip -selection clipboard -o 2> /dev/null || true)
    if [ "$held" = "$text" ]; then
      xdotool key End
      return 0
    fi
    say "the field holds \"$held\" instead of \"$text\" (attempt $attempt)"
  done
  return 1
}

# In the line editor that is opening: the quantity, a screenshot, Enter, and the editor gone.
order_quantity() {
  local editor
  editor=$(wait_window "Заказ позиции" 10) || fail "the line editor did not open"
  xdotool windowfocus --sync "$editor" 2> /dev/null || true
  enter_text "$1" || fail "the quantity $1 could not be entered"
  shot "$2"
  xdotool key Return
  wait_window_gone "Заказ позиции" 10 || fail "the line editor did not close on Enter"
}

double_click() {
  xdotool mousemove "$1" "$2"
  sleep 0.2
  xdotool click --repeat 2 --delay 80 1
}

# ---------------------------------------------------------------------------------
started_day=$(date +%Y.%m.%d)
say "demo data in $out"
"$build/zelvorin-demo-gen" "$out/central.sqlite" >> "$log" 2>&1 || fail "the demo central database was not generated"
"$build/zelvorin" --sync --central "$out/central.sqlite" --db "$out/DB" >> "$log" 2>&1 ||
  fail "the local database was not filled"

exec 3> "$out/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp >> "$log" 2>&1 &
xvfb_pid=$!
exec 3>&-
deadline=$((SECONDS + 20))
while [ ! -s "$out/display" ]; do
  kill -0 "$xvfb_pid" 2> /dev/null || fail "Xvfb did not start"
  [ $SECONDS -lt $deadline ] || fail "Xvfb gave no display number"
  sleep 0.1
done
export DISPLAY=":$(head -1 "$out/display")"
say "X server on $DISPLAY"

export QT_QPA_PLATFORM=xcb
export QT_ENABLE_HIGHDPI_SCALING=0
export QT_SCALE_FACTOR=1
export XDG_RUNTIME_DIR="$out/runtime"
# A fresh settings folder: the program starts as on a first run.
export XDG_CONFIG_HOME="$out/config"
rm -rf "$XDG_CONFIG_HOME"
"$build/zelvorin" --db "$out/DB" --central "$out/central.sqlite" >> "$log" 2>&1 &
app_pid=$!

main=$(wait_window " Цены на металлопрокат    ver\\. .*" 30) || fail "the main window did not appear"
sleep 0.5
shot "main-window"

# In the catalogue: Ctrl+F, the words, Down, Enter, the quantity, Enter; the basket full.
find_and_add() {
  local words="$1" quantity="$2" found=0
  # Ctrl+F puts the cursor into the search field; a key that comes before the window takes
  # the focus is pressed again.
  for attempt in 1 2 3; do
    xdotool windowfocus --sync "$main" 2> /dev/null || true
    xdotool key ctrl+f
    sleep 0.5
    if enter_text "$words"; then
      found=1
      break
    fi
  done
  [ "$found" = 1 ] || fail "the search words could not be entered"
  sleep 0.5
  shot "search-result"
  xdotool key Down
  sleep 0.5
  xdotool key Return
  order_quantity "$quantity" "search-line-editor"
  wait_colour 10 "rgb(215,170,100)" > /dev/null || fail "the basket did not fill from the keyboard"
  shot "search-basket-full"
}

# Ctrl+Q ends the program (one that does not end in time is stopped); then headers and
# lines hold what the table files store.
end_program() {
  xdotool windowfocus --sync "$main" 2> /dev/null || true
  xdotool key ctrl+q
  local deadline=$((SECONDS + 10))
  while kill -0 "$app_pid" 2> /dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
  if kill -0 "$app_pid" 2> /dev/null; then
    say "the program did not end on Ctrl+Q; stopping it"
    kill "$app_pid"
  fi
  wait "$app_pid" 2> /dev/null || true
  app_pid=""
  headers=$("$build/zelvorin-sql" "$out/DB" "SELECT IND, CGT_NM, CR_DT FROM TBL_APPS")
  lines=$("$build/zelvorin-sql" "$out/DB" "SELECT IND_APP, VL FROM TBL_APTS")
  echo "$headers" >> "$log"
  echo "$lines" >> "$log"
}

#!/usr/bin/env bash
# End-to-end check of the real viewer on an X server (Xvfb): start the program beside a
# "dovekit.ini" that points at the samples, open the largest sample through the real
# File, Open menu and file dialog, and check the window's picture: a blue background
# with the model drawn over part of it. Escape must then end the program.
#
#   xvfb_viewer_test.sh BIN_DIR SAMPLES_DATA_DIR [--screenshot FILE] [--measure SECONDS]
#
# --screenshot FILE  also writes the main and textures windows' area of the screen to FILE
# --measure SECONDS  also reports the CPU time the viewer takes while showing the model
# Exits 77 (skipped) when xvfb-run, xdotool or ImageMagick is missing.
set -euo pipefail

if [[ "${1:-}" != --inner ]]; then
    for tool in xvfb-run xauth xdotool import convert; do
        if ! command -v "$tool" >/dev/null; then
            echo "skipped: $tool is not installed"
            exit 77
        fi
    done
    # Start looking for a free display away from 99, where every other xvfb-run -a
    # starts: two servers started at once on one number can break each other.
    exec xvfb-run -a -n $((100 + $$ % 800)) -s "-screen 0 1024x768x24" "$0" --inner "$@"
fi
shift
# The viewer runs on the X server started above, whatever platform the caller chose for
# Qt (the unit tests run with QT_QPA_PLATFORM=offscreen).
export QT_QPA_PLATFORM=xcb

bin_dir=$(cd "$1" && pwd)
data_dir=$(cd "$2" && pwd)
shift 2
screenshot=""
measure=0
while (($#)); do
    case "$1" in
        --screenshot) screenshot=$2; shift 2 ;;
        --measure) measure=$2; shift 2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done

sample=$(ls -S "$data_dir"/*.rsm | head -1)
sample_name=$(basename "$sample")

# The viewer in a folder of its own, so its settings file is the test's.
work=$(mktemp -d)
viewer_pid=""
cleanup() {
    [[ -n "$viewer_pid" ]] && kill "$viewer_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cp "$bin_dir/plovant" "$bin_dir/blank.bmp" "$work/"
printf '%s\r\n' "$data_dir" >"$work/dovekit.ini"

fail() {
    echo "FAILED: $*" >&2
    [[ -s "$work/viewer.log" ]] && sed 's/^/  viewer: /' "$work/viewer.log" >&2
    exit 1
}

# Waits up to 10 s for a visible window whose title matches; prints its id.
wait_window() {
    local id=""
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
        [[ -n "$id" ]] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

"$work/plovant" >"$work/viewer.log" 2>&1 &
viewer_pid=$!

main=$(wait_window '^Plovant$') || fail "the main window did not appear"
eval "$(xdotool getwindowgeometry --shell "$main")"
main_x=$X main_y=$Y main_width=$WIDTH main_height=$HEIGHT
[[ $main_width == 427 ]] || fail "main window is $main_width pixels wide, not 427"

# File, Open: click the menu bar's first item, then the item's mnemonic. A busy machine
# may be slow to open the menu: press the mnemonic again (the menu may be open by now),
# then click once more. Never Escape here: on the main window it ends the program.
open_file_menu() {
    xdotool mousemove --window "$main" 15 8 click 1
    sleep 1
    xdotool key o
}
open_file_menu
dialog=$(wait_window '^Open') ||
    { xdotool key o; dialog=$(wait_window '^Open'); } ||
    { open_file_menu; dialog=$(wait_window '^Open'); } ||
    fail "the Open dialog did not appear"
xdotool windowfocus "$dialog"
sleep 0.3
# The dialog starts in the samples folder: the bare name is enough.
xdotool type --delay 10 "$sample_name"
xdotool key Return

wait_window "^Plovant - \\[$sample_name\\]\$" >/dev/null ||
    fail "the caption did not become 'Plovant - [$sample_name]'"
wait_window '^Textures$' >/dev/null || fail "the textures window was not shown"
sleep 1.5

# The drawing area is the bottom 389 rows of the window, below the menu bar.
area="427x389+$main_x+$((main_y + main_height - 389))"
import -window root "$work/screen.png"
blue=$(convert "$work/screen.png" -crop "$area" +repage -fill white -opaque '#0000FF' \
       -fill black +opaque white -format '%[fx:mean]' info:)
echo "blue share of the drawing area: $blue"
awk -v b="$blue" 'BEGIN { exit !(b > 0.30 && b < 0.98) }' ||
    fail "the drawing area is not a blue background with a model ($blue blue)"
# The model is drawn in the middle half of the picture.
middle="214x194+$((main_x + 107))+$((main_y + main_height - 389 + 97))"
middle_blue=$(convert "$work/screen.png" -crop "$middle" +repage -fill white -opaque '#0000FF' \
       -fill black +opaque white -format '%[fx:mean]' info:)
awk -v b="$middle_blue" -v a="$blue" 'BEGIN { exit !(b < a) }' ||
    fail "nothing of the model in the middle of the picture ($middle_blue blue there)"

# It keeps turning: two pictures a moment apart differ.
sleep 0.5
import -window root "$work/screen2.png"
changed=$(compare -metric AE "$work/screen.png" "$work/screen2.png" null: 2>&1 || true)
echo "pixels changed in 0.5 s: $changed"
[[ "$changed" =~ ^[0-9]+$ && "$changed" -gt 0 ]] || fail "the picture does not change"

if [[ -n "$screenshot" ]]; then
    convert "$work/screen2.png" -crop "$((427 + 7 + 256))x$main_height+$main_x+$main_y" +repage "$screenshot"
    echo "screenshot written to $screenshot"
fi

if ((measure > 0)); then
    ticks=$(getconf CLK_TCK)
    read -r -a before </proc/"$viewer_pid"/stat
    sleep "$measure"
    read -r -a after </proc/"$viewer_pid"/stat
    cpu=$(( (after[13] + after[14]) - (before[13] + before[14]) ))
    awk -v c="$cpu" -v t="$ticks" -v s="$measure" \
        'BEGIN { printf "viewer CPU while showing the model: %.2f s in %d s (%.0f%% of one core)\n", c / t, s, 100 * c / t / s }'
fi

# A ".rsm2" file (version 2.3: one quad node, 20 units wide, with a sample's texture),
# written here byte by byte, opened through the same menu with its whole path typed.
# (The inner printf spells each byte as \xHH, the outer one writes it.)
le32() { printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) \
                $((($1 >> 16) & 255)) $((($1 >> 24) & 255)))"; }
u16() { printf "$(printf '\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)))"; }
text() { le32 ${#1}; printf '%s' "$1"; }
write_rsm2_quad() {
    local one=0x3f800000 ten=0x41200000 minus_ten=0xc1200000
    {
        printf 'GRSM\x02\x03'
        le32 0; le32 0; printf '\xff'; le32 0x41f00000      # length, shading, alpha, 30 fps
        le32 1; text quad                                    # the root node
        le32 1; text quad; text ""                           # one node, no parent
        le32 1; text mill_wood.bmp                           # its texture
        le32 $one; le32 0; le32 0; le32 0; le32 $one; le32 0; le32 0; le32 0; le32 $one
        le32 0; le32 0; le32 0                               # the offset
        le32 4
        le32 $minus_ten; le32 $minus_ten; le32 0; le32 $ten; le32 $minus_ten; le32 0
        le32 $ten; le32 $ten; le32 0; le32 $minus_ten; le32 $ten; le32 0
        le32 4
        le32 0xffffffff; le32 0; le32 0; le32 0xffffffff; le32 $one; le32 0
        le32 0xffffffff; le32 $one; le32 $one; le32 0xffffffff; le32 0; le32 $one
        le32 2                                               # two faces of 24 bytes
        le32 24; u16 0; u16 1; u16 2; u16 0; u16 1; u16 2; u16 0; u16 0; le32 0; le32 0
        le32 24; u16 0; u16 2; u16 3; u16 0; u16 2; u16 3; u16 0; u16 0; le32 0; le32 0
        le32 0; le32 0; le32 0; le32 0                       # no keys, no texture animation
        le32 0                                               # no volume boxes
    } >"$1"
}
rsm2="$work/quad.rsm2"
write_rsm2_quad "$rsm2"
xdotool windowfocus "$main"
sleep 0.2
open_file_menu
dialog=$(wait_window '^Open') ||
    { xdotool key o; dialog=$(wait_window '^Open'); } ||
    { open_file_menu; dialog=$(wait_window '^Open'); } ||
    fail "the Open dialog did not appear for the .rsm2 file"
xdotool windowfocus "$dialog"
sleep 0.3
xdotool type --delay 10 "$rsm2"
xdotool key Return
wait_window '^Plovant - \[quad\.rsm2\]$' >/dev/null ||
    fail "the caption did not become 'Plovant - [quad.rsm2]'"
sleep 1
import -window root "$work/screen3.png"
blue=$(convert "$work/screen3.png" -crop "$area" +repage -fill white -opaque '#0000FF' \
       -fill black +opaque white -format '%[fx:mean]' info:)
echo "blue share of the drawing area with quad.rsm2: $blue"
awk -v b="$blue" 'BEGIN { exit !(b > 0.30 && b < 0.98) }' ||
    fail "quad.rsm2 is not drawn over the blue background ($blue blue)"

# Escape closes the window and ends the program.
xdotool windowfocus "$main"
sleep 0.2
xdotool key Escape
for _ in $(seq 50); do
    kill -0 "$viewer_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$viewer_pid" 2>/dev/null; then
    fail "Escape did not end the program"
fi
wait "$viewer_pid" && status=0 || status=$?
viewer_pid=""
[[ $status == 0 ]] || fail "the program ended with status $status"
echo "passed: $sample_name and quad.rsm2 opened through File, Open and drawn; Escape ended the program"

#!/bin/sh
# Redraws docs/terminal.png: what a terminal shows of the live preview of
# sample/animation.json. Plays it with pixstream-show in a detached tmux pane
# of 64 columns and 24 lines, at its frame rate, captures the pane with its
# colours when it has finished (tmux capture-pane -e) and draws each cell as
# 8 x 16 pixels, the shape of a terminal cell, with pixstream-show --png
# itself: each row of pixels goes to it as one frame. Text is not drawn,
# only the cells' background colours; the terminal's own is dark grey.
# Usage: sh docs/terminal.sh BUILD_DIR   (needs tmux)
set -eu
build=$1
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'tmux -L pixstream-doc kill-server 2> /dev/null; rm -rf "$tmp"' EXIT
"$build/pixstream" 30 < sample/animation.json > "$tmp/animation.bin"
tmux -L pixstream-doc -f /dev/null new-session -d -x 64 -y 24 \
    "'$build/pixstream-show' --leds 60 < '$tmp/animation.bin'; touch '$tmp/done'; sleep 60"
while [ ! -e "$tmp/done" ]; do sleep 0.2; done
tmux -L pixstream-doc capture-pane -p -e -t 0 > "$tmp/pane"

# The pane as pixstream's stream: a header byte, then each pixel's green,
# red and blue. A cell's colour is the last ESC [48;2;R;G;Bm before it; 0,
# 49 or an empty parameter list go back to the terminal's own.
LC_ALL=C awk -v cols=64 -v lines=24 -v esc="$(printf '\033')" '
function reset() { r = 40; g = 40; b = 40 }
function sgr(params,    p, n, i) {
    n = split(params, p, ";")
    if (n == 0) reset()
    for (i = 1; i <= n; i++) {
        if (p[i] == "" || p[i] == 0 || p[i] == 49) reset()
        else if (p[i] == 48 && p[i + 1] == 2) { r = p[i + 2]; g = p[i + 3]; b = p[i + 4]; i += 4 }
        else if ((p[i] == 38 || p[i] == 48) && p[i + 1] == 5) i += 2
        else if (p[i] == 38 && p[i + 1] == 2) i += 4
    }
}
BEGIN { printf "%c", 0 }
NR <= lines {
    reset()
    n = 0
    text = $0
    while (length(text) > 0 && n < cols) {
        if (substr(text, 1, 2) == esc "[") {
            end = index(text, "m")
            sgr(substr(text, 3, end - 3))
            text = substr(text, end + 1)
            continue
        }
        cr[n] = r; cg[n] = g; cb[n] = b; n++
        text = substr(text, 2)
    }
    reset()
    for (; n < cols; n++) { cr[n] = r; cg[n] = g; cb[n] = b }
    for (y = 0; y < 16; y++)
        for (x = 0; x < cols * 8; x++) printf "%c%c%c", cg[int(x / 8)], cr[int(x / 8)], cb[int(x / 8)]
}' "$tmp/pane" > "$tmp/pane.bin"
"$build/pixstream-show" --leds 512 --png docs/terminal.png < "$tmp/pane.bin"

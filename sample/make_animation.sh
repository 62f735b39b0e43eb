#!/bin/sh
# Writes sample/animation.json: a rainbow moving along a strip of 60 LEDs,
# 45 frames (1.5 s at 30 frames a second), as pixel text for pixstream: six
# input pixels per LED, four values each (red, green, blue and an alpha of
# 255 that pixstream leaves out), one frame per line. The rainbow moves one
# whole strip length over the animation, so it loops without a jump. The six
# pixels of an LED are six points along its stretch of the rainbow, so the
# filter's average is the colour of about its middle.
#
# Values are plain numbers with no key or count beside them, since pixstream
# counts every digit in its input as pixel data.
#
#   sh sample/make_animation.sh > sample/animation.json
set -eu
awk -v leds=60 -v frames=45 '
# The colour of hue h (0 to 1) at full saturation and value, as "r,g,b".
function rainbow(h,    sector, f, q, t, v) {
    h = (h - int(h)) * 6
    sector = int(h)
    f = h - sector
    v = 255
    q = int(v * (1 - f) + 0.5)
    t = int(v * f + 0.5)
    if (sector == 0) return v "," t ",0"
    if (sector == 1) return q "," v ",0"
    if (sector == 2) return "0," v "," t
    if (sector == 3) return "0," q "," v
    if (sector == 4) return t ",0," v
    return v ",0," q
}
BEGIN {
    print "["
    for (f = 0; f < frames; f++) {
        line = "["
        for (i = 0; i < leds; i++) {
            for (k = 0; k < 6; k++) {
                h = (i + (k + 0.5) / 6) / leds - f / frames
                line = line (i + k == 0 ? "" : ",") "[" rainbow(h + 1) ",255]"
            }
        }
        print line "]" (f + 1 < frames ? "," : "")
    }
    print "]"
}'

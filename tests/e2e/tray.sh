# The program's tray icon as the harnesses find it, shared by those that
# run a tray host (trayer). Sourced; defines functions only.

# Position of the centre of the program's tray icon: "X Y".
tray_icon_pos() {
    # Only once it sits inside the tray host's panel: before that Qt's icon
    # is a window of its own in the corner of the screen.
    xwininfo -root -tree | awk '
        function box(line, r,   a, s, h) {
            n = split(line, f, " "); split(f[n], a, "+"); split(f[n - 1], s, "x"); split(s[2], h, "+")
            r["x"] = a[2]; r["y"] = a[3]; r["w"] = s[1]; r["h"] = h[1]
        }
        /"panel": \("panel"/ { box($0, p); havePanel = 1; next }
        /"Replywick": \("replywick" "Replywick"\)/ { icons[++k] = $0 }
        END {
            for (i = 1; i <= k && havePanel; i++) {
                box(icons[i], c)
                if (c["w"] <= 4 || c["x"] == "") continue
                cx = c["x"] + int(c["w"] / 2); cy = c["y"] + int(c["h"] / 2)
                if (cx >= p["x"] && cx < p["x"] + p["w"] && cy >= p["y"] && cy < p["y"] + p["h"]) { print cx, cy; exit 0 }
            }
            exit 1
        }'
}

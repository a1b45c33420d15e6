"""The window resized with real X requests, as a window manager or a person
dragging its corner does: the drawing canvas takes the room its frame gets,
its picture fills it, a click on the new part of it zooms, and no control
lies over another. Below its smallest size (here no window manager holds
the window to its size hint) the layout is cut off at the edges instead."""

import os
import subprocess
import tempfile

from outside import Failure, check, click, extents, run, settle, text_of, xdotool

DESIGNED = (883, 610)
CANVAS = (590, 410)


def window_id():
    found = subprocess.run(["xdotool", "search", "--name", "^Tegaro :"], capture_output=True, text=True).stdout.split()
    check(found, "no X window named Tegaro")
    return found[0]


def named(program, name, roles=("filler", "frame", "panel")):
    for role in roles:
        found = program.find_all(role, name, first=True)
        if found:
            return found[0]
    raise Failure(f"no control named {name!r}")


def overlapping(boxes):
    faults = []
    names = list(boxes)
    for i, a in enumerate(names):
        ax, ay, aw, ah = boxes[a]
        for b in names[i + 1:]:
            bx, by, bw, bh = boxes[b]
            if ax < bx + bw and bx < ax + aw and ay < by + bh and by < ay + ah:
                faults.append(f"{a} {boxes[a]} lies over {b} {boxes[b]}")
    return faults


def colours_at(x, y, w, h):
    """The colours the screen shows in a rectangle, as #RRGGBB."""
    with tempfile.TemporaryDirectory() as folder:
        shot = os.path.join(folder, "screen.png")
        subprocess.run(["import", "-window", "root", shot], check=True)
        out = subprocess.run(["convert", shot, "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-format", "%c",
                              "histogram:info:-"], capture_output=True, text=True, check=True).stdout
    return {word[:7].upper() for word in out.split() if word.startswith("#")}


def test(program):
    click(program.find("page tab", "家屋図面"))
    zoom = program.find("text", "【拡大率】")
    win = window_id()
    for place, size in (((80, 64), (1600, 1000)), ((0, 0), (1920, 1080)), ((80, 64), DESIGNED), ((80, 64), (600, 400))):
        xdotool("windowmove", win, *place)
        xdotool("windowsize", win, *size)
        settle(1.5)
        program.expect_alive(f"resizing to {size}")
        fx, fy, fw, fh = extents(program.frame)
        check((fw, fh) == size, f"the window is {fw} x {fh}, not {size}")
        grown = (max(size[0] - DESIGNED[0], 0), max(size[1] - DESIGNED[1], 0))

        canvas = named(program, "PaintBox1")
        cx, cy, cw, ch = extents(canvas)
        check((cw, ch) == (CANVAS[0] + grown[0], CANVAS[1] + grown[1]),
              f"at {size} the canvas is {cw} x {ch}, not {CANVAS[0] + grown[0]} x {CANVAS[1] + grown[1]}")
        page = {name: extents(named(program, name)) for name in ("InspectorBar3", "FlatTabControl1")}
        page.update({name: extents(program.find("panel", name)) for name in ("面積等", "図面")})
        frame = {name: extents(named(program, name))
                 for name in ("PageControl1", "Panel1", "Panel2", "DBInspectorBar1", "PageControl2", "dfsStatusBar1")}
        faults = overlapping(page) + overlapping(frame)
        check(not faults, f"at {size}: " + "; ".join(faults))

        if cx + cw > fx + fw or cy + ch > fy + fh:
            check(size[0] < DESIGNED[0] or size[1] < DESIGNED[1], f"at {size} the canvas is cut off")
            continue
        # the picture covers the whole canvas: grid lines in its far corner
        corner = colours_at(cx + cw - 30, cy + ch - 30, 30, 30)
        check({"#00FF00", "#FFFF00"} <= corner, f"at {size} the canvas's corner shows {sorted(corner)}")
        # a click on its far corner reaches the canvas
        xdotool("mousemove", cx + cw - 5, cy + ch - 5)
        xdotool("click", 1)
        settle()
        check(text_of(zoom) == " 0.60", f"at {size} a left click left the zoom at {text_of(zoom)!r}")
        xdotool("click", 3)
        settle()
        check(text_of(zoom) == " 0.50", f"at {size} a right click left the zoom at {text_of(zoom)!r}")
    program.shot("resize")


run(test)

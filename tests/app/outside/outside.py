"""The program driven from outside: started under the X server and session
bus of run.sh, found and read through AT-SPI as a screen reader finds it,
worked with real X key and mouse events from xdotool."""

import os
import subprocess
import sys
import time
import traceback

import pyatspi


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def xdotool(*args):
    subprocess.run(["xdotool", *[str(a) for a in args]], check=True)


def settle(seconds=0.3):
    time.sleep(seconds)


def wait_for_display(timeout=30):
    """On a busy machine the X server may not take connections yet when the
    check starts."""
    end = time.time() + timeout
    while time.time() < end:
        if subprocess.run(["xdotool", "getdisplaygeometry"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0:
            return
        time.sleep(0.5)
    raise Failure("the X server does not answer")


class Program:
    """One run of the program, started with the window of its own."""

    def __init__(self, path, args=(), env=None):
        wait_for_display()
        self.path = os.path.abspath(path)
        environment = dict(os.environ)
        environment.update({
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
        })
        environment.update(env or {})
        self.log = open(os.environ.get("TEGARO_OUTSIDE_LOG", os.devnull), "w")
        # TEGARO_OUTSIDE_WRAP: a command the program runs under, a debugger say
        wrap = os.environ.get("TEGARO_OUTSIDE_WRAP", "").split()
        self.process = subprocess.Popen([*wrap, self.path, *args], cwd=os.path.dirname(self.path), env=environment,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        self.frame = self._wait_for_frame()
        self.shots = os.environ.get("TEGARO_SHOTS")

    def _wait_for_frame(self, timeout=60):
        end = time.time() + timeout
        while time.time() < end:
            check(self.alive(), f"the program ended ({self.process.returncode}) while starting")
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is None or app.name != "Tegaro":
                    continue
                for j in range(app.childCount):
                    frame = app.getChildAtIndex(j)
                    if frame is not None and frame.getRoleName() == "frame" and frame.name.startswith("Tegaro :"):
                        settle(1.0)
                        self.app = app
                        return frame
            time.sleep(0.3)
        raise Failure("the main window did not show")

    def alive(self):
        return self.process.poll() is None

    def expect_alive(self, step):
        settle()
        if not self.alive():
            raise Failure(f"the program ended ({self.process.returncode}) at: {step}")

    def stop(self):
        if self.alive():
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
        self.log.close()

    def shot(self, name):
        if self.shots:
            os.makedirs(self.shots, exist_ok=True)
            subprocess.run(["import", "-window", "root", os.path.join(self.shots, name + ".png")], check=False)

    # Finding controls as a screen reader does.
    def find(self, role, name=None, root=None, skip=("table",)):
        found = self.find_all(role, name, root, skip, first=True)
        check(found, f"no {role} {name!r}")
        return found[0]

    def find_all(self, role, name=None, root=None, skip=("table",), first=False):
        out = []

        def walk(node, depth):
            if node is None or depth > 30:
                return False
            try:
                node_role = node.getRoleName()
                if node_role == role and (name is None or node.name == name):
                    out.append(node)
                    if first:
                        return True
                if node_role in skip:
                    return False
                for i in range(node.childCount):
                    if walk(node.getChildAtIndex(i), depth + 1):
                        return True
            except Exception:
                pass
            return False

        walk(root or self.frame, 0)
        return out


def wait_for(what, find, timeout=20):
    end = time.time() + timeout
    while time.time() < end:
        found = find()
        if found:
            return found
        time.sleep(0.3)
    raise Failure(f"{what} did not come")


def connect_demo(program):
    """サーバー接続, then 読込 (Hotaku.ini beside the program names the demo
    database) and 接続, as a new user does."""
    click(program.find("push button", "サーバー接続"))
    dialog = wait_for("the login dialog", lambda: program.find_all("dialog", "ログイン", root=program.app, first=True))[0]
    click(program.find("push button", "読込", root=dialog))
    click(program.find("push button", "接続", root=dialog))
    wait_for("the connection", lambda: not dialog.getState().contains(pyatspi.STATE_SHOWING))
    program.expect_alive("connecting")


def text_of(node):
    return node.queryText().getText(0, -1)


def house_with_sheet(program):
    """Moves on with the navigator to a house whose record holds a sheet."""
    for _ in range(30):
        if text_of(program.find("text", "exfile")) == "[*明細あり]":
            return
        click(program.find("push button", "Next record"))
    raise Failure("no house of the demo database holds a sheet")


def extents(node):
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x, e.y, e.width, e.height


def click(node, button=1, double=False):
    x, y, w, h = extents(node)
    check(w > 0 and h > 0, f"{node.name!r} is not on the screen")
    xdotool("mousemove", x + w // 2, y + h // 2)
    xdotool("click", "--repeat", 2 if double else 1, button)
    settle()


def type_text(text):
    # Characters beyond the keyboard's map get a key of their own for a
    # moment: one at a time, with time for the program to read each.
    run_of_keys = ""
    for c in text + "\0":
        if c != "\0" and ord(c) < 128:
            run_of_keys += c
            continue
        if run_of_keys:
            xdotool("type", "--delay", 60, run_of_keys)
            run_of_keys = ""
        if c != "\0":
            xdotool("type", c)
            settle(0.2)
    settle()


def key(*keys):
    xdotool("key", "--delay", 60, *keys)
    settle()


def run(test):
    """Runs test(program) against the program named on the command line."""
    program = Program(sys.argv[1])
    try:
        test(program)
    except Exception as failure:  # a Failure, or what pyatspi raised
        program.shot("failure")
        if not isinstance(failure, Failure):
            traceback.print_exc()
        print("FAIL:", failure)
        program.stop()
        sys.exit(1)
    program.stop()
    print("PASS")

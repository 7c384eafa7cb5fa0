"""The main window driven as a person drives it: real input through the X server (xdotool's
XTest) and a screen reader's calls through AT-SPI, during a split onto a slow medium.

    hand_check.py PROGRAM SLOW_FOLDER

For each way a hand asks to stop (a click on Cancel, Space and Return on it, Escape anywhere,
Alt+F4, the close box): one "Stop?" question, Yes stops, nothing is left and no failure is said.
While a split runs no route (AT-SPI's set_text among them) puts text into a field. Pastes follow
the typing rule. The launcher's icon (the LauncherEntry signal on the session bus, as
dbus-monitor sees it) shows the split's progress rising and none after. Started on a later
piece whose first piece was lost, the window joins the series, rebuilding the first piece. Every wait has a deadline; every process started here is ended by its own pid.
Exit status 0 when all hold."""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import pyatspi

PROGRAM, SLOW = sys.argv[1], sys.argv[2]
failures = []


def fail(what):
    failures.append(what)
    print("FAIL: " + what, flush=True)


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=False, timeout=20)


def until(what, condition, seconds=20):
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            found = condition()
            if found:
                return found
        except Exception:  # the tree changes under us: ask again
            pass
        time.sleep(0.1)
    fail("timed out waiting for " + what)
    return None


def nodes_of(node):
    found = [node]
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            found.extend(nodes_of(child))
    return found


def app_of(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.get_process_id() == pid and app.childCount:
            return app
    return None


def named(app, name, role=None):
    for node in nodes_of(app):
        if node.name == name and (role is None or node.getRole() == role):
            return node
    return None


def showing(node):
    return node is not None and node.getState().contains(pyatspi.STATE_SHOWING)


def dialog_titled(app, title):
    for node in nodes_of(app):
        if node.getRole() in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT) and node.name == title:
            return node
    return None


def centre(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x + box.width // 2, box.y + box.height // 2


def click(node):
    x, y = centre(node)
    xdotool("mousemove", str(x), str(y), "sleep", "0.1", "click", "1")


def text_of(node):
    return node.queryText().getText(0, -1)


class Window:
    """The program, started on a file: it opens in Split mode with both names filled in."""

    def __init__(self, source=None, folder=None):
        self.process = subprocess.Popen([PROGRAM] + ([source] if source else []), cwd=folder,
                                        start_new_session=True,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.app = until("the window on the accessibility bus", lambda: app_of(self.process.pid))

    def end(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
        self.process.wait(timeout=10)


def start_split(window):
    """Go, and OK at the confirmation; returns Cancel once it shows."""
    click(until("Go", lambda: named(window.app, "Go")))
    until("the confirmation", lambda: dialog_titled(window.app, "File Message"))
    xdotool("key", "Return")
    return until("Cancel during the split",
                 lambda: showing(named(window.app, "Cancel")) and named(window.app, "Cancel"))


def pieces(folder):
    return sorted(n for n in os.listdir(folder) if n != "src.bin")


def check_stop(how, act):
    window = Window(os.path.join(SLOW, "src.bin"))
    try:
        if window.app is None:
            return
        cancel = start_split(window)
        if cancel is None:
            return
        time.sleep(0.5)  # a piece or two on
        act(window, cancel)
        if until(how + ": the Stop? question", lambda: dialog_titled(window.app, "Stop?"), 10):
            time.sleep(0.3)
            if sum(1 for n in nodes_of(window.app) if n.name == "Stop?") != 1:
                fail(how + ": more than one Stop? question")
            xdotool("key", "Return")  # Yes
        until(how + ": idle again",
              lambda: showing(named(window.app, "Go")) and not showing(named(window.app, "Cancel")))
        time.sleep(0.5)
        if dialog_titled(window.app, "ERROR!"):
            fail(how + ": a failure was said after the user asked to stop")
        if pieces(SLOW):
            fail(how + ": left " + " ".join(pieces(SLOW)))
    finally:
        window.end()
        for name in pieces(SLOW):
            os.remove(os.path.join(SLOW, name))


def check_bar_value():
    """The bar offers its value to a screen reader: rising during a split, 100 after it."""
    window = Window(os.path.join(SLOW, "src.bin"))
    try:
        if window.app is None or start_split(window) is None:
            return

        def value():
            bars = [n for n in nodes_of(window.app) if n.getRole() == pyatspi.ROLE_PROGRESS_BAR]
            return bars[0].queryValue().currentValue if bars else None

        until("the bar's value during the split", lambda: 0 < (value() or 0) < 100, 10)
        until("the end of the split",
              lambda: not showing(named(window.app, "Cancel")) and not pieces_pending(), 30)
        until("the bar's value of 100 after the split", lambda: value() == 100, 10)
    finally:
        window.end()
        for name in pieces(SLOW):
            os.remove(os.path.join(SLOW, name))


def pieces_pending():
    return any(".tessarel-" in name for name in pieces(SLOW))


def check_session_end(signal_number):
    """A logout's signal mid-split: the split stops whole or nothing, then the window ends."""
    window = Window(os.path.join(SLOW, "src.bin"))
    try:
        if window.app is None or start_split(window) is None:
            return
        time.sleep(0.5)  # a piece or two on
        os.kill(window.process.pid, signal_number)
        try:
            window.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            fail("signal %d: the window is still there" % signal_number)
        if pieces(SLOW):
            fail("signal %d: left %s" % (signal_number, " ".join(pieces(SLOW))))
    finally:
        window.end()
        for name in pieces(SLOW):
            os.remove(os.path.join(SLOW, name))


def close_box(window, cancel):
    # The frame's close button, at the right end of the title bar above the client area.
    frame = named(window.app, "Tessarel", pyatspi.ROLE_FRAME) or window.app.getChildAtIndex(0)
    box = frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool("mousemove", str(box.x + box.width - 8), str(box.y - 10), "sleep", "0.1", "click", "1")


HANDS = [
    ("a click on Cancel", lambda w, c: click(c)),
    ("Space on Cancel", lambda w, c: xdotool("key", "space")),
    ("Return on Cancel", lambda w, c: xdotool("key", "Return")),
    ("Escape", lambda w, c: xdotool("key", "Escape")),
    ("Alt+F4", lambda w, c: xdotool("key", "alt+F4")),
    ("the close box", close_box),
]


def launcher_updates(log):
    """The LauncherEntry signals dbus-monitor saw, as (uri, progress, visible, urgent)."""
    updates = []
    for block in log.split("signal time=")[1:]:
        if "member=Update" not in block:
            continue
        uri = re.search(r'string "(application://[^"]*)"', block)
        progress = re.search(r'"progress"\s+variant\s+double ([0-9.e+-]+)', block)
        visible = re.search(r'"progress-visible"\s+variant\s+boolean (\w+)', block)
        urgent = re.search(r'"urgent"\s+variant\s+boolean (\w+)', block)
        updates.append((uri and uri.group(1), progress and float(progress.group(1)),
                        visible and visible.group(1) == "true", urgent and urgent.group(1) == "true"))
    return updates


def check_launcher(updates):
    """The launcher's icon showed the split's progress rising, and none once it ended."""
    if not updates:
        return fail("no LauncherEntry signal on the session bus during a split")
    if any(u[0] != "application://org.tessarel.Tessarel.desktop" for u in updates):
        fail("a LauncherEntry signal names another program: %s" % updates[0][0])
    shown = [u[1] for u in updates if u[2]]
    # The split, then (on media whose keeping is not known, as this FUSE one) the read back:
    # each rises from 0, the last to 1.
    runs = [[]]
    for value in shown:
        if runs[-1] and value < runs[-1][-1]:
            runs.append([])
        runs[-1].append(value)
    if (len(set(shown)) < 3 or len(runs) > 2 or any(run[0] > 0.05 for run in runs)
            or shown[-1] != 1):
        fail("the launcher's progress did not rise from 0 to 1: %s" % shown)
    if updates[-1][2]:
        fail("the launcher still shows progress after the split")


def check_lock_and_paste():
    monitor = subprocess.Popen(
        ["dbus-monitor", "--session", "type='signal',interface='com.canonical.Unity.LauncherEntry'"],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, start_new_session=True)
    time.sleep(0.3)
    window = Window(os.path.join(SLOW, "src.bin"))
    try:
        if window.app is None:
            return
        save = until("the file to save", lambda: named(window.app, "File to save"))
        used = text_of(save)
        # A paste follows the typing rule.
        approx = named(window.app, "Approximate piece size in kilobytes")
        for pasted, kept in (("7x", "1400"), ("1 000", "1400"), ("2000", "2000")):
            subprocess.run(["xclip", "-selection", "clipboard"], input=pasted.encode(),
                           timeout=10, check=False)
            click(approx)
            xdotool("key", "ctrl+a", "key", "ctrl+v")
            time.sleep(0.3)
            if text_of(approx) != kept:
                fail("pasting %r left %r in the size field" % (pasted, text_of(approx)))
        cancel = start_split(window)
        if cancel is None:
            return
        # A screen reader's text, and typing into the field, while the split runs.
        try:
            save.queryEditableText().setTextContents("elsewhere")
        except Exception:
            pass
        click(save)
        xdotool("type", "xyz")
        time.sleep(0.3)
        if text_of(save) != used:
            fail("a locked field took text: %r" % text_of(save))
        until("the end of the split", lambda: not showing(named(window.app, "Cancel")), 60)
        if text_of(save) != used:
            fail("the field shows %r after the split, not what was used" % text_of(save))
        time.sleep(0.5)
        os.killpg(monitor.pid, signal.SIGTERM)
        check_launcher(launcher_updates(monitor.communicate(timeout=10)[0]))
    finally:
        if monitor.poll() is None:
            os.killpg(monitor.pid, signal.SIGKILL)
            monitor.wait(timeout=10)
        window.end()
        for name in pieces(SLOW):
            os.remove(os.path.join(SLOW, name))


def check_names():
    """Names typed without a folder are in the folder the program was started in."""
    window = Window(folder=SLOW)
    try:
        if window.app is None:
            return
        for field, name in (("File to open", "src.bin"), ("File to save", "relout")):
            click(until(field, lambda: named(window.app, field)))
            xdotool("type", name)
        if start_split(window) is None:
            return
        until("the end of the split", lambda: not showing(named(window.app, "Cancel")), 60)
        if not os.path.exists(os.path.join(SLOW, "relout.m00")):
            fail("a bare name did not land in the start folder: %s" % pieces(SLOW))
        if dialog_titled(window.app, "Error"):
            fail("a bare name gave an error report")
    finally:
        window.end()
        for name in pieces(SLOW):
            os.remove(os.path.join(SLOW, name))


# A window started on a later piece (a double click, the file manager's Join verb): the split
# that made the pieces, the pieces then lost, the piece opened, the first piece the window
# names, and the file it joins into.
LATER_PIECES = [
    (["split", "-s", "50000", "-r", "2", "f"], ["f.m00"], "f.m05", "f.m00", "f"),
    (["split", "-s", "50000", "--numbered", "-r", "1", "f"], ["f.001"], "f.004", "f.001", "f"),
    (None, [], "f.3", "f.0", "f"),  # another tool's set: f.0, f.1, ...
]


def check_join_from_a_later_piece():
    """The window joins the series of any piece it is started on, the first one lost and
    rebuilt from the recovery pieces, or another tool's set."""
    for split, lost, opened_name, first, output in LATER_PIECES:
        folder = tempfile.mkdtemp()
        window = None
        try:
            original = os.urandom(300000)
            with open(os.path.join(folder, "f"), "wb") as out:
                out.write(original)
            if split:
                subprocess.run([PROGRAM] + split, cwd=folder, timeout=60,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
            else:
                for i in range(6):
                    with open(os.path.join(folder, "f.%d" % i), "wb") as out:
                        out.write(original[i * 50000:(i + 1) * 50000])
            os.remove(os.path.join(folder, "f"))
            for name in lost:
                os.remove(os.path.join(folder, name))
            window = Window(os.path.join(folder, opened_name))
            if window.app is None:
                return
            join = until("the Join option",
                         lambda: named(window.app, "Join", pyatspi.ROLE_RADIO_BUTTON))
            if join is None or not join.getState().contains(pyatspi.STATE_CHECKED):
                fail("the window started on %s is not in Join mode" % opened_name)
                continue
            until("the focus on Join in the window started on " + opened_name,
                  lambda: join.getState().contains(pyatspi.STATE_FOCUSED), 5)
            opened = text_of(named(window.app, "File to open"))
            if opened != os.path.join(folder, first):
                fail("the window started on %s opens %r, not %s" % (opened_name, opened, first))
            click(until("Go", lambda: named(window.app, "Go")))
            until("the confirmation", lambda: dialog_titled(window.app, "File Message"))
            xdotool("key", "Return")
            until("the end of the join", lambda: os.path.exists(os.path.join(folder, output)), 30)
            if until("the closing word", lambda: dialog_titled(window.app, "File Message"), 10):
                xdotool("key", "Return")
            if dialog_titled(window.app, "ERROR!"):
                fail("the join from %s said a failure" % opened_name)
            with open(os.path.join(folder, output), "rb") as joined:
                if joined.read() != original:
                    fail("the join from %s gave another file" % opened_name)
        finally:
            if window:
                window.end()
            shutil.rmtree(folder, ignore_errors=True)


def main():
    with open(os.path.join(SLOW, "src.bin"), "wb") as source:
        source.write(os.urandom(12 << 20))  # at 4 MB/s: three seconds of writing
    for how, act in HANDS:
        check_stop(how, act)
    check_bar_value()
    for signal_number in (signal.SIGTERM, signal.SIGHUP):
        check_session_end(signal_number)
    check_lock_and_paste()
    check_names()
    check_join_from_a_later_piece()
    if not failures:
        print("Cancel answered every hand and a logout's signals; the bar gave its value; fields stayed locked; pastes followed the rule; "
              "the launcher showed the progress; bare names landed where the program was "
              "started; a later piece joined its series with the first piece lost, and a set")
    return 1 if failures else 0


sys.exit(main())

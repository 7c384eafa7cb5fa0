"""What a screen reader finds in the main window, read through AT-SPI as Orca reads it.

Waits for the program's window, then checks: no hidden placeholder field in the tree, the
spinner is a spin button with its value, the focus starts on Split, every control that takes
the focus has a name. Exit status 0 when all hold."""
import sys
import time

import pyatspi


def find_app(deadline):
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and "tessarel" in (app.name or "").lower() and app.childCount:
                return app
        time.sleep(0.2)
    return None


def walk(node, found):
    found.append(node)
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(child, found)


def main():
    app = find_app(time.time() + 30)
    if app is None:
        print("FAIL: no Tessarel application on the accessibility bus")
        return 1
    time.sleep(1)  # the window settles its focus
    nodes = []
    walk(app, nodes)
    failures = []
    for node in nodes:
        try:
            text = node.queryText().getText(0, -1)
        except NotImplementedError:
            text = ""
        if text == "Text3" or node.name == "Piece size in bytes":
            failures.append("the hidden size field is in the tree")
        states = node.getState()
        if states.contains(pyatspi.STATE_FOCUSABLE) and states.contains(pyatspi.STATE_SHOWING):
            if not node.name:
                failures.append("a control without a name: " + node.getRoleName())
    spinners = [n for n in nodes if n.name == "Change approximate piece size"]
    if not spinners or spinners[0].getRole() != pyatspi.ROLE_SPIN_BUTTON:
        failures.append("the spinner is not a spin button: " +
                        (spinners[0].getRoleName() if spinners else "missing"))
    elif spinners[0].queryValue().currentValue != 1400:
        failures.append("the spinner's value is %s" % spinners[0].queryValue().currentValue)
    window = app.getChildAtIndex(0)
    if window.getRole() != pyatspi.ROLE_FRAME:
        failures.append("the window is a %s, not a frame" % window.getRoleName())
    for bar in [n for n in nodes if n.getRole() == pyatspi.ROLE_PROGRESS_BAR]:
        try:
            actions = bar.queryAction()
            names = [actions.getName(i) for i in range(actions.nActions)]
        except NotImplementedError:
            names = []
        # Qt's bridge lists Increase and Decrease for anything with a value, the bar too; they
        # must leave it as it is.
        if set(names) - {"Increase", "Decrease"}:
            failures.append("the bar offers actions: %s" % names)
        before = bar.queryValue().currentValue
        for i in range(len(names)):
            actions.doAction(i)
        if bar.queryValue().currentValue != before:
            failures.append("the bar's value moved under a screen reader's action")
    focused = [n.name for n in nodes if n.getState().contains(pyatspi.STATE_FOCUSED)]
    if "Split" not in focused:
        failures.append("the focus is on %s, not on Split" % focused)
    for failure in failures:
        print("FAIL: " + failure)
    if not failures:
        print("read through AT-SPI: %d objects, spinner and focus as designed" % len(nodes))
    return 1 if failures else 0


sys.exit(main())

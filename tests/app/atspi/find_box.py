#!/usr/bin/python3
"""Finds the PS3 L2 box of a running velorin in the desktop's accessibility tree, checks what a
screen reader is told about it, activates it and waits for the function menu to show.

Exit status: 0 passed, 1 failed, 77 when pyatspi is missing."""
import sys
import time

try:
    import pyatspi
except ImportError:
    print("SKIP: pyatspi is not installed")
    sys.exit(77)


def wait_for(what, find, seconds=60.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            found = find()
        except Exception:  # the tree changes under us while the program starts
            found = None
        if found is not None:
            return found
        time.sleep(0.05)
    print("FAIL: " + what + " did not appear")
    sys.exit(1)


def velorin_app():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "velorin":
            return app
    return None


def descendant(app, match):
    return pyatspi.findDescendant(app, lambda a: a is not None and match(a), breadth_first=True)


def showing(acc):
    return acc.getState().contains(pyatspi.STATE_SHOWING)


app = wait_for("the velorin application", velorin_app)
box = wait_for("the PS3 L2 box", lambda: descendant(app, lambda a: a.name == "PS3 L2"))
# The value (the key the box shows) travels as the description: AT-SPI buttons have no text value.
wait_for("the value Q of the box", lambda: box if box.description == "Q" else None, seconds=10.0)
print("found %r, role %s, value %r" % (box.name, box.getRoleName(), box.description))
if box.getRole() != pyatspi.ROLE_PUSH_BUTTON:
    print("FAIL: the box is not a push button")
    sys.exit(1)
action = box.queryAction()
names = [action.getName(i) for i in range(action.nActions)]
print("actions: %s" % names)
if not names:
    print("FAIL: the box offers no action")
    sys.exit(1)
action.doAction(0)

item = wait_for(
    "the function menu",
    lambda: descendant(app, lambda a: a.getRole() == pyatspi.ROLE_MENU_ITEM and showing(a)),
    seconds=10.0,
)
print("menu entry shown: %r" % item.name)
sys.exit(0)

"""Reads the program over the desktop's accessibility bus as a screen reader does, and drives it
from the keyboard: the rail's page tabs and the headings, plain descriptions, an item row with its
check box's name and state ticked by Space, and the tray's popover opened by its shortcut, walked
with Tab and closed by Escape. Runs inside a session bus of its own with DISPLAY set (run.sh).
Prints every fault it finds and exits 1 when there is one."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

MARKUP = re.compile(r"<[a-zA-Z/!]|&[a-z]+;|&#")
faults = []


def fault(message):
    faults.append(message)
    print("FAULT: " + message, flush=True)


def wait_for(find, seconds):
    """The first answer of `find` that is not None within `seconds`, else None."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            found = find()
        except Exception:  # an element that went away while it was read
            found = None
        if found is not None:
            return found
        time.sleep(0.2)
    return None


def states(node):
    return node.getState().getStates()


def shown(node):
    """The element and every element under it that is on screen."""
    try:
        if pyatspi.STATE_SHOWING not in states(node):
            return
    except Exception:
        return
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from shown(child)


def key(name):
    """Presses keys as a keyboard does, through the X server to the window that has the focus."""
    subprocess.run(["xdotool", "key", name], check=True)
    time.sleep(0.4)


def focused(root):
    """What has the keyboard: the focused control, or the current row of a focused list (Qt
    marks a list's current row focused even while the list is not). Read afresh: the states a
    client keeps are not all kept up to date."""
    root.clear_cache()
    for node in shown(root):
        if pyatspi.STATE_FOCUSED not in states(node):
            continue
        if node.getRoleName() in ("list item", "table cell", "tree item"):
            if pyatspi.STATE_FOCUSED not in states(node.parent):
                continue
        return node
    return None


def fake_home():
    home = tempfile.mkdtemp(prefix="hl-bus-")
    cache = os.path.join(home, ".gradle", "caches", "modules-2")
    os.makedirs(cache)
    with open(os.path.join(cache, "files.bin"), "wb") as out:
        out.write(os.urandom(300_000))
    runtime = os.path.join(home, "runtime")
    os.makedirs(runtime, mode=0o700)
    return home, {
        "HOME": home,
        "XDG_CONFIG_HOME": os.path.join(home, ".config"),
        "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
        "XDG_CACHE_HOME": os.path.join(home, ".cache"),
        "XDG_RUNTIME_DIR": runtime,
    }


def check_window(app):
    window = app.getChildAtIndex(0)
    tabs = [n for n in shown(window) if n.getRoleName() == "page tab"]
    rail = [t.name for t in tabs[:5]]
    if rail != ["Home", "Folder Scanner", "Activity", "History", "Settings"]:
        fault("the rail's page tabs read " + repr(rail))
    if [t.name for t in tabs[:5] if pyatspi.STATE_SELECTED in states(t)] != ["Home"]:
        fault("the rail's selected page is not Home alone")
    headings = [n.name for n in shown(window) if n.getRoleName() == "heading"]
    for wanted in ("Caches", "All reclaimable"):
        if wanted not in headings:
            fault("no heading " + repr(wanted) + " among " + repr(headings))
    for node in shown(window):
        for text in (node.name or "", node.description or ""):
            if MARKUP.search(text):
                fault("markup read out: " + repr(text))


def check_rows(app):
    window = app.getChildAtIndex(0)

    def ticking_row():
        for node in shown(window):
            if node.getRoleName() == "list item" and (node.name or "").startswith("Include "):
                return node
        return None

    row = wait_for(ticking_row, 60)
    if row is None:
        fault("no item row named as its check box (\"Include …\") after the scan")
        return
    # Qt 6.4's bridge passes no "checkable" state: an unticked row says so in words.
    unticked = (row.description or "").startswith("Not ticked")
    if pyatspi.STATE_CHECKED in states(row) or not unticked:
        fault("the row " + repr(row.name) + " does not read as unticked: " + repr(row.description))
    if not re.search(r"\d (bytes|KB|MB|GB)", row.description or ""):
        fault("the row's description has no size: " + repr(row.description))
    name = row.name
    items = row.parent
    # Tab through the window until the keyboard is in the items list.
    for _ in range(40):
        items.clear_cache()
        if pyatspi.STATE_FOCUSED in states(items):
            break
        key("Tab")
    else:
        fault("Tab never reached the items list")
        return
    key("Down")  # the keyboard on a row
    items.clear_cache()
    now = next((n for n in shown(items) if n.getRoleName() == "list item"
                and pyatspi.STATE_FOCUSED in states(n)), None)
    if now is None:
        fault("the items list has the keyboard but no current row")
        return
    key("space")  # ticks it

    def ticked():
        window.clear_cache()
        for node in shown(window):
            if node.name == name and pyatspi.STATE_CHECKED in states(node):
                return node
        return None

    if now.name == name and wait_for(ticked, 5) is None:
        fault("Space did not tick " + repr(name))


def check_popover(app):
    key("ctrl+shift+c")

    def popover():
        for i in range(app.childCount):
            child = app.getChildAtIndex(i)
            if i > 0 and child is not None and pyatspi.STATE_SHOWING in states(child):
                return child
        return None

    window = wait_for(popover, 10)
    if window is None:
        fault("Ctrl+Shift+C showed no popover in the accessible tree")
        return
    names = {n.name for n in shown(window)}
    for wanted in ("Safe to clean now", "Rescan", "Quit", "Open the Harbor Lume window"):
        if wanted not in names:
            fault("the popover has no " + repr(wanted))
    start = wait_for(lambda: focused(window), 5)
    if start is None:
        fault("the popover opened with no focused control")
        return
    key("Tab")
    after = wait_for(lambda: focused(window), 5)
    if after is None or after.name == start.name:
        fault("Tab did not move in the popover from " + repr(start.name))
    key("Escape")

    def closed():
        window.clear_cache()
        return None if pyatspi.STATE_SHOWING in states(window) else True

    if wait_for(closed, 5) is None:
        fault("Escape did not close the popover")


def main():
    program = sys.argv[1]
    home, folders = fake_home()
    environment = dict(os.environ, **folders, QT_QPA_PLATFORM="xcb",
                       QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    # Read-only: nothing is ever removed, whatever a key press does.
    # The accessibility bus and its registry are started on demand; a program that asks for the
    # bus while it is still starting (a machine busy with a whole test run) may never join it.
    # Reading the desktop once first has them running before the program starts.
    if wait_for(lambda: pyatspi.Registry.getDesktop(0), 60) is None:
        fault("the accessibility registry did not start")
    # What the program says goes to a file, shown when it never appears.
    said = open(os.path.join(home, "program-output.txt"), "w+")
    process = subprocess.Popen([program, "-HLMReadOnly"], env=environment,
                               stdout=said, stderr=subprocess.STDOUT)
    try:
        def the_program():
            for app in pyatspi.Registry.getDesktop(0):
                if app is None or app.name != "Harborlume":
                    continue
                # Found before its window was made, the program's element may be kept with
                # no children: read it afresh each time.
                app.clear_cache()
                if app.childCount > 0:
                    return app
            return None

        # A machine busy with a whole test run can take long to start the program.
        app = wait_for(the_program, 60)
        if app is None:
            fault("the program never appeared on the accessibility bus")
            status = process.poll()
            print("program: " + ("still running" if status is None else "ended with %d" % status))
            try:
                seen = [(a.name, a.childCount) for a in pyatspi.Registry.getDesktop(0)
                        if a is not None]
            except Exception as error:  # the registry itself may be what failed
                seen = [repr(error)]
            print("on the bus: " + repr(seen))
            said.seek(0)
            print("program output:\n" + said.read()[-4000:])
        else:
            check_rows(app)
            check_window(app)
            check_popover(app)
    finally:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        said.close()
        shutil.rmtree(home, ignore_errors=True)
    print("%d fault(s)" % len(faults))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

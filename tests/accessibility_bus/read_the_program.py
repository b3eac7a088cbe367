"""Reads the program over the desktop's accessibility bus as a screen reader does, and drives it
from the keyboard and the mouse as a new user does, on a display with a window manager: the
rail's page tabs and the headings, plain descriptions, an item row with its check box's name and
state ticked by Space, and the tray's popover opened by its shortcut, walked with Tab and closed
by Escape. Then, reading after each step which element has the keyboard: Include and Remove in
Settings, Exclude from a row's menu and Include on the Home page, a row opening its details, a
folder chosen from the folder scanner's sidebar by mouse and by keyboard, and the popover's
Rescan. Runs inside a session bus of its own with DISPLAY set (run.sh). Prints every fault it
finds and exits 1 when there is one."""

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

    def filled(relative, size):
        folder = os.path.join(home, relative)
        os.makedirs(folder)
        with open(os.path.join(folder, "files.bin"), "wb") as out:
            out.write(os.urandom(size))
        return folder

    filled(os.path.join(".gradle", "caches", "modules-2"), 300_000)
    for relative, size in ((".cargo/registry/cache", 250_000), (".cache/pre-commit", 200_000),
                           (".composer/cache", 150_000)):
        filled(relative, size)
    excluded = [filled(".npm/_cacache", 120_000), filled(".cache/uv", 110_000)]
    custom = [filled("custom/first", 90_000), filled("custom/second", 80_000)]
    for name in ("one", "two"):
        filled(os.path.join("measure", name), 50_000)
    config = os.path.join(home, ".config")
    os.makedirs(os.path.join(config, "Harborlume"))
    with open(os.path.join(config, "Harborlume", "Harborlume.conf"), "w") as out:
        out.write("[General]\nexcludedPaths=%s\nextraPaths=%s\n"
                  % (", ".join(excluded), ", ".join(custom)))
    runtime = os.path.join(home, "runtime")
    os.makedirs(runtime, mode=0o700)
    return home, {
        "HOME": home,
        "XDG_CONFIG_HOME": config,
        "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
        "XDG_CACHE_HOME": os.path.join(home, ".cache"),
        "XDG_RUNTIME_DIR": runtime,
    }


def find(root, name, role=None):
    """The first element on screen under `root` with this name (and role)."""
    root.clear_cache()
    for node in shown(root):
        if node.name == name and (role is None or node.getRoleName() == role):
            return node
    return None


def click(node, button=1):
    """A click of the mouse at the middle of the element, through the X server."""
    extents = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(extents.x + extents.width // 2),
                    str(extents.y + extents.height // 2), "click", str(button)], check=True)
    time.sleep(0.6)


def click_named(window, name, role=None):
    node = wait_for(lambda: find(window, name, role), 10)
    if node is None:
        fault("nothing named " + repr(name) + " to click")
        return False
    click(node)
    return True


def describe(node):
    if node is None:
        return "nothing"
    return "%s %r (%r)" % (node.getRoleName(), node.name, node.description)


def keyboard(window):
    """What has the keyboard in the window: a focused row of a focused list rather than the
    list, else the focused element."""
    at = focused(window)
    if at is None:
        return None
    for node in shown(at):
        if node is not at and node.getRoleName() in ("list item", "table cell", "tree item") \
                and pyatspi.STATE_FOCUSED in states(node):
            return node
    return at


def tab_to(window, wanted, presses=60):
    """Presses Tab until the keyboard is on an element `wanted` accepts; that element, or None."""
    for _ in range(presses):
        at = keyboard(window)
        if at is not None and wanted(at):
            return at
        subprocess.run(["xdotool", "key", "Tab"], check=True)
        time.sleep(0.25)
    return None


def keyboard_settles_on(window, wanted, seconds=10):
    return wait_for(lambda: (lambda at: at if at is not None and wanted(at) else None)(
        keyboard(window)), seconds)


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


def tab_into(items):
    """Tabs through the window until the keyboard is in the items list; False when it never is."""
    for _ in range(60):
        items.clear_cache()
        if pyatspi.STATE_FOCUSED in states(items):
            return True
        key("Tab")
    fault("Tab never reached the items list")
    return False


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
    if not tab_into(items):
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


def check_settings_lists(app, home):
    """Include and Remove pressed with Space leave the keyboard on the next row's button (the
    previous row's for the last row; the section's row when none is left), also after the
    keyboard was once among the right panel's largest items, which an Include changes."""
    window = app.getChildAtIndex(0)
    largest = tab_to(window, lambda n: n.getRoleName() == "push button"
                     and (n.description or "").startswith(os.path.join(home, ".gradle")))
    if largest is None:
        fault("Tab never reached the right panel's largest items")
    if not (click_named(window, "Settings", "page tab")
            and click_named(window, "Excluded paths", "list item")):
        return
    first = tab_to(window, lambda n: n.name == "Include")
    if first is None:
        fault("Tab never reached an Include button")
        return
    other = os.path.join(home, ".cache", "uv") if first.description.endswith("_cacache") \
        else os.path.join(home, ".npm", "_cacache")
    key("space")
    now = keyboard_settles_on(window, lambda n: n.name == "Include" and n.description == other)
    if now is None:
        fault("after Include on the first of two rows the keyboard is on "
              + describe(keyboard(window)) + ", not on the next row's Include")
        return
    key("space")
    if keyboard_settles_on(window, lambda n: n.name == "Excluded paths") is None:
        fault("after Include on the only row the keyboard is on " + describe(keyboard(window))
              + ", not on the section's row")
    if not click_named(window, "Custom paths", "list item"):
        return
    second = os.path.join(home, "custom", "second")
    if tab_to(window, lambda n: n.name == "Remove" and n.description == second) is None:
        fault("Tab never reached the second custom path's Remove")
        return
    key("space")
    first_path = os.path.join(home, "custom", "first")
    if keyboard_settles_on(window, lambda n: n.name == "Remove"
                           and n.description == first_path) is None:
        fault("after Remove on the last of two rows the keyboard is on "
              + describe(keyboard(window)) + ", not on the row above's Remove")


def item_rows(window):
    window.clear_cache()
    return [n for n in shown(window)
            if n.getRoleName() == "list item" and (n.description or "").startswith(
                ("Not ticked", "Ticked"))]


def check_exclude_from_menu(app):
    """Exclude from a row's context menu, opened by the menu key, leaves the keyboard on the row
    that took its place."""
    window = app.getChildAtIndex(0)
    if not click_named(window, "Home", "page tab"):
        return
    rows = wait_for(lambda: item_rows(window) if len(item_rows(window)) >= 4 else None, 30)
    if rows is None:
        fault("fewer than four item rows to exclude one from")
        return
    if not tab_into(rows[0].parent):
        return
    key("Down")
    key("Down")
    current = keyboard(window)
    rows = item_rows(window)
    names = [r.name for r in rows]
    if current is None or current.name not in names:
        fault("Down in the items list left the keyboard on " + describe(current))
        return
    place = next(i for i, r in enumerate(rows) if r.name == current.name
                 and r.description == current.description)
    if place + 1 >= len(rows):
        fault("no row after " + repr(current.name))
        return
    neighbour = (rows[place + 1].name, rows[place + 1].description)
    excluded = (current.name, current.description)
    # The menu is not on the bus. Its last entry, the removal, is off in read-only mode and the
    # keyboard skips it: Up from the menu key lands on "Exclude", the entry above it.
    key("Menu")
    key("Up")
    key("Return")
    if wait_for(lambda: None if excluded in [(r.name, r.description) for r in item_rows(window)]
                else True, 10) is None:
        fault("Exclude from the row's menu left the row " + repr(excluded[0]) + " listed")
        return
    settled = keyboard_settles_on(window, lambda n: (n.name, n.description) == neighbour)
    if settled is None:
        fault("after Exclude the keyboard is on " + describe(keyboard(window))
              + ", not on the next row " + repr(neighbour[0]))


def check_home_excluded(app):
    """On the Home page's Excluded tab, Include on the only row leaves the keyboard on the tab
    that chose the list, where its ring shows."""
    window = app.getChildAtIndex(0)
    if not click_named(window, "Excluded", "page tab"):
        return
    if tab_to(window, lambda n: n.name == "Include") is None:
        fault("Tab never reached the Excluded tab's Include")
        return
    key("space")
    if keyboard_settles_on(window, lambda n: n.name == "Excluded"
                           and n.getRoleName() == "page tab") is None:
        fault("after Include on the Excluded tab's only row the keyboard is on "
              + describe(keyboard(window)) + ", not on the Excluded tab")
    click_named(window, "Items", "page tab")


def check_details_card(app):
    """A click on a row opens the Details tab with that item's card in view, wherever the
    pane was scrolled to."""
    window = app.getChildAtIndex(0)
    if not click_named(window, "Details", "page tab"):
        return
    pane = wait_for(lambda: find(window, "Details", "filler"), 10)
    if pane is None:
        fault("no Details pane")
        return
    extents = pane.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(extents.x + extents.width // 2),
                    str(extents.y + extents.height // 2)] + ["click", "5"] * 40, check=True)
    time.sleep(0.6)
    if not click_named(window, "Items", "page tab"):
        return
    rows = item_rows(window)
    if not rows:
        fault("no item row to click")
        return
    click(rows[-1])
    back = wait_for(lambda: find(window, "Back to Items", "push button"), 10)
    pane = find(window, "Details", "filler")
    if back is None or pane is None:
        fault("a click on a row opened no item card in the Details tab")
        return
    card = back.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    view = pane.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    if not view.y <= card.y < view.y + view.height:
        fault("the item's card is out of view: its button at y %d, the pane from %d to %d"
              % (card.y, view.y, view.y + view.height))


def measured_tree_has_keyboard(window):
    """The keyboard is on the folder scanner's tree named "measure" or a row of it."""
    def in_tree(node):
        while node is not None:
            if node.getRoleName() in ("tree", "tree table") and node.name == "measure":
                return True
            node = node.parent
        return False
    return keyboard_settles_on(window, in_tree, 20)


def choose_measure(app, home):
    """Answers the folder chooser with the folder to measure, typed as a user types."""
    dialog = wait_for(lambda: next((app.getChildAtIndex(i) for i in range(1, app.childCount)
                                    if app.getChildAtIndex(i) is not None
                                    and pyatspi.STATE_SHOWING in states(app.getChildAtIndex(i))
                                    and find(app.getChildAtIndex(i), "Scan", "push button")),
                                   None), 10)
    if dialog is None:
        fault("no folder chooser with a Scan button appeared")
        return False
    subprocess.run(["xdotool", "type", "--delay", "20", os.path.join(home, "measure")],
                   check=True)
    key("Return")
    return True


def check_folder_scanner(app, home):
    """A folder chosen from the sidebar's "Choose Folder…", by mouse and then by keyboard, ends
    with the keyboard in the measured tree: the first Down moves in the tree."""
    window = app.getChildAtIndex(0)
    for by in ("mouse", "keyboard"):
        if by == "mouse":
            if not (click_named(window, "Folder Scanner", "page tab")
                    and click_named(window, "Choose Folder\u2026", "push button")):
                return
        else:
            if tab_to(window, lambda n: n.name == "Choose Folder\u2026") is None:
                fault("Tab never reached Choose Folder\u2026")
                return
            key("space")
        if not choose_measure(app, home):
            return
        at = measured_tree_has_keyboard(window)
        if at is None:
            fault("a folder chosen by " + by + " left the keyboard on "
                  + describe(keyboard(window)) + ", not in the measured tree")
            continue
        before = (at.name, at.getRoleName())
        key("Down")
        after = keyboard(window)
        if after is None or (after.name, after.getRoleName()) == before \
                or not measured_tree_has_keyboard(window):
            fault("after a folder chosen by " + by + ", Down did not move in the tree: "
                  + describe(after))


def check_popover_rescan(app):
    """Rescan pressed with Space in the popover, with nothing to clean: once the scan is over
    the keyboard rests on a control that shows its ring (Rescan), not on Quick Clean's."""
    key("ctrl+shift+c")
    window = wait_for(lambda: next((app.getChildAtIndex(i) for i in range(1, app.childCount)
                                    if app.getChildAtIndex(i) is not None and
                                    pyatspi.STATE_SHOWING in states(app.getChildAtIndex(i))),
                                   None), 10)
    if window is None:
        fault("Ctrl+Shift+C showed no popover")
        return
    if tab_to(window, lambda n: n.name == "Rescan", 10) is None:
        fault("Tab never reached the popover's Rescan")
        key("Escape")
        return
    key("space")
    rest = keyboard_settles_on(window, lambda n: n.getRoleName() == "push button"
                               and pyatspi.STATE_ENABLED in states(n), 30)
    if rest is None:
        fault("after Rescan the popover's keyboard rests on " + describe(keyboard(window))
              + ", on no control that shows its ring")
    elif rest.name == "Quit":
        fault("after Rescan the popover's keyboard is on Quit")
    key("Escape")


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
            check_settings_lists(app, home)
            check_exclude_from_menu(app)
            check_home_excluded(app)
            check_details_card(app)
            check_folder_scanner(app, home)
            check_popover_rescan(app)
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

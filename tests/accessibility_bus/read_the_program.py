"""Reads the program over the desktop's accessibility bus as a screen reader does, and drives it
from the keyboard and the mouse as a new user does, on a display with a window manager: the
rail's page tabs and the headings, plain descriptions, an item row with its check box's name and
state ticked by Space, and the tray's popover opened by its shortcut, walked with Tab and closed
by Escape. Then, reading after each step which element has the keyboard: Include and Remove in
Settings, Exclude from a row's menu and Include on the Home page, a row opening its details, a
folder chosen from the folder scanner's sidebar by mouse and by keyboard, and the popover's
Rescan. Runs inside a session bus of its own with DISPLAY set (run.sh). Prints every fault it
finds and exits 1 when there is one."""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import uuid

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


def filled(folder, size):
    """A folder holding one file of `size` random bytes."""
    os.makedirs(folder)
    with open(os.path.join(folder, "files.bin"), "wb") as out:
        out.write(os.urandom(size))
    return folder


def made_long_ago(top):
    """Everything under `top` last modified 30 days ago: safe items old enough to be ticked by
    Quick Clean."""
    then = time.time() - 30 * 86400
    for folder, names, files in os.walk(top):
        for name in names + files:
            os.utime(os.path.join(folder, name), (then, then), follow_symlinks=False)


def fake_home(writable=False):
    """The home the program is given. The read-only program's holds two excluded caches, two
    custom paths and three cleanups in its history; the writable program's one custom path, alone
    in its group, and old caches that Quick Clean takes."""
    home = tempfile.mkdtemp(prefix="hl-bus-")
    at = lambda relative: os.path.join(home, relative)
    filled(at(os.path.join(".gradle", "caches", "modules-2")), 300_000)
    for relative, size in ((".cargo/registry/cache", 250_000), (".cache/pre-commit", 200_000),
                           (".composer/cache", 150_000)):
        filled(at(relative), size)
    if writable:
        excluded = []
        custom = [filled(at("custom/only"), 90_000)]
        for name, size in (("big", 70_000), ("middle", 60_000), ("small", 50_000)):
            filled(at(os.path.join("measure", name)), size)
        made_long_ago(home)
    else:
        excluded = [filled(at(".npm/_cacache"), 120_000), filled(at(".cache/uv"), 110_000)]
        custom = [filled(at("custom/first"), 90_000), filled(at("custom/second"), 80_000)]
        for name in ("one", "two"):
            filled(at(os.path.join("measure", name)), 50_000)
    config = os.path.join(home, ".config")
    os.makedirs(os.path.join(config, "Harborlume"))
    with open(os.path.join(config, "Harborlume", "Harborlume.conf"), "w") as out:
        out.write("[General]\nexcludedPaths=%s\nextraPaths=%s\n"
                  % (", ".join(excluded), ", ".join(custom)))
    if not writable:
        history = os.path.join(home, ".local", "share", "Harborlume")
        os.makedirs(history)
        with open(os.path.join(history, "history.json"), "w") as out:
            json.dump([{"id": str(uuid.uuid4()).upper(), "operationID": str(uuid.uuid4()).upper(),
                        "date": "2026-11-0%dT10:00:00Z" % day, "category": category,
                        "itemPaths": [at("gone%d" % day)], "bytesFreed": 1000 * day,
                        "failures": [], "trigger": "Home", "permanent": False}
                       for day, category in ((1, "Package caches"), (2, "Projects"),
                                             (3, "Build & dev tools"))], out)
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
    for node in shown(window):
        for text in (node.name or "", node.description or ""):
            if MARKUP.search(text):
                fault("markup read out in the popover: " + repr(text))
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
        return
    key("space")
    if keyboard_settles_on(window, lambda n: n.name == "Add Folder\u2026") is None:
        fault("after Remove on the only custom path the keyboard is on "
              + describe(keyboard(window)) + ", not on Add Folder\u2026")


def item_rows(window):
    """The Home table's rows: named as their check box, or described as not ticked."""
    window.clear_cache()
    return [n for n in shown(window)
            if n.getRoleName() == "list item" and ((n.name or "").startswith("Include ")
                                                   or (n.description or "").startswith(
                                                       "Not ticked"))]


def check_exclude_from_menu(app, menu_key):
    """Exclude from a row's context menu, opened by the Menu key or Shift+F10, leaves the
    keyboard on the row that took its place."""
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
    key(menu_key)
    exclude_from_open_menu(False)
    if wait_for(lambda: None if excluded in [(r.name, r.description) for r in item_rows(window)]
                else True, 10) is None:
        fault("Exclude from the row's menu (" + menu_key + ") left the row "
              + repr(excluded[0]) + " listed")
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
    # Down to the last row: each Include leaves the keyboard on the next row's.
    for _ in range(5):
        window.clear_cache()
        if len([n for n in shown(window) if n.name == "Include"]) <= 1:
            break
        key("space")
        time.sleep(0.5)
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
    # Back to Items by the keyboard: the keyboard goes to the item's row, not to another panel.
    clicked = place(rows[-1])
    if tab_to(window, named("Back to Items"), 20) is None:
        fault("Tab never reached Back to Items")
        return
    key("space")
    expect_keyboard(window, row_at(clicked), "Back to Items from " + repr(clicked) + "'s card")


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



# --- Where the keyboard lands: one table of sequences ------------------------------------------
#
# After an action the keyboard stays on the control used; when that control goes away or turns
# off, it goes to the nearest sensible control of the same area: never to another panel, never to
# a list's first row, never nowhere. A row of tabs is one stop for Tab. Each sequence below is
# what a user does, read back over the bus; the read-only program runs the first ones, a
# program that removes (from its own fake home and Trash) the rest.


def expect_keyboard(window, wanted, what, seconds=10):
    """Faults with `what` unless the keyboard comes to rest on an element `wanted` accepts."""
    if keyboard_settles_on(window, wanted, seconds) is None:
        fault(what + ": the keyboard is on " + describe(keyboard(window)))
        return False
    return True


def other_window(app, button, seconds=10):
    """A shown window of the program besides the main one (a sheet, an alert, the popover, the
    folder chooser) holding a push button named `button`."""
    def found():
        for i in range(1, app.childCount):
            child = app.getChildAtIndex(i)
            if child is not None and pyatspi.STATE_SHOWING in states(child) \
                    and find(child, button, "push button") is not None:
                return child
        return None
    return wait_for(found, seconds)


def gone(window, seconds=10):
    def hidden():
        try:
            window.clear_cache()
            return None if pyatspi.STATE_SHOWING in states(window) else True
        except Exception:  # the window's element went with it
            return True
    return wait_for(hidden, seconds) is not None


def armed(sheet):
    """Waits until the sheet's confirm button is armed, a second after it shows: read over the
    bus, not guessed, on a busy machine."""
    return wait_for(lambda: next((n for n in shown(sheet) if n.getRoleName() == "push button"
                                  and (n.name or "").startswith(("Move ", "Delete "))
                                  and pyatspi.STATE_ENABLED in states(n)), None), 20) is not None


def confirm_and_read_the_alert(app, what, before=None, close="Return"):
    """In the open sheet: `before` runs, the confirm button arms, Return confirms from the list of
    rows, and the alert that tells the result is closed by `close` (Return on its OK, or Escape).
    False when no alert came."""
    if before is not None:
        before()
    sheet = other_window(app, "Cancel")
    if sheet is None or not armed(sheet):
        fault("the sheet's confirm button never armed for " + what)
        return False
    key("Return")
    alert = other_window(app, "OK", 30)
    if alert is None:
        fault("no alert after " + what)
        return False
    key(close)
    if not gone(alert):
        fault(close + " did not close the alert after " + what)
        return False
    return True


def made_again(folder):
    """Replaces `folder` by a new one of the same name: a removal confirmed after it was shown
    skips it and says so."""
    return lambda: (shutil.rmtree(folder), filled(folder, 10_000))


def exclude_from_open_menu(writable):
    """In a row's open context menu (not on the bus), chooses "Exclude": Up from the top lands
    on the last entry that is on, the removal when the program may remove, else Exclude."""
    if writable:
        key("Up")
    key("Up")
    key("Return")


def named(name):
    return lambda n: n.name == name


def place(row):
    """Where an item row's item lies: the last part of its description (two caches may share a
    name)."""
    return (row.description or "").rsplit(", ", 1)[-1]


def row_at(where):
    return lambda n: n.getRoleName() == "list item" and place(n) == where


def tree_row(name):
    return lambda n: n.getRoleName() in ("tree item", "table cell") \
        and (n.name or "").startswith(name + ", ")


def keyboard_to_row(window, items, wanted, presses=12):
    """Tabs into the list `items` and moves down from its top to the row `wanted` accepts; that
    row or None."""
    if not tab_into(items):
        return None
    key("Home")
    for _ in range(presses):
        at = keyboard(window)
        if at is not None and at.getRoleName() == "list item" and wanted(at):
            return at
        key("Down")
    return None


def click_group(window, title):
    """Clicks the Home sidebar's row of the group `title`; False when there is none."""
    group = wait_for(lambda: next((n for n in shown(window) if n.getRoleName() == "page tab"
                                   and (n.name or "").startswith(title + ", ")), None), 30)
    if group is None:
        fault("no " + title + " group row")
        return False
    click(group)
    return True


def right_click_exclude(app, home):
    """Home, a table nobody has clicked yet: a right click on the fourth row and Exclude leave
    the keyboard on the row that took its place."""
    window = app.getChildAtIndex(0)
    rows = wait_for(lambda: item_rows(window) if len(item_rows(window)) >= 5 else None, 60)
    if rows is None:
        fault("fewer than five item rows for a right click")
        return
    target, after = place(rows[3]), place(rows[4])
    click(rows[3], button=3)
    exclude_from_open_menu(True)
    if wait_for(lambda: None if target in [place(r) for r in item_rows(window)] else True,
                10) is None:
        fault("Exclude after a right click left " + repr(target) + " listed")
        return
    expect_keyboard(window, row_at(after), "after a right click's Exclude on " + repr(target))


def tab_lists(app, home):
    """A row of tabs is one stop: Tab from a clicked group leaves the sidebar's groups, Tab from
    the rail leaves the rail; Shift+Tab comes back to the chosen tab; the arrows move along."""
    window = app.getChildAtIndex(0)
    rail = ("Home", "Folder Scanner", "Activity", "History", "Settings")
    if not click_group(window, "Package caches"):
        return
    key("Tab")
    if not expect_keyboard(window, lambda n: not (n.getRoleName() == "page tab" and ", " in
                                                  (n.name or "")),
                           "Tab from a clicked group went on to another group"):
        return
    key("shift+Tab")
    expect_keyboard(window, lambda n: (n.name or "").startswith("Package caches, "),
                    "Shift+Tab back into the groups")
    if not click_named(window, "Home", "page tab"):
        return
    key("Tab")
    expect_keyboard(window, lambda n: n.name not in rail, "Tab from the rail's Home went on "
                    "along the rail")
    key("shift+Tab")
    if expect_keyboard(window, named("Home"), "Shift+Tab back into the rail"):
        key("Down")
        expect_keyboard(window, lambda n: n.name == "Folder Scanner"
                        and pyatspi.STATE_SELECTED in states(n), "Down on the rail's Home")
        key("Up")
        expect_keyboard(window, lambda n: n.name == "Home"
                        and pyatspi.STATE_SELECTED in states(n), "Up back to Home")
    chosen_by_the_program(app, home)


def chosen_by_the_program(app, home):
    """A row of tabs keeps its one stop, the chosen one, when the program chooses: "Stale"
    clicked, a click on the right panel's recent project turns the filter to "All", and Tab from
    the Items tab stops on "All"."""
    window = app.getChildAtIndex(0)
    project = os.path.join(home, "code", "site")
    filled(os.path.join(project, "node_modules"), 400_000)
    open(os.path.join(project, "package.json"), "w").close()
    key("ctrl+r")

    def recent():
        return next((n for n in shown(window) if n.getRoleName() == "push button"
                     and (n.name or "").startswith("node_modules, Projects, ")), None)

    if wait_for(recent, 60) is None:
        fault("the right panel's largest items never showed the recent project")
        return
    if not (click_group(window, "Projects") and click_named(window, "Stale", "page tab")):
        return
    click(wait_for(recent, 10))
    if wait_for(lambda: True if pyatspi.STATE_SELECTED in states(find(window, "All", "page tab"))
                else None, 10) is None:
        fault("a click on the recent project left the filter on Stale")
        return
    if not click_named(window, "Items", "page tab"):
        return
    key("Tab")
    if expect_keyboard(window, lambda n: n.name == "All" and n.getRoleName() == "page tab",
                       "Tab from Items after the program chose All"):
        key("shift+Tab")
        expect_keyboard(window, named("Items"), "Shift+Tab from All")


def history_first_visit(app, home):
    """History, first visit: Tab puts the keyboard on the list of cleanups with no entry read as
    chosen; the first Down chooses the newest entry, the next one moves on."""
    window = app.getChildAtIndex(0)
    if not click_named(window, "History", "page tab"):
        return
    key("Tab")
    if not expect_keyboard(window, lambda n: n.getRoleName() == "list" and n.name == "Cleanups",
                           "Tab into the History page"):
        return
    key("Down")
    if expect_keyboard(window, lambda n: (n.name or "").startswith("Build & dev tools"),
                       "the first Down in the cleanups"):
        key("Down")
        expect_keyboard(window, lambda n: (n.name or "").startswith("Projects"),
                        "the second Down in the cleanups")
    click_named(window, "Home", "page tab")


def ticked_and_asked(app, window, wanted_row):
    """Ticks the row `wanted_row` accepts and presses "Move to Trash": the row's name, the names
    of the rows then, and the sheet; None when it went wrong (a fault is told)."""
    rows = wait_for(lambda: item_rows(window) or None, 30)
    if rows is None:
        fault("no item rows to remove")
        return None
    row = keyboard_to_row(window, rows[0].parent, wanted_row)
    if row is None:
        fault("the keyboard never came to the row to remove")
        return None
    names = [place(r) for r in item_rows(window)]
    if (row.description or "").startswith("Not ticked"):
        key("space")
    if tab_to(window, lambda n: n.name == "Move to Trash" and n.getRoleName() == "push button"
              and pyatspi.STATE_ENABLED in states(n)) is None:
        fault("Tab never reached an enabled Move to Trash")
        return None
    key("space")
    sheet = other_window(app, "Cancel")
    if sheet is None:
        fault("Move to Trash opened no sheet")
        return None
    return place(row), names, sheet


def home_sheet_and_alerts(app, home):
    window = app.getChildAtIndex(0)
    gradle = lambda n: place(n).startswith("~/.gradle")
    # Escape, then Cancel pressed by Return: back to the footer's button, nothing removed.
    for how in ("Escape", "Return on Cancel"):
        asked = ticked_and_asked(app, window, gradle)
        if asked is None:
            return
        name, names, sheet = asked
        expect_keyboard(sheet, named("Items"), "the sheet opened")
        if how == "Escape":
            key("Escape")
        else:
            if not armed(sheet):  # armed: Return would confirm anywhere but on Cancel
                fault("the sheet's confirm button never armed")
                return
            if tab_to(sheet, named("Cancel"), 8) is None:
                fault("Tab never reached the sheet's Cancel")
                return
            key("Return")
        if not gone(sheet):
            fault(how + " did not close the sheet")
            return
        if name not in [place(r) for r in item_rows(window)]:
            fault(how + " in the sheet removed " + repr(name))
        expect_keyboard(window, named("Move to Trash"), "the sheet closed by " + how)

    # Confirmed: OK on "Cleanup finished" leaves the keyboard on the row that took its place.
    asked = ticked_and_asked(app, window, gradle)
    if asked is None:
        return
    name, names, sheet = asked
    at = names.index(name)
    after = names[at + 1] if at + 1 < len(names) else names[at - 1]
    if not confirm_and_read_the_alert(app, "the removal"):
        return
    expect_keyboard(window, row_at(after), "OK on Cleanup finished after removing "
                    + repr(name))

    # A removal that fails: its alert closed by Escape leaves the keyboard on Move to Trash,
    # still on.
    pre_commit = os.path.join(home, ".cache", "pre-commit")
    asked = ticked_and_asked(app, window, lambda n: place(n) == "~/.cache/pre-commit")
    if asked is None:
        return
    if not confirm_and_read_the_alert(app, "a removal that failed", made_again(pre_commit),
                                      "Escape"):
        return
    expect_keyboard(window, lambda n: n.name == "Move to Trash"
                    and pyatspi.STATE_ENABLED in states(n), "OK on an alert of failures")


def exclude_the_last_row(app, home):
    """Home: Exclude, by Shift+F10, of the only row of a group leaves the keyboard on the empty
    state's Rescan."""
    window = app.getChildAtIndex(0)
    if not click_group(window, "Custom paths"):
        return
    rows = wait_for(lambda: item_rows(window) if len(item_rows(window)) == 1 else None, 10)
    if rows is None:
        fault("Custom paths does not hold exactly one row")
        return
    if not tab_into(rows[0].parent):
        return
    key("shift+F10")
    exclude_from_open_menu(True)
    expect_keyboard(window, lambda n: n.name == "Rescan" and n.description == "Rescans the caches",
                    "Exclude of the last row left")
    click_named(window, "All reclaimable", None)


def popover_quick_clean(app, home):
    """The popover: Quick Clean, its second step, then OK leave the keyboard on Rescan."""
    key("ctrl+shift+c")
    popover = other_window(app, "Quit")
    if popover is None:
        fault("Ctrl+Shift+C showed no popover")
        return
    if not expect_keyboard(popover, lambda n: (n.name or "").startswith("Quick Clean ("),
                           "the popover opened"):
        key("Escape")
        return
    key("space")
    time.sleep(1.5)
    if not expect_keyboard(popover, lambda n: n.getRoleName() == "push button"
                           and pyatspi.STATE_ENABLED in states(n) and n.name != "Quit",
                           "Quick Clean's second step"):
        key("Escape")
        return
    key("space")
    if expect_keyboard(popover, named("OK"), "Quick Clean done", 30):
        key("space")
        expect_keyboard(popover, named("Rescan"), "OK after Quick Clean")
    key("Escape")


def scanner_sequences(app, home):
    window = app.getChildAtIndex(0)
    if not (click_named(window, "Folder Scanner", "page tab")
            and click_named(window, "Choose Folder\u2026", "push button")
            and choose_measure(app, home)):
        return
    if measured_tree_has_keyboard(window) is None:
        fault("the measured folder's tree never took the keyboard")
        return
    # Select All and Deselect All hand the keyboard to each other as they turn off.
    if tab_to(window, named("Select All")) is None:
        fault("Tab never reached Select All")
        return
    key("space")
    expect_keyboard(window, named("Deselect All"), "Select All turned itself off")
    key("space")
    expect_keyboard(window, named("Select All"), "Deselect All turned itself off")

    def in_tree(node):
        while node is not None:
            if node.getRoleName() in ("tree", "tree table") and node.name == "measure":
                return True
            node = node.parent
        return False

    def keyboard_to_tree_row(name):
        if tab_to(window, in_tree, 20) is None:
            fault("Tab never reached the measured tree")
            return False
        key("Home")
        for _ in range(5):
            at = keyboard(window)
            if at is not None and tree_row(name)(at):
                return True
            key("Down")
        fault("the keyboard never came to the tree row " + repr(name))
        return False

    # Shift+F10 opens the tree row's menu: its removal opens the sheet on its list of rows;
    # Escape gives the keyboard back to the tree.
    if not keyboard_to_tree_row("small"):
        return
    key("shift+F10")
    key("Up")
    key("Return")
    sheet = other_window(app, "Cancel")
    if sheet is None:
        fault("Shift+F10 and the menu's removal opened no sheet in the folder scanner")
        return
    expect_keyboard(sheet, named("Items"), "the folder scanner's sheet opened")
    key("Escape")
    gone(sheet)
    expect_keyboard(window, tree_row("small"), "the folder scanner's sheet closed by Escape")

    def remove_from_the_sidebar(what, before=None, close="Return"):
        # The menu's removal chose the row already; Space would take it out again.
        at = keyboard(window)
        if at is not None and pyatspi.STATE_SELECTED not in states(at):
            key("space")
        if tab_to(window, lambda n: n.name == "Move Selected to Trash\u2026"
                  and pyatspi.STATE_ENABLED in states(n)) is None:
            fault("Tab never reached Move Selected to Trash\u2026 for " + what)
            return False
        key("space")
        if other_window(app, "Cancel") is None:
            fault("Move Selected to Trash\u2026 opened no sheet for " + what)
            return False
        return confirm_and_read_the_alert(app, what, before, close)

    # Removed from the sidebar's button: OK leaves the keyboard on the removed row's neighbour.
    if not remove_from_the_sidebar("the folder scanner's removal"):
        return
    expect_keyboard(window, tree_row("middle"), "OK after the folder scanner removed 'small'")
    # A removal that fails: its alert closed by Escape leaves the keyboard on Move Selected to
    # Trash…, still on.
    if not remove_from_the_sidebar("the folder scanner's removal that failed",
                                   made_again(os.path.join(home, "measure", "middle")),
                                   "Escape"):
        return
    expect_keyboard(window, lambda n: n.name == "Move Selected to Trash\u2026"
                    and pyatspi.STATE_ENABLED in states(n),
                    "OK on the folder scanner's alert of failures")


READ_ONLY_SEQUENCES = [tab_lists, history_first_visit]
WRITABLE_SEQUENCES = [right_click_exclude, home_sheet_and_alerts, exclude_the_last_row, popover_quick_clean,
                      scanner_sequences]

def the_program():
    for app in pyatspi.Registry.getDesktop(0):
        if app is None or app.name != "Harborlume":
            continue
        # Found before its window was made, the program's element may be kept with no
        # children: read it afresh each time.
        app.clear_cache()
        if app.childCount > 0:
            return app
    return None


def run_program(program, writable, checks):
    """Starts the program over a fake home of its own, runs the checks on it, ends it. The
    read-only program never removes anything, whatever a key press does; the writable one moves
    only its own fake home's caches into that home's Trash."""
    home, folders = fake_home(writable)
    environment = dict(os.environ, **folders, QT_QPA_PLATFORM="xcb",
                       QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    # What the program says goes to a file, shown when it never appears.
    said = open(os.path.join(home, "program-output.txt"), "w+")
    arguments = [program] if writable else [program, "-HLMReadOnly"]
    process = subprocess.Popen(arguments, env=environment, stdout=said, stderr=subprocess.STDOUT)
    try:
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
            for check in checks:
                print("- " + check.__name__, flush=True)
                check(app, home)
    finally:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        said.close()
        shutil.rmtree(home, ignore_errors=True)
        # The program's element leaves the bus with it before the next one starts.
        wait_for(lambda: None if the_program() else True, 20)


def main():
    program = sys.argv[1]
    # The accessibility bus and its registry are started on demand; a program that asks for the
    # bus while it is still starting (a machine busy with a whole test run) may never join it.
    # Reading the desktop once first has them running before the program starts.
    if wait_for(lambda: pyatspi.Registry.getDesktop(0), 60) is None:
        fault("the accessibility registry did not start")
    run_program(program, False, [
        lambda app, home: check_rows(app),
        lambda app, home: check_window(app),
        lambda app, home: check_popover(app),
        check_settings_lists,
        lambda app, home: check_exclude_from_menu(app, "Menu"),
        lambda app, home: check_exclude_from_menu(app, "shift+F10"),
        lambda app, home: check_home_excluded(app),
        lambda app, home: check_details_card(app),
        check_folder_scanner,
        lambda app, home: check_popover_rescan(app)] + READ_ONLY_SEQUENCES)
    run_program(program, True, WRITABLE_SEQUENCES)
    print("%d fault(s)" % len(faults))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

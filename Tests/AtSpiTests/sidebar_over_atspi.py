#!/usr/bin/python3
"""Reads and drives Vorn as a screen-reader user does, over AT-SPI, on a private desktop.

Starts Xvfb split into two monitors, openbox, a system tray, four xterms and `vorn` with a data
directory of its own, turns the accessibility bus on as a screen reader would, and then, with
keys sent by xdotool and actions called over the bus:

- the display chooser: a dialog with the keyboard on its first display;
- the tree: the window's name, one list per section in screen order after focus changes and
  after the other windows are collapsed and expanded, the rows' names, descriptions, states and
  actions, the collapse control's states, the checked-state events of the row that becomes
  active and of the one that stops being, and no name or description events without a change;
- the keyboard route: a second start focuses the active row; arrows, Return, Menu and Escape do
  what the README's table says; menus opening tell of no window activation; pinning keeps the
  focus on the row;
- with the tray running, the header menu, from the keyboard and over the bus, as the route to
  Settings (a dialog with the keyboard on the placement that is set, in a named group) and to
  Quit; the space switcher's and "Move to Display"'s current entry checked; the space name field
  named;
- the rebind picker: a dialog with the keyboard on its first window and only named Tab stops;
- a start on one display, where nothing moves the focus: the row of the window that has the
  keyboard is checked from the start.

Run it on a private session bus: dbus-run-session -- /usr/bin/python3 sidebar_over_atspi.py VORN
Everything it starts is stopped again by process id.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

import pyatspi  # noqa: E402

LIMIT = 20.0  # seconds any one condition may take to come true
SECTIONS = ["Pinned", "Recent", "Other Windows"]
SHELLS = ["Shell One", "Shell Two", "Shell Three", "Shell Four"]
# Qt's accessibility bridge holds a copy of every key event until the registry has seen it; one
# still held when the program quits is never freed. Only a build with the sanitizers reads this;
# the suppression needs whole stacks, through Qt's frames.
LSAN_OPTIONS = ":".join(filter(None, [
    os.environ.get("LSAN_OPTIONS"), "fast_unwind_on_malloc=0",
    "suppressions=" + os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                   "lsan-suppressions.txt")]))


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def pump():
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def wait_for(condition, what):
    """Polls the condition (pumping AT-SPI events meanwhile) until it holds or LIMIT passes.
    `what` names it, or says it when called at the end."""
    deadline = time.monotonic() + LIMIT
    while True:
        pump()
        try:
            result = condition()
        except GLib.Error:  # an object went away while it was read: the tree is changing
            result = None
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + (what() if callable(what) else what))
        time.sleep(0.05)


class Desktop:
    """The processes of the private desktop, stopped by process id."""

    def __init__(self, directory):
        self.directory = directory
        self.processes = []
        self.environment = dict(os.environ)

    def start(self, argv, **extra):
        environment = dict(self.environment)
        environment.update(extra)
        log = open(self.log_path(argv[0]), "ab")
        process = subprocess.Popen(argv, env=environment, stdout=log, stderr=log,
                                   stdin=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def log_path(self, program):
        return os.path.join(self.directory, os.path.basename(program) + ".log")

    def run(self, argv, timeout=10, **extra):
        environment = dict(self.environment)
        environment.update(extra)
        return subprocess.run(argv, env=environment, capture_output=True, text=True,
                              timeout=timeout).stdout

    def key(self, *keys):
        self.run(["xdotool", "key"] + list(keys))

    def start_server(self):
        read, write = os.pipe()
        server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0",
                                   "1920x1080x24", "-nolisten", "tcp", "-noreset"],
                                  pass_fds=(write,), stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        self.processes.append(server)
        os.close(write)
        with os.fdopen(read) as answer:
            number = answer.readline().strip()
        check(number.isdigit(), "Xvfb did not report its display")
        self.environment["DISPLAY"] = ":" + number
        # Two displays, so that the chooser asks and "Move to Display" has a target.
        self.run(["xrandr", "--setmonitor", "L", "960/254x1080/286+0+0", "none"])
        self.run(["xrandr", "--setmonitor", "R", "960/254x1080/286+960+0", "screen"])

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=2)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()

    def stop_one(self, process):
        process.terminate()
        process.wait(timeout=5)

    def active_window_name(self):
        return self.run(["xdotool", "getactivewindow", "getwindowname"]).strip()


def enable_accessibility(runtime):
    """What a screen reader does on start: asks toolkits to export their trees. The
    accessibility bus is started with its socket in `runtime`: its default place is the same
    for every session of the user, and runs side by side would take each other's bus."""
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                  "UpdateActivationEnvironment",
                  GLib.Variant("(a{ss})", ({"XDG_RUNTIME_DIR": runtime},)),
                  None, Gio.DBusCallFlags.NONE, -1, None)
    bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
                  GLib.Variant("(ssv)", ("org.a11y.Status", "IsEnabled",
                                         GLib.Variant("b", True))),
                  None, Gio.DBusCallFlags.NONE, -1, None)


def children(node):
    node.clear_cache()
    return [child for child in node if child is not None]


def walk(node):
    yield node
    for child in children(node):
        yield from walk(child)


def states(node):
    return {pyatspi.stateToString(state) for state in node.getState().getStates()}


def action_names(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def do_action(node, name):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) == name:
            action.doAction(i)
            return
    raise Failure("no action %r on %r" % (name, node.name))


def top(node):
    return node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).y


def closed(node):
    try:
        return "showing" not in states(node)
    except GLib.Error:  # gone
        return True


def find(node, role, name):
    return next((n for n in walk(node) if n.getRoleName() == role and n.name == name), None)


class Events:
    """What a screen reader hears, as (type, role, name, detail) in the order sent."""

    TYPES = ["focus:", "window:activate", "window:deactivate", "object:state-changed:checked",
             "object:state-changed:showing",
             "object:property-change:accessible-name",
             "object:property-change:accessible-description"]

    def __init__(self):
        self.heard = []
        self.focused = None
        self.popup = None
        for kind in self.TYPES:
            pyatspi.Registry.registerEventListener(self.hear, kind)

    def hear(self, event):
        try:
            who = (event.source.getRoleName(), event.source.name)
        except Exception:  # gone meanwhile
            who = ("", "")
        self.heard.append((event.type, who[0], who[1], event.detail1))
        if event.type == "focus:":
            self.focused = event.source
        elif who[0] == "popup menu" and event.detail1 == 1:
            self.popup = event.source

    def take(self):
        """The events heard since the last take."""
        pump()
        taken, self.heard = self.heard, []
        return taken

    def of(self, kind):
        return [(role, name, detail) for type_, role, name, detail in self.heard
                if type_ == kind]

    def focus(self):
        """What last took the focus, as (role, name)."""
        focused = [(role, name) for role, name, _ in self.of("focus:")]
        return focused[-1] if focused else None


class Vorn:
    """The running program and its windows on the accessibility bus."""

    def __init__(self, desktop, events, program, data):
        self.desktop, self.events, self.program, self.data = desktop, events, program, data
        self.process = desktop.start([program], VORN_DATA_DIR=data, LSAN_OPTIONS=LSAN_OPTIONS)
        self.sections = []

    def windows(self):
        for app in children(pyatspi.Registry.getDesktop(0)):
            try:
                if app.get_process_id() == self.process.pid:
                    return children(app)
            except GLib.Error:
                continue
        return []

    def window(self, role="frame", name="Vorn"):
        for window in self.windows():
            try:
                if (window.getRoleName(), window.name) == (role, name) and "showing" in states(
                        window):
                    return window
            except GLib.Error:  # closed meanwhile
                continue
        return None

    def menu(self):
        """The items of the open menu that has the focus. Menus are not among the application's
        windows on the bus; they are found through their focused item."""
        try:
            item = self.events.focused
            menu = item.parent if item and item.getRoleName() == "menu item" else None
            if menu is None or "showing" not in states(menu):
                return []
            return [child for child in children(menu) if child.getRoleName() != "separator"]
        except GLib.Error:  # closed and gone
            return []

    def checked_items(self):
        """The focused menu's items, each with whether it is checked."""
        return {item.name: "checked" in states(item) for item in self.menu()}

    def lists(self):
        """The sections' lists in tree order: [(name, [rows])]. The lists stay while the panel
        does, so they are looked for once: walking the whole tree on every poll is slow."""
        if not self.sections:
            window = self.window()
            if window is None:
                return []
            self.sections = [node for node in walk(window) if node.getRoleName() == "list"]
        return [(node.name, [row for row in children(node) if row.getRoleName() == "list item"])
                for node in self.sections]

    def rows(self):
        """Each shown section's name and its rows' names, as a screen reader reads them."""
        return {name: [row.name for row in rows] for name, rows in self.lists()}

    def row(self, title):
        for _, rows in self.lists():
            for row in rows:
                if row.name == title:
                    return row
        raise Failure("no row %r" % title)

    def await_focus(self, role, name):
        wait_for(lambda: self.events.focus() == (role, name),
                 lambda: "the focus on %s %r (it is on %r)" % (role, name, self.events.focus()))

    def press(self, key, role, name):
        """Presses the key and waits for the focus to reach the object."""
        self.desktop.key(key)
        self.await_focus(role, name)

    def press_until(self, key, role, name):
        """Presses the key, as often as it takes, until the object has the focus."""
        for _ in range(12):
            if self.events.focus() == (role, name):
                return
            count = len(self.events.of("focus:"))
            self.desktop.key(key)
            wait_for(lambda: len(self.events.of("focus:")) > count,
                     "the focus to move on %s toward %s %r" % (key, role, name))
        raise Failure("%s never reached %s %r" % (key, role, name))

    def active_row(self):
        """The checked row's title, else the first row's."""
        rows = [row for _, rows in self.lists() for row in rows]
        checked = [row.name for row in rows if "checked" in states(row)]
        return checked[0] if checked else rows[0].name

    def start_again(self):
        """A second start: the running program gives its sidebar the keyboard on the active
        row."""
        row = self.active_row()
        # A bound, not a wait: a start under the sanitizers on a busy machine is slow.
        self.desktop.run([self.program], timeout=3 * LIMIT, VORN_DATA_DIR=self.data)
        self.await_focus("list item", row)
        # The row may be told focused before the window manager has given the panel the
        # keyboard; a key pressed meanwhile would go to the window that still has it.
        wait_for(lambda: self.desktop.active_window_name() == "Vorn", "the panel active")
        return row

    def log(self):
        with open(self.desktop.log_path(self.program)) as file:
            return file.read()


def check_tree(vorn):
    window = vorn.window()
    check(window is not None, "no window named Vorn")
    lists = vorn.lists()
    check([name for name, _ in lists] == SECTIONS,
          "the sections are %r" % [name for name, _ in lists])
    # Rows in the tree's order are the rows from the top of the screen down.
    shown = [row for _, rows in lists for row in rows if "showing" in states(row)]
    tops = [top(row) for row in shown]
    check(tops == sorted(tops), "the rows are not in screen order: %r" % [r.name for r in shown])
    lists_shown = [node for node in walk(window)
                   if node.getRoleName() == "list" and "showing" in states(node)]
    list_tops = [top(node) for node in lists_shown]
    check(list_tops == sorted(list_tops), "the sections are not in screen order")
    for node in walk(window):
        check(not node.name.startswith("vorn."), "an identifier as a name: %r" % node.name)
    checked = [row.name for row in shown if "checked" in states(row)]
    check(len(checked) <= 1, "more than one active row: %r" % checked)
    for row in shown:
        check("Press" in action_names(row), "row %r cannot be pressed" % row.name)


def state_tabs(data):
    with open(os.path.join(data, "state.json")) as file:
        state = json.load(file)
    active = next(space for space in state["spaces"] if space["id"] == state["activeSpaceId"])
    return {tab["lastTitle"]: ("recent" if "claimExpiresAt" in tab else "pinned")
            for tab in active["tabs"]}


def toggle(vorn):
    window = vorn.window()
    return (find(window, "push button", "Collapse Ambient")
            or find(window, "push button", "Expand Ambient"))


def choose_display(vorn):
    """The chooser asks first: a dialog with the keyboard on its first display."""
    wait_for(lambda: vorn.window("dialog", "Choose a display for Vorn"), "the display chooser")
    vorn.await_focus("push button", "L (Main)")
    vorn.desktop.key("Return")
    wait_for(lambda: sorted(vorn.rows().get("Other Windows", [])) == sorted(SHELLS),
             "the xterms' rows")


def check_rows_and_order(vorn, events):
    check_tree(vorn)
    check(vorn.rows()["Pinned"] == [] and vorn.rows()["Recent"] == [],
          "rows where none belong: %r" % vorn.rows())
    one = vorn.row("Shell One")
    check(one.description == "XTerm, other window", "description %r" % one.description)
    check(action_names(one) == ["Press", "Pin"], "actions %r" % action_names(one))
    check({"expandable", "expanded", "checked"} <= states(toggle(vorn)),
          "toggle states %r" % states(toggle(vorn)))

    # Focus moves elsewhere: the list follows the most recently used windows, in the tree as on
    # the screen. Activated in the order built, they end up listed the other way round.
    created = vorn.rows()["Other Windows"]
    events.take()
    for count, title in enumerate(created, 1):
        before = [row.name for _, rows in vorn.lists() for row in rows
                  if "checked" in states(row)]
        vorn.desktop.run(["wmctrl", "-a", title])
        if title not in before:
            wait_for(lambda: ("list item", title, 1) in events.of("object:state-changed:checked"),
                     "%s told checked" % title)
        for name in set(before) - {title}:
            wait_for(lambda: ("list item", name, 0) in events.of("object:state-changed:checked"),
                     "%s told no longer checked" % name)
        wait_for(lambda: vorn.rows()["Other Windows"][:count] == created[count - 1::-1],
                 "the most recent first after %d activations" % count)
    check(vorn.rows()["Other Windows"] == created[::-1], "order %r" % vorn.rows())
    check_tree(vorn)
    # Refreshes re-set the header's name and the rows' descriptions, unchanged.
    noise = [e for e in events.take() if e[0].startswith("object:property-change")]
    check(not noise, "changes without a change: %r" % noise)

    # Collapsed, only the active window's row stays; expanded, the order is back. The checked
    # state follows expanded, since the bridge carries no change of the expanded state.
    for collapsed in (True, False):
        do_action(toggle(vorn), "Press")
        expected = created[:-2:-1] if collapsed else created[::-1]
        wait_for(lambda: vorn.rows()["Other Windows"] == expected,
                 "the other windows %r" % expected)
        wait_for(lambda: any(role == "push button" and detail == int(not collapsed)
                             for role, _, detail in events.of("object:state-changed:checked")),
                 "the collapse control's change told")
        check(("checked" in states(toggle(vorn))) != collapsed
              and ("expanded" in states(toggle(vorn))) != collapsed,
              "toggle states %r" % states(toggle(vorn)))
        check_tree(vorn)
        events.take()


def check_windows_told(events):
    """Since the last take: the panel was activated once and deactivated once, whatever menus
    opened over it meanwhile."""
    wait_for(lambda: events.of("window:deactivate"), "the panel deactivated")
    told = [(kind, name) for kind, _, name, _ in events.take() if kind.startswith("window:")]
    check(told == [("window:activate", "Vorn"), ("window:deactivate", "Vorn")],
          "window events %r" % told)


def drive_rows_by_keyboard(vorn, events):
    """Returns the title of the row it pinned, whose window is then active."""
    order = vorn.rows()["Other Windows"]
    active = vorn.desktop.active_window_name()
    check(active == order[0], "%r active, rows %r" % (active, order))
    events.take()
    vorn.start_again()
    for key, at in (("Down", 1), ("Up", 0), ("End", -1), ("Home", 0), ("Down", 1)):
        vorn.press(key, "list item", order[at])

    # Menu opens the row's menu on its first item; Escape closes it, the row keeps the keyboard.
    vorn.press("Menu", "menu item", "Pin")
    vorn.desktop.key("Escape")
    wait_for(lambda: not vorn.menu(), "the row's menu closed")
    vorn.press("Up", "list item", order[0])
    vorn.press("Down", "list item", order[1])

    # Return activates the row's window, which takes the keyboard.
    vorn.desktop.key("Return")
    wait_for(lambda: vorn.desktop.active_window_name() == order[1], "%s active" % order[1])
    wait_for(lambda: vorn.rows()["Recent"] == [order[1]], "the claimed row in Recent")
    check_windows_told(events)

    # Pin from the keyboard: the keyboard stays on the row, in its new place, and nowhere else
    # on the way. Escape then gives the keyboard back.
    vorn.start_again()
    vorn.press("Menu", "menu item", "Pin")
    vorn.desktop.key("Return")
    wait_for(lambda: vorn.rows()["Pinned"] == [order[1]], "the row pinned")
    vorn.await_focus("list item", order[1])
    stray = [(role, name) for role, name, _ in events.of("focus:")
             if role != "menu item" and name != order[1]]
    check(not stray, "the focus went to %r" % stray)
    vorn.desktop.key("Escape")
    wait_for(lambda: vorn.desktop.active_window_name() == order[1], "the keyboard given back")
    check_windows_told(events)
    return order[1]


def reach_settings_and_spaces(vorn, events, pinned):
    """With a tray running, the header menu is the keyboard's route to the status items."""
    check("no system tray" not in vorn.log(), "the tray was not seen")
    header = find(vorn.window(), "push button", "Vorn Menu")
    check(header is not None and "showing" not in states(header),
          "the header's menu button %r" % (header and states(header)))
    # Over the bus, pressing the hidden button opens the menu; a menu opened before is no answer.
    events.popup = None
    do_action(header, "Press")
    menu = wait_for(lambda: events.popup, "the header menu opened")
    check("Quit Vorn" in [item.name for item in children(menu)], "the header menu's items")
    vorn.desktop.key("Escape")
    wait_for(lambda: closed(menu), "the header menu closed")
    vorn.start_again()
    vorn.press("shift+Tab", "push button", "Vorn Menu")
    vorn.press("Return", "menu item", "Rename")
    items = [item.name for item in vorn.menu()]
    check(items[-5:] == ["Hide Sidebar", "Settings\u2026", "Check for Updates\u2026",
                         "Send Feedback\u2026", "Quit Vorn"], "the header menu %r" % items)
    vorn.press_until("Down", "menu item", "Move to Display")
    vorn.press("Right", "menu item", "R")
    displays = vorn.checked_items()
    check(displays == {"L": True, "R": False},
          "the displays %r" % displays)
    vorn.desktop.key("Escape")
    wait_for(lambda: not vorn.menu(), "the displays closed")
    vorn.press_until("Down", "menu item", "Settings\u2026")
    vorn.desktop.key("Return")

    # The settings window: a dialog, the keyboard on the placement set, in its named group.
    wait_for(lambda: vorn.window("dialog", "Vorn Settings"), "the settings dialog")
    vorn.await_focus("radio button", "Fill")
    choice = find(vorn.window("dialog", "Vorn Settings"), "radio button", "Fill")
    check("checked" in states(choice), "Fill is not checked")
    group = choice.parent
    check((group.getRoleName(), group.name) == ("panel", "Window placement"),
          "the choice's group %r %r" % (group.getRoleName(), group.name))
    vorn.desktop.key("Escape")
    wait_for(lambda: not vorn.window("dialog", "Vorn Settings"), "the settings closed")

    # A new space: its name field is named. The switcher checks the current space.
    vorn.start_again()
    vorn.press_until("Tab", "push button", "New Space")
    vorn.press("Return", "text", "Space name")
    vorn.desktop.run(["xdotool", "type", "Work"])
    vorn.desktop.key("Return")
    wait_for(lambda: find(vorn.window(), "label", "Work"), "the space named")
    vorn.start_again()
    vorn.press_until("Tab", "push button", "Spaces")
    vorn.press("Return", "menu item", "Home")
    spaces = vorn.checked_items()
    check(spaces == {"Home": False, "Work": True},
          "the spaces %r" % spaces)
    vorn.desktop.key("Return")
    wait_for(lambda: vorn.rows()["Pinned"] == [pinned], "back in Home")
    vorn.desktop.key("Escape")
    wait_for(lambda: not vorn.window().getState().contains(pyatspi.STATE_ACTIVE),
             "the keyboard given back")


def answer_the_picker(vorn, desktop, shells, pinned):
    """A pinned tab's window is gone: pressing it asks for another window of its application."""
    desktop.stop_one(shells[pinned])
    wait_for(lambda: vorn.row(pinned).description == "XTerm, pinned, window closed",
             "the closed window's description")
    check_tree(vorn)
    do_action(vorn.row(pinned), "Press")
    picker = wait_for(lambda: vorn.window("dialog", "Window not found"), "the rebind picker")
    buttons = [node.name for node in walk(picker) if node.getRoleName() == "push button"]
    check(sorted(buttons[:-2]) == sorted(vorn.rows()["Other Windows"])
          and buttons[-2:] == ["Open New Window", "Cancel"], "the picker's buttons %r" % buttons)
    # The keyboard starts on the first window; Tab visits the buttons and nothing else.
    vorn.await_focus("push button", buttons[0])
    stops = []
    for _ in buttons:
        count = len(vorn.events.of("focus:"))
        desktop.key("Tab")
        wait_for(lambda: len(vorn.events.of("focus:")) > count,
                 "the focus to move on Tab in the picker")
        stops.append(vorn.events.focus())
    check(stops == [("push button", name) for name in buttons[1:] + buttons[:1]],
          "Tab stops %r" % stops)
    desktop.key("Escape")
    wait_for(lambda: not vorn.window("dialog", "Window not found"), "the picker closed")

    # Pin through the named action: the row moves to Pinned, and the file says so.
    other = vorn.rows()["Other Windows"][0]
    do_action(vorn.row(other), "Pin")
    wait_for(lambda: state_tabs(vorn.data).get(other) == "pinned", "the pinned tab saved")
    wait_for(lambda: vorn.rows()["Pinned"] == [pinned, other], "the row in Pinned")
    check(vorn.row(other).description == "XTerm, pinned",
          "description %r" % vorn.row(other).description)
    check(action_names(vorn.row(other)) == ["Press", "Unpin"],
          "actions %r" % action_names(vorn.row(other)))
    check_tree(vorn)


def quit_from_the_keyboard(vorn):
    # The active row is not the first: a second start focuses it all the same.
    last = vorn.rows()["Other Windows"][-1]
    vorn.desktop.run(["wmctrl", "-a", last])
    wait_for(lambda: "checked" in states(vorn.row(last)), "%s active" % last)
    check(vorn.start_again() == last, "the active row is %r" % vorn.active_row())
    vorn.press("Home", "list item", vorn.rows()["Pinned"][0])
    vorn.press("shift+Tab", "push button", "Vorn Menu")
    vorn.press("Return", "menu item", "Rename")
    vorn.press_until("Down", "menu item", "Quit Vorn")
    vorn.desktop.key("Return")
    vorn.process.wait(timeout=LIMIT)
    check(vorn.process.returncode == 0, "quit with status %d" % vorn.process.returncode)


def start_with_a_focused_window(desktop, events, program, data, shells):
    """With one display nothing asks first, so nothing moves the focus after the start: only
    the start itself can tell Vorn which window has the keyboard, and its row is checked."""
    desktop.run(["xrandr", "--delmonitor", "L"])
    desktop.run(["xrandr", "--delmonitor", "R"])
    focused = next(title for title, process in shells.items() if process.poll() is None)
    desktop.run(["wmctrl", "-r", focused, "-e", "0,300,300,-1,-1"])
    desktop.run(["wmctrl", "-a", focused])
    wait_for(lambda: desktop.active_window_name() == focused, "%s focused" % focused)
    vorn = Vorn(desktop, events, program, data)
    wait_for(lambda: any(row.name == focused for _, rows in vorn.lists() for row in rows),
             lambda: "the row of %s (rows %r, log %s)" % (focused, vorn.rows(), vorn.log()))
    wait_for(lambda: "checked" in states(vorn.row(focused)), "the focused row checked")
    check(desktop.active_window_name() == focused, "the focus moved at the start")
    desktop.stop_one(vorn.process)


def main(program):
    work = tempfile.mkdtemp(prefix="vorn-atspi-")
    data = os.path.join(work, "data")
    os.makedirs(data, mode=0o700)
    with open(os.path.join(data, "consent.json"), "w") as file:
        json.dump({"disclosureShownVersion": "test", "telemetryEnabled": False}, file)
    desktop = Desktop(work)
    try:
        desktop.start_server()
        desktop.start(["openbox", "--sm-disable"], XDG_CONFIG_HOME=os.path.join(work, "config"))
        wait_for(lambda: "Name:" in desktop.run(["wmctrl", "-m"]), "the window manager")
        desktop.start(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                       "--height", "24", "--SetDockType", "true"])
        shells = {title: desktop.start(["xterm", "-T", title, "-geometry", "60x20+200+300"])
                  for title in SHELLS}
        wait_for(lambda: all(title in desktop.run(["wmctrl", "-l"]) for title in shells),
                 "the xterms")
        wait_for(lambda: '"trayer"' in desktop.run(["xwininfo", "-root", "-tree"]), "the tray")
        enable_accessibility(work)
        events = Events()
        vorn = Vorn(desktop, events, program, data)

        choose_display(vorn)
        check_rows_and_order(vorn, events)
        pinned = drive_rows_by_keyboard(vorn, events)
        check(state_tabs(data) == {pinned: "pinned"}, "saved tabs %r" % state_tabs(data))
        reach_settings_and_spaces(vorn, events, pinned)
        answer_the_picker(vorn, desktop, shells, pinned)
        quit_from_the_keyboard(vorn)
        start_with_a_focused_window(desktop, events, program, data, shells)
    finally:
        desktop.stop()
        shutil.rmtree(work, ignore_errors=True)
    print("sidebar_over_atspi: the tree, its order, events and keyboard route hold")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print("usage: sidebar_over_atspi.py VORN", file=sys.stderr)
        sys.exit(2)
    try:
        main(sys.argv[1])
    except Failure as failure:
        print("sidebar_over_atspi: FAIL: %s" % failure, file=sys.stderr)
        sys.exit(1)

#!/usr/bin/python3
"""Reads Vorn's sidebar as a screen reader does, over AT-SPI, on a private desktop.

Starts Xvfb, openbox, two xterms and `vorn` with a data directory of its own, turns the
accessibility bus on as a screen reader would, and checks the tree: the window's name, one
list per section in screen order, the rows' names, descriptions, states and actions, the
collapse control's expanded state, the row of the window focused before the start checked, and
the event that tells of a new active row. It then pins a window and claims another through
`doAction` and reads the result back from state.json.

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


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(condition, what):
    """Polls the condition (pumping AT-SPI events meanwhile) until it holds or LIMIT passes."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + LIMIT
    while True:
        while context.iteration(False):
            pass
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
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
        log = open(os.path.join(self.directory, os.path.basename(argv[0]) + ".log"), "ab")
        process = subprocess.Popen(argv, env=environment, stdout=log, stderr=log,
                                   stdin=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def run(self, argv):
        return subprocess.run(argv, env=self.environment, capture_output=True, text=True,
                              timeout=10).stdout

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


def enable_accessibility():
    """What a screen reader does on start: asks toolkits to export their trees."""
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
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


class Sidebar:
    """Vorn's tree on the accessibility bus."""

    def __init__(self, pid):
        self.pid = pid

    def window(self):
        for app in children(pyatspi.Registry.getDesktop(0)):
            try:
                if app.get_process_id() != self.pid:
                    continue
            except GLib.Error:
                continue
            for window in children(app):
                if window.getRoleName() == "frame" and window.name == "Vorn":
                    return window
        return None

    def lists(self):
        """The sections' lists in tree order: [(name, [rows])]."""
        window = self.window()
        if window is None:
            return []
        return [(node.name, [row for row in children(node) if row.getRoleName() == "list item"])
                for node in walk(window) if node.getRoleName() == "list"]

    def rows(self):
        """Each shown section's name and its rows' names, as a screen reader reads them."""
        return {name: [row.name for row in rows] for name, rows in self.lists()}

    def row(self, title):
        for _, rows in self.lists():
            for row in rows:
                if row.name == title:
                    return row
        raise Failure("no row %r" % title)


def check_tree(sidebar):
    window = sidebar.window()
    check(window is not None, "no window named Vorn")
    lists = sidebar.lists()
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
        shells = {title: desktop.start(["xterm", "-T", title, "-geometry", "60x20+500+300"])
                  for title in ("Shell One", "Shell Two")}
        wait_for(lambda: all(title in desktop.run(["wmctrl", "-l"]) for title in shells),
                 "the xterms")
        # Nothing moves the focus after Vorn starts: only the start can tell it which window
        # has it.
        desktop.run(["wmctrl", "-a", "Shell One"])
        wait_for(lambda: desktop.active_window_name() == "Shell One", "Shell One focused")
        enable_accessibility()
        vorn = desktop.start([program], VORN_DATA_DIR=data)
        sidebar = Sidebar(vorn.pid)

        wait_for(lambda: sorted(sidebar.rows().get("Other Windows", [])) == sorted(shells),
                 "the xterms' rows")
        check_tree(sidebar)
        wait_for(lambda: "checked" in states(sidebar.row("Shell One")), "the focused row checked")
        check(sidebar.rows()["Pinned"] == [] and sidebar.rows()["Recent"] == [],
              "rows where none belong: %r" % sidebar.rows())
        one = sidebar.row("Shell One")
        check(one.description == "XTerm, other window", "description %r" % one.description)
        check(action_names(one) == ["Press", "Pin"], "actions %r" % action_names(one))
        toggle = next(node for node in walk(sidebar.window())
                      if node.getRoleName() == "push button" and node.name == "Collapse Ambient")
        check({"expandable", "expanded"} <= states(toggle), "toggle states %r" % states(toggle))

        # Pin through the named action: the row moves to Pinned, and the file says so.
        do_action(sidebar.row("Shell One"), "Pin")
        wait_for(lambda: state_tabs(data).get("Shell One") == "pinned", "the pinned tab saved")
        wait_for(lambda: sidebar.rows()["Pinned"] == ["Shell One"], "the row in Pinned")
        check(sidebar.rows()["Other Windows"] == ["Shell Two"], "rows %r" % sidebar.rows())
        check(sidebar.row("Shell One").description == "XTerm, pinned",
              "description %r" % sidebar.row("Shell One").description)
        check(action_names(sidebar.row("Shell One")) == ["Press", "Unpin"],
              "actions %r" % action_names(sidebar.row("Shell One")))
        check_tree(sidebar)

        # Pressing the other window claims it; its row, now checked, tells of the change.
        changes = []

        def heard(event):
            if event.detail1 == 1:
                changes.append(event.source.name)

        pyatspi.Registry.registerEventListener(heard, "object:state-changed:checked")
        do_action(sidebar.row("Shell Two"), "Press")
        wait_for(lambda: desktop.active_window_name() == "Shell Two", "Shell Two active")
        wait_for(lambda: state_tabs(data).get("Shell Two") == "recent", "the claimed tab saved")
        wait_for(lambda: sidebar.rows()["Recent"] == ["Shell Two"], "the row in Recent")
        wait_for(lambda: "checked" in states(sidebar.row("Shell Two")), "the row checked")
        wait_for(lambda: "Shell Two" in changes, "the checked state's change")
        pyatspi.Registry.deregisterEventListener(heard, "object:state-changed:checked")
        check(sidebar.row("Shell Two").description == "XTerm, recent",
              "description %r" % sidebar.row("Shell Two").description)
        check_tree(sidebar)

        # The pinned window closes: its tab says so.
        desktop.stop_one(shells["Shell One"])
        wait_for(lambda: sidebar.row("Shell One").description == "XTerm, pinned, window closed",
                 "the closed window's description")
        check_tree(sidebar)
    finally:
        desktop.stop()
        shutil.rmtree(work, ignore_errors=True)
    print("sidebar_over_atspi: the tree, its order, names, descriptions, states and actions hold")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print("usage: sidebar_over_atspi.py VORN", file=sys.stderr)
        sys.exit(2)
    try:
        main(sys.argv[1])
    except Failure as failure:
        print("sidebar_over_atspi: FAIL: %s" % failure, file=sys.stderr)
        sys.exit(1)

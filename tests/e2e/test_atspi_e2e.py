#!/usr/bin/env python3
"""The viewer as a learner with a screen reader meets it, read over AT-SPI.

Everything a screen reader such as Orca gets from the viewer crosses the
accessibility bus; the widget tests check the names inside the process only.
This test sets up a desktop of its own: a private X server with openbox, a
private session D-Bus and the accessibility bus behind it
(at-spi-bus-launcher), the real course server on the demo course, and the
real viewer with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1, which makes Qt join the
bus without waiting for a screen reader to switch accessibility on. It then
reads the viewer through pyatspi, the client library Orca is built on, and
drives it with xdotool (keys, as the learner types them) and with the
buttons' own AT-SPI actions (as a screen reader presses them):

1. started against a port nobody listens on, the first-page failure panel:
   its message names the address, Retry and Quit have names and press
   actions, Retry has the focus and Tab goes Retry, Quit, message; Retry
   pressed over the bus tries again and Quit ends the viewer;
2. on the demo course: every button of the main window's bar has a name and
   a press action (Help pressed over the bus shows the help image); the
   course page's document is on the bus with the page's text; Ctrl+F opens
   the find bar with the entry focused (its focus event sent before any
   caret event, or Orca says nothing), its controls have names, the count
   reads "1 of N" once a word of the page is typed, Tab and Shift+Tab move
   the focus through entry, Previous, Next and Close in that order, and its
   buttons work when pressed over the bus;
3. with the course server stopped under it, a later page's failure panel:
   "This page could not be loaded", the address in the message, Retry,
   Back and Contents named and pressable, Retry focused, Tab going Retry,
   Back, Contents, message; Contents pressed over the bus tries the
   contents page and the panel comes back with Retry focused.

What the client read (names, roles, states, actions) is printed and written
to WORK/atspi-read.txt. Exit status: 0 when every check passed, 1 when one
failed or the desktop could not be set up, 77 (ctest's SKIP_RETURN_CODE)
when a program or module it needs is not installed, 2 on bad arguments.
"""

import argparse
import ctypes
import importlib.util
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SKIP = 77

# A debug viewer on a busy two-core machine takes tens of seconds to start
# its engine and load the first page.
START_TIMEOUT_S = 120
# What the bus and the viewer take to answer one step: a key, a press.
STEP_TIMEOUT_S = 20

AT_SPI_BUS_LAUNCHERS = ("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher")

# The main window's bar, left to right, as a screen reader should say it:
# "<<" and ">>" in words.
BAR_BUTTONS = ["Contents", "Print", "Search", "Back", "Previous page", "Next page", "History", "Calc", "Help",
               "Section"]
FIND_ENTRY = "Text to find"
FIND_PREVIOUS = "Previous match"
FIND_NEXT = "Next match"
FIND_CLOSE = "Close find bar"
COUNT = re.compile(r"^(\d+) of (\d+)$")


class CheckFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CheckFailed(message)


def wait_until(probe, what, timeout_s=STEP_TIMEOUT_S, interval_s=0.1):
    """Polls `probe` until it returns something true and returns that;
    CheckFailed naming `what` when the bound passes first. A probe that
    raises counts as not yet: objects come and go on the bus meanwhile."""
    deadline = time.monotonic() + timeout_s
    last_error = None
    while True:
        try:
            value = probe()
            if value:
                return value
        except CheckFailed:
            raise
        except Exception as error:  # a dead object, a call that timed out
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise CheckFailed(f"{what}: not within {timeout_s:.0f} s{detail}")
        time.sleep(interval_s)


# --- processes ----------------------------------------------------------------

def become_subreaper():
    """Daemons that fork away (the accessibility bus's own dbus-daemon and
    registry, the engine's helpers) come to us when their parent ends, so
    they can be found and reaped instead of living on under init."""
    libc = ctypes.CDLL(None, use_errno=True)
    PR_SET_CHILD_SUBREAPER = 36
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "prctl(PR_SET_CHILD_SUBREAPER)")


def session_of(pid):
    """The session id of `pid`, None when it is gone or a zombie."""
    try:
        with open(f"/proc/{pid}/stat", encoding="utf-8", errors="replace") as f:
            fields = f.read()
    except OSError:
        return None
    rest = fields[fields.rindex(")") + 2:].split()
    if rest[0] in ("Z", "X"):
        return None
    return int(rest[3])


def session_members(leader):
    return [int(entry) for entry in os.listdir("/proc")
            if entry.isdigit() and session_of(int(entry)) == leader]


class Programs:
    """Every program the test starts, each in a session of its own, so that
    stopping one stops whatever it started too."""

    def __init__(self, logs):
        self.logs = logs
        self.started = []

    def start(self, name, command, env, pass_fds=()):
        """Starts `command` with its output in the log `name`."""
        with open(self.logs / f"{name}.log", "wb") as log:
            process = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=log,
                                       stderr=subprocess.STDOUT, pass_fds=pass_fds, start_new_session=True)
        process.name = name
        self.started.append(process)
        return process

    def log(self, name):
        return (self.logs / f"{name}.log").read_text(encoding="utf-8", errors="replace")

    def stop(self, process, grace_s=5):
        """SIGTERM to the program's session, SIGKILL to what is left after
        `grace_s`, and waits until all of it is gone."""
        members = set(session_members(process.pid))
        if process.poll() is None:
            members.add(process.pid)
        for sig, wait_s in ((signal.SIGTERM, grace_s), (signal.SIGKILL, 10)):
            for pid in members:
                try:
                    os.kill(pid, sig)
                except ProcessLookupError:
                    pass
            deadline = time.monotonic() + wait_s
            while True:
                reap_orphans()
                process.poll()
                members = {pid for pid in members if session_of(pid) is not None}
                if not members:
                    break
                if time.monotonic() > deadline:
                    break
                time.sleep(0.05)
            if not members:
                break
        if members:
            raise RuntimeError(f"{process.name}: processes {sorted(members)} outlived SIGKILL")
        if process.returncode is None:
            process.wait(timeout=10)

    def stop_all(self):
        problems = []
        for process in reversed(self.started):
            try:
                self.stop(process)
            except Exception as error:
                problems.append(str(error))
        self.started.clear()
        reap_orphans()
        return problems


def reap_orphans():
    """Reaps the children that came to us as subreaper. Our own Popen
    children are waited for by their objects; this never takes one of them
    before they are done with, since it is called only once they have
    ended or while stopping them."""
    while True:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid == 0:
            return


# --- the desktop ------------------------------------------------------------------

def find_launcher():
    for path in AT_SPI_BUS_LAUNCHERS:
        if os.access(path, os.X_OK):
            return path
    return None


def missing_parts():
    """What this test needs and cannot find, with the Debian package that
    brings it."""
    missing = []
    for program, package in (("Xvfb", "xvfb"), ("openbox", "openbox"), ("xdotool", "xdotool"),
                             ("xprop", "x11-utils"), ("dbus-daemon", "dbus-daemon"), ("dbus-send", "dbus-bin")):
        if not shutil.which(program):
            missing.append(f"{program} ({package})")
    if not find_launcher():
        missing.append("at-spi-bus-launcher (at-spi2-core)")
    # Only looked for here: libatspi must first connect once the private
    # buses are set up.
    try:
        import gi
        gi.require_version("Atspi", "2.0")
        if importlib.util.find_spec("pyatspi") is None:
            raise ImportError("no module named pyatspi")
    except (ImportError, ValueError) as error:
        missing.append(f"pyatspi for {sys.executable} (python3-pyatspi: {error})")
    return missing


class Desktop:
    """A private X server with openbox, a session bus and the accessibility
    bus, as a desktop session with a screen reader has them."""

    def __init__(self, programs, runtime):
        self.programs = programs
        self.runtime = runtime
        self.display = None
        self.bus = None

    def start(self):
        read_fd, write_fd = os.pipe()
        self.programs.start("xvfb", ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24",
                                     "-nolisten", "tcp"], dict(os.environ), pass_fds=(write_fd,))
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        check(number.isdigit(), "Xvfb gave no display number")
        self.display = ":" + number

        env = self.environment()
        env.pop("SESSION_MANAGER", None)
        openbox = self.programs.start("openbox", ["openbox", "--sm-disable"], env)
        wait_until(lambda: openbox.poll() is None and "window id" in subprocess.run(
            ["xprop", "-display", self.display, "-root", "_NET_SUPPORTING_WM_CHECK"],
            capture_output=True, text=True).stdout, "openbox taking the screen")

        read_fd, write_fd = os.pipe()
        self.programs.start("session-bus", ["dbus-daemon", "--session", "--nofork", "--nopidfile",
                                            f"--print-address={write_fd}"], dict(os.environ), pass_fds=(write_fd,))
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            self.bus = pipe.readline().strip()
        check(self.bus, "the session bus gave no address")

        # The launcher puts the accessibility bus's address on the session
        # bus (org.a11y.Bus) and on the X root window, where Qt and libatspi
        # look for it.
        self.programs.start("at-spi-bus", [find_launcher(), "--launch-immediately"], self.environment())
        address = wait_until(self.accessibility_bus, "the accessibility bus's address on the session bus")
        return address

    def environment(self):
        env = dict(os.environ)
        # A caller's own buses and display are not ours.
        for name in ("AT_SPI_BUS_ADDRESS", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            env.pop(name, None)
        env["DISPLAY"] = self.display
        # The launcher puts the accessibility bus's socket here; the default
        # (~/.cache/at-spi) is shared with every other session of the user.
        env["XDG_RUNTIME_DIR"] = str(self.runtime)
        if self.bus:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus
        return env

    def accessibility_bus(self):
        reply = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                                "org.a11y.Bus.GetAddress"], env=self.environment(), capture_output=True, text=True,
                               timeout=STEP_TIMEOUT_S)
        match = re.search(r'string "([^"]+)"', reply.stdout)
        return match.group(1) if match else None

    def xdotool(self, *arguments):
        result = subprocess.run(["xdotool", *arguments], env=self.environment(), capture_output=True, text=True,
                                timeout=STEP_TIMEOUT_S)
        check(result.returncode == 0, f"xdotool {' '.join(arguments)}: {result.stderr.strip()}")
        return result.stdout


def start_course_server(programs, server, site, work):
    process = programs.start("course-server", [server, "--root", site, "--port", "0", "--cert-dir",
                                               str(work / "cert")], dict(os.environ))

    def listening():
        text = programs.log("course-server")
        fingerprint = re.search(r"^certificate SHA-256 fingerprint: ([0-9A-F:]{95})$", text, re.M)
        port = re.search(r"^listening on https://127\.0\.0\.1:(\d+)/$", text, re.M)
        check(process.poll() is None, "the course server ended:\n" + text)
        return (f"127.0.0.1:{port.group(1)}", fingerprint.group(1)) if fingerprint and port else None
    host, pin = wait_until(listening, "the course server listening", timeout_s=30)
    return host, pin, process


def closed_port():
    """A loopback port nobody listens on: one the system hands out, let go."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Viewer:
    def __init__(self, programs, desktop, binary, work, name, host, pin=None):
        home = work / name
        env = desktop.environment()
        env.update({
            "QT_QPA_PLATFORM": "xcb",
            # Qt joins the accessibility bus only once a screen reader has
            # switched accessibility on, unless told to always.
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "XDG_DATA_HOME": str(home / "data"),
            "XDG_CONFIG_HOME": str(home / "config"),
            "XDG_CACHE_HOME": str(home / "cache"),
            "TAMBERLYN_COURSE_HOST": host,
            "QT_LOGGING_RULES": "tamberlyn.*.info=true",
            "QTWEBENGINE_CHROMIUM_FLAGS": "--disable-gpu",
        })
        if pin:
            env["TAMBERLYN_COURSE_PIN"] = pin
        # The viewer itself must open the course page to screen readers.
        env.pop("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", None)
        if os.geteuid() == 0:
            # The engine's sandbox cannot run as root, which is how CI runs.
            env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
        self.programs = programs
        self.desktop = desktop
        self.name = name
        self.process = programs.start(name, [binary], env)

    def log(self):
        return self.programs.log(self.name)

    def wait_for_line(self, pattern, what, timeout_s=STEP_TIMEOUT_S, count=1):
        def seen():
            found = re.findall(pattern, self.log(), re.M)
            check(self.process.poll() is None or len(found) >= count,
                  f"the viewer ended (status {self.process.returncode}) before {what}:\n{tail(self.log())}")
            return found if len(found) >= count else None
        return wait_until(seen, what, timeout_s)

    def activate(self):
        """Gives the viewer's window the keyboard, as a click on it would."""
        window = wait_until(lambda: self.desktop.xdotool("search", "--onlyvisible", "--pid",
                                                         str(self.process.pid)).split()[0],
                            "the viewer's window on the screen")
        self.desktop.xdotool("windowactivate", "--sync", window)
        return window

    def keys(self, *keys):
        self.desktop.xdotool("key", "--clearmodifiers", "--delay", "60", *keys)

    def type(self, text):
        self.desktop.xdotool("type", "--clearmodifiers", "--delay", "60", text)


def tail(text, lines=30):
    return "\n".join("    " + line for line in text.splitlines()[-lines:])


# --- the client -------------------------------------------------------------------

class Client:
    """What a screen reader reads, through pyatspi."""

    def __init__(self, pyatspi, report, events):
        self.pyatspi = pyatspi
        self.report = report
        self.events = events

    def application(self, pid):
        """The viewer's application on the bus: the desktop's child that is
        process `pid`."""
        desktop = self.pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.get_process_id() == pid:
                return app
        return None

    def walk(self, root, into_documents=False):
        """Depth first below `root`. The engine's documents are large trees;
        they are entered only when asked for."""
        stack = [root]
        while stack:
            node = stack.pop()
            if node is None:
                continue
            yield node
            if not into_documents and node is not root and self.is_document(node):
                continue
            stack.extend(reversed([node.getChildAtIndex(i) for i in range(node.childCount)]))

    def is_document(self, node):
        return node.getRole() in (self.pyatspi.ROLE_DOCUMENT_WEB, self.pyatspi.ROLE_DOCUMENT_FRAME)

    def has(self, node, state):
        node.clearCache()
        return node.getState().contains(state)

    def showing(self, node):
        return self.has(node, self.pyatspi.STATE_SHOWING)

    def focused(self, node):
        return self.has(node, self.pyatspi.STATE_FOCUSED)

    def name(self, node):
        node.clearCache()
        return node.name or ""

    def actions(self, node):
        try:
            action = node.queryAction()
        except NotImplementedError:
            return {}
        return {action.getName(i): (i, action.getKeyBinding(i)) for i in range(action.nActions)}

    def press(self, node):
        """The button's press action, as a screen reader's "activate" does it."""
        actions = self.actions(node)
        press = next((index for name, (index, _) in actions.items() if name.lower() in ("press", "click")), None)
        check(press is not None, f"{describe(node)} has no press action (actions: {sorted(actions)})")
        check(node.queryAction().doAction(press), f"{describe(node)}: the press action was refused")

    def window_of(self, app, holding):
        """The application's showing window (or frame) whose tree holds a
        push button named `holding`."""
        for window in app:
            if window is None or not self.showing(window):
                continue
            for node in self.walk(window):
                if node.getRole() == self.pyatspi.ROLE_PUSH_BUTTON and node.name == holding:
                    return window
        return None

    def find(self, root, role, name=None, showing=True):
        for node in self.walk(root):
            if node.getRole() == role and (name is None or node.name == name) and (
                    not showing or self.showing(node)):
                return node
        return None

    def text(self, root, limit=2000):
        """The text a screen reader reads below `root` (inside the engine's
        document too), node by node, up to `limit` nodes; pictures' text
        alternatives left out, as find in page leaves them."""
        parts = []
        for count, node in enumerate(self.walk(root, into_documents=True)):
            if count >= limit:
                break
            if node.childCount == 0 and node.getRole() != self.pyatspi.ROLE_IMAGE:
                try:
                    text = node.queryText()
                    parts.append(text.getText(0, text.characterCount))
                except NotImplementedError:
                    parts.append(node.name or "")
        return " ".join(part.replace("\ufffc", " ") for part in parts if part)


class Events:
    """Focus and caret events in the order a screen reader receives them.
    libatspi hands them over from the default GLib main context, which
    pump() runs without blocking."""

    TYPES = ("object:state-changed:focused", "object:text-caret-moved")

    def __init__(self, pyatspi):
        from gi.repository import GLib
        self.context = GLib.MainContext.default()
        self.seen = []
        pyatspi.Registry.registerEventListener(self.record, *self.TYPES)

    def record(self, event):
        self.seen.append((event.type, event.detail1, event.source))

    def pump(self):
        while self.context.iteration(False):
            pass
        return self.seen

    def clear(self):
        self.pump()
        self.seen.clear()

    def about(self, node):
        """The events whose source is `node`: (type, detail1)."""
        return [(kind, detail) for kind, detail, source in self.pump() if source == node]


def describe(node):
    try:
        return f"[{node.getRoleName()}] \"{node.name}\""
    except Exception:
        return "[gone]"


# --- the checks ---------------------------------------------------------------------

def check_failure_panel(client, viewer, address):
    """The first page refused: the panel's message, Retry and Quit, read and
    pressed over the bus."""
    pyatspi = client.pyatspi
    report = client.report
    viewer.wait_for_line(r"first page failure shown: ", "the first-page failure panel", START_TIMEOUT_S)
    app = wait_until(lambda: client.application(viewer.process.pid), "the viewer on the accessibility bus")
    report(f"application: [{app.getRoleName()}] \"{app.name}\" (pid {app.get_process_id()}, "
           f"toolkit {app.toolkitName} {app.toolkitVersion})")
    window = wait_until(lambda: client.window_of(app, "Retry"), "a window with Retry on the bus")
    report(f"window: {describe(window)}")

    retry = client.find(window, pyatspi.ROLE_PUSH_BUTTON, "Retry")
    quit_button = client.find(window, pyatspi.ROLE_PUSH_BUTTON, "Quit")
    check(retry is not None and quit_button is not None, "Retry or Quit is not a showing push button")
    for button in (retry, quit_button):
        report(f"  {describe(button)} description \"{button.description}\" actions {client.actions(button)}")
        check(client.name(button) and button.description, f"{describe(button)} lacks a name or a description")

    # The message a learner needs: what failed, for which address, what to
    # check; the screen reader reads it from the labels.
    labels = [node for node in client.walk(window)
              if node.getRole() in (pyatspi.ROLE_LABEL, pyatspi.ROLE_TEXT, pyatspi.ROLE_STATIC)
              and client.showing(node)]
    for label in labels:
        report(f"  {describe(label)}")
    message = next((label for label in labels if address in client.name(label)), None)
    check(message is not None, f"no showing label names the address {address}: "
                               f"{[describe(label) for label in labels]}")
    heading = next((label for label in labels if label is not message and client.name(label)), None)
    check(heading is not None, "no heading beside the message")

    wait_until(lambda: client.focused(retry), "Retry focused when the panel shows")
    report("  focus: Retry")
    viewer.activate()
    for key, expected in (("Tab", quit_button), ("Tab", message), ("shift+Tab", quit_button),
                          ("shift+Tab", retry)):
        viewer.keys(key)
        wait_until(lambda: client.focused(expected), f"{key} moving the focus to {describe(expected)}")
        report(f"  {key} -> focus {describe(expected)}")

    # Pressed over the bus, Retry tries again; against a closed port the
    # panel comes back with Retry focused.
    client.press(retry)
    viewer.wait_for_line(r"first page failure shown: ", "the failure shown again after Retry", count=2)
    wait_until(lambda: client.focused(retry), "Retry focused after a failed retry")
    report("  Retry pressed over the bus: loaded again, failed again, Retry focused")

    client.press(quit_button)
    status = wait_until(lambda: viewer.process.poll() is not None and (viewer.process.returncode,),
                        "the viewer ending on Quit")[0]
    check(status == 0, f"the viewer ended with status {status} on Quit")
    report("  Quit pressed over the bus: the viewer ended with status 0")


def check_course_window(client, viewer):
    """The main window on the demo course: its bar, the course page's
    document and the find bar."""
    pyatspi = client.pyatspi
    report = client.report
    pages = viewer.wait_for_line(r"tamberlyn\.pane: document complete: (\S+)", "the contents page loaded",
                                 START_TIMEOUT_S)
    report(f"page: {pages[0]}")
    app = wait_until(lambda: client.application(viewer.process.pid), "the viewer on the accessibility bus")
    report(f"application: [{app.getRoleName()}] \"{app.name}\" (pid {app.get_process_id()})")
    window = wait_until(lambda: client.window_of(app, "Contents"), "the main window's bar on the bus",
                        START_TIMEOUT_S)
    report(f"window: {describe(window)}")

    # The bar: the push buttons that are the window's own children.
    bar = [child for child in window if child is not None and child.getRole() == pyatspi.ROLE_PUSH_BUTTON]
    report("bar buttons:")
    for button in bar:
        actions = client.actions(button)
        report(f"  {describe(button)} key {[binding for _, binding in actions.values() if binding]} "
               f"actions {sorted(actions)}")
        check(client.name(button).strip(), f"a bar button has no name: {describe(button)}")
        check(any(name.lower() in ("press", "click") for name in actions), f"{describe(button)} has no press action")
        check(client.showing(button), f"{describe(button)} is not showing")
    check([button.name for button in bar] == BAR_BUTTONS,
          f"the bar reads {[button.name for button in bar]}, not {BAR_BUTTONS}")

    help_image = client.find(window, pyatspi.ROLE_LABEL, "Help image", showing=False) or client.find(
        window, pyatspi.ROLE_IMAGE, "Help image", showing=False)
    check(help_image is not None, "no Help image on the bus")
    help_button = bar[BAR_BUTTONS.index("Help")]
    client.press(help_button)
    wait_until(lambda: client.showing(help_image), "Help pressed over the bus showing the help image")
    client.press(help_button)
    wait_until(lambda: not client.showing(help_image), "Help pressed again hiding the help image")
    report(f"Help pressed over the bus: {describe(help_image)} shown, pressed again: hidden")

    # The course page: the engine's document, with the page's text.
    document = wait_until(lambda: client.find(window, pyatspi.ROLE_DOCUMENT_WEB)
                          or client.find(window, pyatspi.ROLE_DOCUMENT_FRAME), "the course page's document")
    text = wait_until(lambda: client.text(document).strip(), "text in the course page's document")
    words = re.findall(r"[A-Za-z]{5,}", text)
    report(f"document: {describe(document)} with {document.childCount} children, {len(words)} words of five "
           f"letters or more read, from \"{' '.join(text.split())[:80]}...\"")
    lowered = text.lower()
    # A word the page holds more than once, counted as find in page counts
    # (inside other words too, letter case aside), so Next has a second
    # match to go to.
    counts = {word.lower(): lowered.count(word.lower()) for word in words}
    word = next((w for w, n in counts.items() if 2 <= n <= 9), None)
    check(word is not None, "no word on the course page held two to nine times")
    report(f"word to find: \"{word}\" ({counts[word]} times in the text read)")

    check_find_bar(client, viewer, window, word)


def check_find_bar(client, viewer, window, word):
    pyatspi = client.pyatspi
    report = client.report
    viewer.activate()
    client.events.clear()
    viewer.keys("ctrl+f")
    entry = wait_until(lambda: next((node for node in client.walk(window)
                                     if node.name == FIND_ENTRY and client.showing(node)), None),
                       "the find bar's entry showing after Ctrl+F")
    check(entry.getRole() in (pyatspi.ROLE_ENTRY, pyatspi.ROLE_TEXT, pyatspi.ROLE_PASSWORD_TEXT)
          and entry.getRole() != pyatspi.ROLE_PASSWORD_TEXT, f"the find entry is {describe(entry)}")
    check(client.has(entry, pyatspi.STATE_EDITABLE), "the find entry is not editable")
    wait_until(lambda: client.focused(entry), "the find entry focused after Ctrl+F")
    # The focus must be announced before the entry reports a caret: a
    # screen reader (Orca) that gets the caret first takes it for the focus
    # and says nothing about where the learner is.
    arrived = wait_until(lambda: [event for event in client.events.about(entry)
                                  if event == ("object:state-changed:focused", 1)]
                         and client.events.about(entry), "the entry's focus event on the bus")
    check(arrived[0] == ("object:state-changed:focused", 1),
          f"after Ctrl+F the entry sent {arrived[0][0]} before its focus: {arrived}")
    report(f"  events from the entry after Ctrl+F: {[kind for kind, _ in arrived]}")
    bar = entry.parent
    report(f"find bar: {describe(bar)} description \"{bar.description}\"")
    report(f"  {describe(entry)} focused, editable, description \"{entry.description}\"")
    buttons = {}
    for name in (FIND_PREVIOUS, FIND_NEXT, FIND_CLOSE):
        button = client.find(bar, pyatspi.ROLE_PUSH_BUTTON, name)
        check(button is not None, f"no showing push button named \"{name}\" in the find bar")
        actions = client.actions(button)
        check(any(action.lower() in ("press", "click") for action in actions), f"{describe(button)}: no press action")
        buttons[name] = button
        report(f"  {describe(button)} description \"{button.description}\" actions {sorted(actions)}")
    labels = [node for node in bar if node is not None and node.getRole() == pyatspi.ROLE_LABEL]
    report(f"  labels: {[describe(label) for label in labels]}")

    viewer.type(word)
    # The bar finds as the learner types, so the first letters have counts
    # of their own; the one for the whole word is what the viewer logs for it.
    shown = viewer.wait_for_line(rf'tamberlyn\.aids: find "{word}": (\d+ of \d+)$',
                                 "the viewer's count for the whole word")
    count = wait_until(lambda: next((label for label in labels if client.name(label) == shown[-1]), None),
                       f"the count label reading \"{shown[-1]}\" after typing \"{word}\"")
    match = COUNT.match(client.name(count))
    report(f"  typed \"{word}\": count label {describe(count)}")
    check(match and match.group(1) == "1" and int(match.group(2)) >= 2,
          f"the count reads \"{count.name}\", not 1 of 2 or more")
    total = match.group(2)

    # Tab goes entry, Previous, Next, Close (the count takes no focus), and
    # Shift+Tab back.
    order = [entry, buttons[FIND_PREVIOUS], buttons[FIND_NEXT], buttons[FIND_CLOSE]]
    for before, after in zip(order, order[1:]):
        viewer.keys("Tab")
        wait_until(lambda: client.focused(after) and not client.focused(before),
                   f"Tab moving the focus from {describe(before)} to {describe(after)}")
        report(f"  Tab -> focus {describe(after)}")
    for before, after in zip(reversed(order), list(reversed(order))[1:]):
        viewer.keys("shift+Tab")
        wait_until(lambda: client.focused(after) and not client.focused(before),
                   f"Shift+Tab moving the focus from {describe(before)} to {describe(after)}")
        report(f"  Shift+Tab -> focus {describe(after)}")

    # Pressed over the bus, as a screen reader activates them.
    client.press(buttons[FIND_NEXT])
    wait_until(lambda: client.name(count) == f"2 of {total}", f"Next match pressed: the count reading 2 of {total}")
    report(f"  Next match pressed over the bus: {describe(count)}")
    client.press(buttons[FIND_PREVIOUS])
    wait_until(lambda: client.name(count) == f"1 of {total}", f"Previous match pressed: the count reading 1 of {total}")
    report(f"  Previous match pressed over the bus: {describe(count)}")
    client.press(buttons[FIND_CLOSE])
    wait_until(lambda: not client.showing(entry), "Close find bar pressed: the bar hidden")
    report("  Close find bar pressed over the bus: the bar hidden")


def check_later_failure(client, viewer):
    """The course server gone under the running course: the next page's
    failure panel, read and pressed over the bus."""
    pyatspi = client.pyatspi
    report = client.report
    viewer.activate()
    viewer.keys("Next")
    address = viewer.wait_for_line(r"load failure shown: (\S+)", "the later page's failure panel")[-1]
    report(f"page that failed: {address}")
    app = client.application(viewer.process.pid)
    window = wait_until(lambda: client.window_of(app, "Retry"), "a window with Retry on the bus")
    buttons = {}
    for name in ("Retry", "Back", "Contents"):
        # The bar has Back and Contents too; the panel's come after it.
        found = [node for node in client.walk(window) if node.getRole() == pyatspi.ROLE_PUSH_BUTTON
                 and client.name(node) == name and client.showing(node)]
        check(found, f"no showing push button named \"{name}\"")
        buttons[name] = found[-1]
        actions = client.actions(found[-1])
        check(any(action.lower() in ("press", "click") for action in actions), f"{describe(found[-1])}: no press action")
        report(f"  {describe(found[-1])} description \"{found[-1].description}\" actions {sorted(actions)}")
    check(client.find(window, pyatspi.ROLE_PUSH_BUTTON, "Quit") is None, "Quit shows for a later page")
    labels = [node for node in client.walk(window)
              if node.getRole() in (pyatspi.ROLE_LABEL, pyatspi.ROLE_TEXT, pyatspi.ROLE_STATIC)
              and client.showing(node)]
    heading = next((label for label in labels if client.name(label) == "This page could not be loaded"), None)
    message = next((label for label in labels if address in client.name(label)), None)
    check(heading is not None, f"no heading \"This page could not be loaded\": {[describe(l) for l in labels]}")
    check(message is not None, f"no showing label names the address {address}")
    report(f"  {describe(heading)}")
    report(f"  message: \"{' '.join(client.name(message).split())[:160]}...\"")

    retry = buttons["Retry"]
    wait_until(lambda: client.focused(retry), "Retry focused when the panel shows")
    report("  focus: Retry")
    for key, expected in (("Tab", buttons["Back"]), ("Tab", buttons["Contents"]), ("Tab", message),
                          ("shift+Tab", buttons["Contents"])):
        viewer.keys(key)
        wait_until(lambda: client.focused(expected), f"{key} moving the focus to {describe(expected)}")
        report(f"  {key} -> focus {describe(expected)}")

    client.press(buttons["Contents"])
    viewer.wait_for_line(r"load failure shown: ", "the contents page failing in turn", count=2)
    wait_until(lambda: client.focused(retry), "Retry focused after the contents page failed too")
    report("  Contents pressed over the bus: tried, failed, Retry focused")


# --- main ---------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--viewer", required=True)
    parser.add_argument("--course-server", required=True)
    parser.add_argument("--site", required=True, help="the demo course's site folder")
    parser.add_argument("--work", required=True, help="a folder for logs and what was read; emptied first")
    args = parser.parse_args()

    missing = missing_parts()
    if missing:
        print("SKIP: not installed: " + "; ".join(missing))
        return SKIP

    work = Path(args.work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    read = open(work / "atspi-read.txt", "w", encoding="utf-8")

    def report(line):
        print(line, flush=True)
        read.write(line + "\n")

    become_subreaper()
    # Stopped from outside (ctest's time limit), still stop what was started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped by SIGTERM"))
    programs = Programs(work)
    # Short, so the bus's socket path stays within what a Unix address holds
    # wherever the build folder is.
    runtime = Path(tempfile.mkdtemp(prefix="tamberlyn-atspi-"))
    passed, failed = 0, 0
    try:
        desktop = Desktop(programs, runtime)
        address = desktop.start()
        report(f"display {desktop.display}, session bus {desktop.bus}, accessibility bus {address}")
        # libatspi finds the accessibility bus as the viewer does: through
        # the session bus (or the display's root window) set here, before
        # the library first connects.
        os.environ.update(DISPLAY=desktop.display, DBUS_SESSION_BUS_ADDRESS=desktop.bus)
        os.environ.pop("AT_SPI_BUS_ADDRESS", None)
        import pyatspi
        events = Events(pyatspi)
        client = Client(pyatspi, report, events)

        for title, run in (("first page refused", lambda: run_failure_panel(client, desktop, programs, args, work)),
                           ("demo course", lambda: run_course(client, desktop, programs, args, work))):
            report(f"== {title}")
            try:
                run()
                passed += 1
                report(f"PASS {title}")
            except CheckFailed as error:
                failed += 1
                report(f"FAIL {title}: {error}")
    except CheckFailed as error:
        failed += 1
        report(f"FAIL setting up the desktop: {error}")
    finally:
        for problem in programs.stop_all():
            failed += 1
            report(f"FAIL cleaning up: {problem}")
        shutil.rmtree(runtime, ignore_errors=True)
        read.close()
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


def run_failure_panel(client, desktop, programs, args, work):
    host = f"127.0.0.1:{closed_port()}"
    viewer = Viewer(programs, desktop, args.viewer, work, "viewer-refused", host)
    try:
        check_failure_panel(client, viewer, host)
    finally:
        programs.stop(viewer.process)


def run_course(client, desktop, programs, args, work):
    host, pin, server = start_course_server(programs, args.course_server, args.site, work)
    viewer = Viewer(programs, desktop, args.viewer, work, "viewer-course", host, pin)
    try:
        check_course_window(client, viewer)
        programs.stop(server)
        check_later_failure(client, viewer)
    finally:
        programs.stop(viewer.process)


if __name__ == "__main__":
    sys.exit(main())

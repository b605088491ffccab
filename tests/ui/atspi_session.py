"""What the accessibility-bus clients share: skipping when a program or module is missing, a
private D-Bus session, and Xvfb with openbox on a free display.

The clients exit 0 passed, 1 failed, 77 skipped.
"""
import os
import shutil
import subprocess
import sys
import time

SKIP = 77


def skip(why):
    print("SKIP: " + why)
    sys.exit(SKIP)


def require(*programs):
    for program in programs:
        if shutil.which(program) is None:
            skip(program + " is not installed")


def run_privately(deadline_s):
    """Runs the calling script again under dbus-run-session, so that no desktop's reader or bus
    is involved, and exits with its status; returns at once inside that session."""
    if os.environ.get("MOMIRU_ATSPI_PRIVATE") == "1":
        return
    require("dbus-run-session")
    os.environ["MOMIRU_ATSPI_PRIVATE"] = "1"
    try:
        sys.exit(subprocess.run(["dbus-run-session", "--", sys.executable] + sys.argv,
                                timeout=deadline_s).returncode)
    except subprocess.TimeoutExpired:
        print("FAIL: the private session did not end in time")
        sys.exit(1)


def start_x():
    """Xvfb on a free display; returns (process, ':N')."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    deadline = time.monotonic() + 15
    while not number.endswith(b"\n") and time.monotonic() < deadline:
        chunk = os.read(read_end, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    if not number.strip():
        xvfb.kill()
        skip("Xvfb did not start")
    return xvfb, ":" + number.decode().strip()


def start_desktop(children):
    """Xvfb and openbox, added to `children`; returns the environment that shows on them."""
    xvfb, display = start_x()
    children.append(xvfb)
    env = dict(os.environ, DISPLAY=display)
    children.append(subprocess.Popen(["openbox", "--sm-disable"], env=env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    time.sleep(0.5)
    os.environ["DISPLAY"] = display
    return env


def game_environment(env, home):
    """The game's environment: accessible on X, silent, its files under `home`."""
    return dict(env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                SDL_AUDIODRIVER="dummy", XDG_CONFIG_HOME=home, XDG_CACHE_HOME=home,
                XDG_DATA_HOME=home, HOME=home)


class Listener:
    """Hears as a screen reader does: the name of an object that gains the focus, text inserted
    into the focused object, a new name or description of the focused object, and
    announcements. An event from an object that is not FOCUSED when it is heard passes unheard,
    as it does for a reader."""

    def __init__(self, atspi, glib):
        self.atspi, self.glib = atspi, glib
        self.heard = []  # (kind, text) in order
        self.focus_names = []  # the names of the objects that gained the focus, in order
        self.listeners = []
        self._listen(self._on_focus, "object:state-changed:focused")
        self._listen(self._on_insert, "object:text-changed:insert")
        self._listen(self._on_change, "object:property-change:accessible-description",
                     "object:property-change:accessible-name")
        self._listen(self._on_announcement, "object:announcement")

    def _listen(self, handler, *kinds):
        listener = self.atspi.EventListener.new(handler)
        for kind in kinds:
            listener.register(kind)
        self.listeners.append(listener)

    def _focused(self, source):
        try:
            source.clear_cache()
            return source.get_state_set().contains(self.atspi.StateType.FOCUSED)
        except self.glib.Error:
            return False

    def _on_focus(self, event):
        if event.detail1 != 1 or not self._focused(event.source):
            return
        try:
            name = event.source.get_name() or ""
        except self.glib.Error:
            name = ""
        self.focus_names.append(name)
        if name:
            self.heard.append(("focus", name))

    def _on_insert(self, event):
        if isinstance(event.any_data, str) and event.any_data.strip() and \
                self._focused(event.source):
            self.heard.append(("inserted", event.any_data))

    def _on_change(self, event):
        if not self._focused(event.source):
            return
        try:
            text = (event.source.get_description() if "description" in event.type
                    else event.source.get_name()) or ""
        except self.glib.Error:
            text = ""
        if text.strip():
            self.heard.append(("description" if "description" in event.type else "name", text))

    def _on_announcement(self, event):
        if isinstance(event.any_data, str) and event.any_data:
            self.heard.append(("announcement", event.any_data))


def walk(atspi, glib, visit, pid=None, max_depth=14):
    """Calls visit(node) for every object in the accessible trees on the desktop (of the
    application of process `pid` only, when given); an object gone meanwhile is passed over."""

    def down(node, depth):
        if node is None or depth > max_depth:
            return
        try:
            visit(node)
            for i in range(node.get_child_count()):
                down(node.get_child_at_index(i), depth + 1)
        except glib.Error:
            pass

    desktop = atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        try:
            if app is None or (pid is not None and app.get_process_id() != pid):
                continue
        except glib.Error:
            continue
        down(app, 0)


def focused_objects(atspi, glib, pid=None):
    """(role name, name) of every FOCUSED object in the accessible trees on the desktop (of the
    application of process `pid` only, when given)."""
    found = []

    def visit(node):
        if node.get_state_set().contains(atspi.StateType.FOCUSED):
            found.append((node.get_role_name(), node.get_name() or ""))

    walk(atspi, glib, visit, pid)
    return found


def stop(children):
    for child in reversed(children):
        if child.poll() is None:
            child.terminate()
            try:
                child.wait(timeout=5)
            except subprocess.TimeoutExpired:
                child.kill()
                child.wait()

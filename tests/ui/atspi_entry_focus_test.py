#!/usr/bin/env python3
"""The entry screen's focus as a screen reader finds it, on a real X server.

In a private D-Bus session it starts Xvfb and openbox and the game at its title, and walks with
the keyboard alone (xdotool) to the entry screen. Each player opens the real file dialog with
読み込み, types a sample file's name and accepts with Enter; a cancelled dialog comes first.
After each dialog and each registration, and on the colosseum, the focused object that the
reader is told of must be the control that the keyboard acts on: FOCUSED, in the ACTIVE window,
and the last to gain the focus. A reader that comes
without the events must find it too: from the desktop to the game, its active frame, and the one
FOCUSED object in it. The window's new title for the second player is told to the reader.

usage: atspi_entry_focus_test.py GAME SAMPLES_DIR  (it runs itself under dbus-run-session)
Exit status 0 passed, 1 failed, 77 skipped (a program or module is missing).
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # nothing written beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import atspi_session  # noqa: E402

try:
    import gi

    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi, GLib
except (ImportError, ValueError) as error:
    atspi_session.skip("python3-gi with gir1.2-atspi-2.0 is needed: %s" % error)

atspi_session.require("Xvfb", "openbox", "xdotool")
atspi_session.run_privately(deadline_s=200)

STEP_S = 15  # each step's wait for the focus, bounded
SETTLE_S = 1  # how long the focus must then stay
# The roles a reader takes for a top-level window it may find the focus in.
WINDOW_ROLES = (Atspi.Role.FRAME, Atspi.Role.DIALOG, Atspi.Role.WINDOW)


class Reader:
    """Follows the focus as a reader does: by the focus events, checked against the states."""

    def __init__(self, env):
        self.env = env
        self.gained = None  # the object that last gained the focus, by its event
        self.listener = Atspi.EventListener.new(self._on_focus)
        self.listener.register("object:state-changed:focused")
        self.renamed = []  # the new names of windows, as the reader is told of them
        self.name_listener = Atspi.EventListener.new(self._on_name)
        self.name_listener.register("object:property-change:accessible-name")

    def _on_focus(self, event):
        if event.detail1 == 1:
            self.gained = event.source

    def _on_name(self, event):
        try:
            if event.source.get_role() in WINDOW_ROLES:
                event.source.clear_cache()
                self.renamed.append(event.source.get_name() or "")
        except GLib.Error:
            pass

    def pump(self, seconds):
        context = GLib.MainContext.default()
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            while context.pending():
                context.iteration(False)
            time.sleep(0.02)

    def key(self, name):
        subprocess.run(["xdotool", "key", name], env=self.env, check=False)

    def focus(self):
        """(name of the object that gained the focus last, whether it is FOCUSED, name of its
        window, whether that window is ACTIVE)."""
        obj = self.gained
        if obj is None:
            return None
        try:
            obj.clear_cache()
            name = obj.get_name() or ""
            focused = obj.get_state_set().contains(Atspi.StateType.FOCUSED)
            window = obj
            while window.get_parent() is not None and \
                    window.get_parent().get_role() != Atspi.Role.APPLICATION:
                window = window.get_parent()
            window.clear_cache()
            return (name, focused, window.get_name() or "",
                    window.get_state_set().contains(Atspi.StateType.ACTIVE))
        except GLib.Error:
            return None

    @staticmethod
    def matches(found, name, window):
        return (found[0], found[2]) == (name, window) and found[1] and found[3]

    def wait_for(self, name, window):
        """Waits until the focus is on `name` in `window` as a reader finds it, and a moment
        more; returns what it then finds."""
        end = time.monotonic() + STEP_S
        found = None
        while time.monotonic() < end:
            self.pump(0.1)
            found = self.focus()
            if found is not None and self.matches(found, name, window):
                # It must stay there, as the keyboard's focus does, not pass through.
                self.pump(SETTLE_S)
                return self.focus()
        return found

    @staticmethod
    def walk(pid):
        """The focus as a reader finds it without events: from the desktop to the application of
        process `pid`, the windows it holds that are ACTIVE frames or dialogs, and every FOCUSED
        object in them. Returns [(window name, [names of its FOCUSED objects])]."""
        found = []
        desktop = Atspi.get_desktop(0)
        try:
            for i in range(desktop.get_child_count()):
                app = desktop.get_child_at_index(i)
                if app is None or app.get_process_id() != pid:
                    continue
                for j in range(app.get_child_count()):
                    window = app.get_child_at_index(j)
                    if window is None or window.get_role() not in WINDOW_ROLES or \
                            not window.get_state_set().contains(Atspi.StateType.ACTIVE):
                        continue
                    focused = []
                    nodes = [window]
                    while nodes:
                        node = nodes.pop()
                        if node.get_state_set().contains(Atspi.StateType.FOCUSED):
                            focused.append(node.get_name() or "")
                        nodes.extend(node.get_child_at_index(k)
                                     for k in range(node.get_child_count()))
                        nodes = [n for n in nodes if n is not None]
                    found.append((window.get_name() or "", focused))
        except GLib.Error as error:
            found.append(("(%s)" % error.message, []))
        return found

    def file_field(self):
        """The file name field of the dialog that has the focus, once it has it."""
        end = time.monotonic() + STEP_S
        while time.monotonic() < end:
            self.pump(0.1)
            obj = self.gained
            try:
                if obj is not None and obj.get_role() == Atspi.Role.TEXT and \
                        "EditableText" in obj.get_interfaces():
                    return obj
            except GLib.Error:
                pass
        return None


def main():
    game, samples = sys.argv[1:3]
    home = tempfile.mkdtemp(prefix="atspi-entry-")
    children = []
    failures = []
    try:
        env = atspi_session.start_desktop(children)
        Atspi.init()
        reader = Reader(env)
        with open(os.path.join(home, "game.out"), "w") as out:
            game_process = subprocess.Popen([game], env=atspi_session.game_environment(env, home),
                                            stdout=out, stderr=subprocess.STDOUT)
            children.append(game_process)

        def expect(moment, name, window):
            found = reader.wait_for(name, window)
            if found is None or not reader.matches(found, name, window):
                failures.append("%s: the reader finds %s, not %s focused in the active %s" %
                                (moment, found, name, window))
                return False
            walked = reader.walk(game_process.pid)
            if walked != [(window, [name])]:
                failures.append("%s: walking from the desktop, the reader finds %s, not %s "
                                "focused in the active frame %s" % (moment, walked, name, window))
                return False
            print("%s: %s in %s" % (moment, found[0], found[2]))
            return True

        def open_dialog():
            reader.key("Return")  # 読み込み
            field = reader.file_field()
            if field is None:
                failures.append("no file dialog took the focus")
            return field

        def load(path):
            field = open_dialog()
            if field is None:
                return False
            # Typed as a player types it: the completer's popup opens and closes on the way.
            subprocess.run(["xdotool", "type", "--delay", "20", path], env=reader.env,
                           check=False)
            reader.pump(0.3)
            reader.key("Return")
            return True

        def enter():  # the focused button
            reader.key("Return")
            return True

        def cancel():
            if open_dialog() is None:
                return False
            reader.key("Escape")
            return True

        first = os.path.join(samples, "pochimaru.dat")
        second = os.path.join(samples, "rendaa.dat")
        steps = [
            ("the title", lambda: True, "スタート", "タイトル"),
            ("the options", enter, "ＶＳバトル", "オプション"),
            ("the entry", enter, "読み込み", "1Ｐｌａｙｅｒ"),
            ("after a cancelled dialog", cancel, "読み込み", "1Ｐｌａｙｅｒ"),
            ("after the first load", lambda: load(first), "登録", "1Ｐｌａｙｅｒ"),
            ("after the first registration", enter, "読み込み", "2Ｐｌａｙｅｒ"),
            ("after the second load", lambda: load(second), "登録", "2Ｐｌａｙｅｒ"),
            ("on the colosseum", enter, "pochimaru.datのポチまるの持ち技", "バトルコロシアム"),
        ]
        for moment, act, name, window in steps:
            if not act() or not expect(moment, name, window):
                break
        # A reader keeps a window's name until it is told of a new one.
        if not failures and "2Ｐｌａｙｅｒ" not in reader.renamed:
            failures.append("the reader was not told the entry window's new title, only %s" %
                            reader.renamed)
        for failure in failures:
            print("FAIL: " + failure)
        if failures:
            with open(os.path.join(home, "game.out")) as out:
                print("the game said:\n" + out.read())
        return 1 if failures else 0
    finally:
        atspi_session.stop(children)
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

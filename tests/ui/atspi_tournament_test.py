#!/usr/bin/env python3
"""The tournament window as a screen reader finds it, on a real X server.

In a private D-Bus session it starts Xvfb and openbox and the window's driver with a tournament
played part way, then walks the window from the desktop: every control (button, check box, combo
box, field, list, table, progress bar, spin box) must have a name, in Japanese; the list of
matches 「試合の一覧」 must hold one item a match, each a sentence with both sides, read in turn.
It does the same for the new-tournament form and for the gathering of the field.

usage: atspi_tournament_test.py DRIVER  (it runs itself under dbus-run-session)
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

atspi_session.require("Xvfb", "openbox")
atspi_session.run_privately(deadline_s=200)

FIND_S = 30  # the wait for the window to appear on the bus

CONTROL_ROLES = {
    Atspi.Role.PUSH_BUTTON, Atspi.Role.CHECK_BOX, Atspi.Role.COMBO_BOX, Atspi.Role.TEXT,
    Atspi.Role.ENTRY, Atspi.Role.LIST, Atspi.Role.TABLE, Atspi.Role.TREE_TABLE, Atspi.Role.TREE,
    Atspi.Role.PROGRESS_BAR, Atspi.Role.SPIN_BUTTON,
}


def japanese(text):
    return any(ord(ch) > 0x2FFF for ch in text)


def showing(node):
    states = node.get_state_set()
    return states.contains(Atspi.StateType.SHOWING)


def find_window(pid, title):
    end = time.monotonic() + FIND_S
    while time.monotonic() < end:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            try:
                if app is None or app.get_process_id() != pid:
                    continue
                for j in range(app.get_child_count()):
                    window = app.get_child_at_index(j)
                    if window is not None and (window.get_name() or "") == title:
                        return window
            except GLib.Error:
                continue
        time.sleep(0.3)
    return None


def walk(window):
    """Every showing node under `window`, depth first, without the items of lists and tables."""
    found = []
    nodes = [window]
    while nodes:
        node = nodes.pop()
        if node is None:
            continue
        found.append(node)
        role = node.get_role()
        if role in (Atspi.Role.LIST, Atspi.Role.TABLE, Atspi.Role.TREE_TABLE, Atspi.Role.TREE,
                    Atspi.Role.COMBO_BOX):
            continue
        nodes.extend(node.get_child_at_index(k) for k in range(node.get_child_count()))
    return [n for n in found if showing(n)]


def check_controls(window, moment, failures):
    named = []
    for node in walk(window):
        role = node.get_role()
        if role not in CONTROL_ROLES:
            continue
        name = node.get_name() or ""
        if not name or not japanese(name):
            failures.append("%s: a %s has no Japanese name (%r)" %
                            (moment, node.get_role_name(), name))
        named.append(name)
    print("%s: %d controls: %s" % (moment, len(named), " / ".join(named)))
    return named


def run_driver(driver, env, home, args):
    out = open(os.path.join(home, "driver.out"), "w+")
    process = subprocess.Popen([driver] + args, env=atspi_session.game_environment(env, home),
                               stdout=out, stderr=subprocess.STDOUT)
    end = time.monotonic() + FIND_S
    while time.monotonic() < end:
        out.seek(0)
        text = out.read()
        if "ready" in text:
            return process, int(text.split("ready", 1)[1].split()[0])
        if process.poll() is not None:
            break
        time.sleep(0.2)
    out.seek(0)
    print("the driver said:\n" + out.read())
    return process, None


def main():
    driver = sys.argv[1]
    home = tempfile.mkdtemp(prefix="atspi-tournament-")
    children = []
    failures = []
    try:
        env = atspi_session.start_desktop(children)
        Atspi.init()

        for moment, args in (("the new tournament", ["--stage", "new"]),
                             ("the gathering", ["--stage", "gathering", "--entries", "6"])):
            process, _ = run_driver(driver, env, home, args)
            children.append(process)
            window = find_window(process.pid, "大会")
            if window is None:
                failures.append("%s: no window 大会 on the bus" % moment)
            else:
                names = check_controls(window, moment, failures)
                expected = "作成" if moment == "the new tournament" else "締め切る"
                if not any(expected in n for n in names):
                    failures.append("%s: no control named with %s" % (moment, expected))
            process.terminate()
            process.wait(timeout=10)

        process, matches = run_driver(
            driver, env, home, ["--stage", "half", "--entries", "8", "--format", "double"])
        children.append(process)
        window = find_window(process.pid, "大会")
        if window is None or matches is None:
            failures.append("the tournament: no window 大会 on the bus")
        else:
            names = check_controls(window, "the tournament", failures)
            for expected in ("次の試合", "一気に", "ページ", "試合の一覧"):
                if not any(expected in n for n in names):
                    failures.append("the tournament: no control named with %s" % expected)
            lists = [n for n in walk(window)
                     if n.get_role() == Atspi.Role.LIST and (n.get_name() or "") == "試合の一覧"]
            if len(lists) != 1:
                failures.append("the tournament: %d lists named 試合の一覧" % len(lists))
            else:
                items = []
                for k in range(lists[0].get_child_count()):
                    item = lists[0].get_child_at_index(k)
                    items.append(item.get_name() or "" if item is not None else "")
                print("the match list, item by item:\n  " + "\n  ".join(items))
                if not items or len(items) > matches:
                    failures.append("the match list has %d items for %d scheduled matches" %
                                    (len(items), matches))
                for text in items:
                    if not japanese(text) or "対" not in text and "不戦" not in text:
                        failures.append("a match reads %r, not a sentence with both sides" % text)
        for failure in failures:
            print("FAIL: " + failure)
        return 1 if failures else 0
    finally:
        atspi_session.stop(children)
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""A battle heard as a screen reader hears it.

In a private D-Bus session (dbus-run-session) it starts Xvfb and openbox, listens on the
accessibility bus as a screen reader does (what gains the focus, text inserted into and new
descriptions and names of the object that is FOCUSED when the event is heard, and
announcements), then starts the game on a fixed seed with two samples. The first turns'
messages, each once, and their blows must be heard in order, as momiru-lab plays the same
battle; walking the tree, the one FOCUSED object is the portrait the keyboard is on.

usage: atspi_battle_test.py GAME LAB SAMPLES_DIR  (it runs itself under dbus-run-session)
Exit status 0 passed, 1 failed, 77 skipped (a program or module is missing).
"""
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # nothing written beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import atspi_session  # noqa: E402

TURNS = 3  # the turns compared with momiru-lab
DEADLINE_S = 90  # the whole listening, bounded

try:
    import gi

    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi, GLib
except (ImportError, ValueError) as error:
    atspi_session.skip("python3-gi with gir1.2-atspi-2.0 is needed: %s" % error)

atspi_session.require("Xvfb", "openbox")
atspi_session.run_privately(deadline_s=DEADLINE_S + 120)


def expected_lines(lab, replay_line):
    """The log lines momiru-lab prints for the battle the game said it played."""
    words = shlex.split(replay_line.split("  #")[0])
    result = subprocess.run([lab] + words[1:], capture_output=True, text=True, timeout=60)
    lines = result.stdout.splitlines()
    # The log box: heading, names, an empty line, then the log up to the empty line before the
    # outcome.
    log = []
    for line in lines[3:]:
        if not line:
            break
        log.append(line)
    return log


def gauges_seen():
    """(name, value, maximum) of each progress bar in the accessible trees on the desktop, and
    whether a damage popup is shown to the reader."""
    found = []
    popup_shown = []

    def visit(node):
        if node.get_name() == "ダメージ" and node.get_state_set().contains(Atspi.StateType.SHOWING):
            popup_shown.append(node.get_role_name())
        if node.get_role() == Atspi.Role.PROGRESS_BAR:
            value = node.get_value_iface()
            if value is not None:
                found.append((node.get_name(), value.get_current_value(), value.get_maximum_value()))

    atspi_session.walk(Atspi, GLib, visit, max_depth=12)
    return [g for g in found if g[0].endswith("の時間ゲージ")], bool(popup_shown)


def main():
    game, lab, samples = sys.argv[1:4]
    tmp = tempfile.mkdtemp(prefix="atspi-battle-")
    children = []
    try:
        env = atspi_session.start_desktop(children)
        Atspi.init()

        reader = atspi_session.Listener(Atspi, GLib)
        heard = reader.heard

        game_env = atspi_session.game_environment(env, tmp)
        out_path = os.path.join(tmp, "game.out")
        with open(out_path, "w") as out:
            game_process = subprocess.Popen(
                [game, os.path.join(samples, "pochimaru.dat"), os.path.join(samples, "rendaa.dat"),
                 "--seed", "7"], env=game_env, stdout=out, stderr=subprocess.STDOUT)
        children.append(game_process)

        loop = GLib.MainLoop()
        started = time.monotonic()

        def enough():
            hits_heard = sum(text.count("回ヒットした！") for _, text in heard)
            return hits_heard >= TURNS

        def check():
            if enough() or game_process.poll() is not None or \
                    time.monotonic() - started > DEADLINE_S:
                loop.quit()
                return False
            return True

        GLib.timeout_add(100, check)
        loop.run()

        gauges, popup_shown = gauges_seen() if game_process.poll() is None else ([], False)
        focused_seen = atspi_session.focused_objects(Atspi, GLib, game_process.pid) \
            if game_process.poll() is None else []

        with open(out_path) as out:
            output = out.read()
        replay = next((line for line in output.splitlines()
                       if line.startswith("momiru-lab battle")), None)
        if replay is None:
            print("the game did not say which battle it played:\n" + output)
            return 1
        expected = expected_lines(lab, replay)

        focus_names = reader.focus_names
        print("focus went first to: " + " | ".join(focus_names[:2]))
        print("heard:")
        for kind, text in heard:
            print("  %s: %s" % (kind, text))

        print("gauges: " + ", ".join("%s %s/%s" % g for g in gauges))
        failures = []
        if popup_shown:
            failures.append("the damage popup is shown to the reader besides the message")
        if len(gauges) != 2:
            failures.append("the two time gauges are not progress bars with a value")
        if not any(name.endswith("の持ち技") for name in focus_names):
            failures.append("the focus never reached a portrait")
        # Walking the tree, a reader finds one focused object: the portrait the keyboard is on.
        print("focused in the tree: %s" % focused_seen)
        if len(focused_seen) != 1 or focused_seen[0][0] != "push button" or \
                not focused_seen[0][1].endswith("の持ち技"):
            failures.append("walking the tree, the reader finds %s focused, not one portrait" %
                            focused_seen)
        stream = "\n".join(text for _, text in heard)
        listened = []
        for line in expected:
            listened.append(line)
            if sum(x.endswith("回ヒットした！") for x in listened) > TURNS:
                break
        at = 0
        turns = 0
        for line in expected:
            found = stream.find(line, at)
            if found < 0:
                failures.append("not heard in order: " + line)
                break
            # A message is heard once, as it appears: no more often than the log has it in the
            # turns listened to (one more turn may have begun when the listening stopped).
            if stream.count(line) > listened.count(line):
                failures.append("heard %d times: %s" % (stream.count(line), line))
                break
            at = found + len(line)
            if "のダメージ！！" in line:
                who, damage = line[:-len("のダメージ！！")].rsplit("は、", 1)
                words = stream.find(who + "の", at)
                blow = stream.find("に" + damage + "のダメージ", at)
                if words < 0 or blow < 0:
                    failures.append("no blow in words after: " + line)
                    break
            elif line.startswith("MISS"):
                if stream.find("への攻撃は外れた", at) < 0:
                    failures.append("no miss in words after: " + line)
                    break
            if line.endswith("回ヒットした！"):
                turns += 1
                if turns == TURNS:
                    break
        if turns < TURNS and not failures:
            failures.append("only %d turns heard" % turns)
        for failure in failures:
            print("FAIL: " + failure)
        return 1 if failures else 0
    finally:
        atspi_session.stop(children)
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

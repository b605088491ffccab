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


def stop(children):
    for child in reversed(children):
        if child.poll() is None:
            child.terminate()
            try:
                child.wait(timeout=5)
            except subprocess.TimeoutExpired:
                child.kill()
                child.wait()

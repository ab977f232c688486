"""The screen reader Orca and Tambrel on one desktop, driven as a user would.

Expects a display and a private session bus (see run-with-orca.sh); the
accessibility bus is started on demand by that session bus. Used by the
end-to-end test beside it and by bench/screen_reader.py.
"""
import datetime
import os
import re
import shutil
import subprocess
import tempfile
import threading
import time

# "17:14:07.928739 - SPEECH OUTPUT: 'notification 1 value: 5.'{...}"; an
# utterance of several lines goes on in lines indented by 18 spaces.
SPEECH = re.compile(r"^(\d\d:\d\d:\d\d\.\d+) - SPEECH OUTPUT: '(.*)'\s*(\{.*\})?$", re.DOTALL)
CONTINUED = " " * 18

# Where Orca moves its focus, as each version logs it, the name last:
# Orca 43 (Debian 12), "ORCA: Changing locusOfFocus from [...] to
# [push button | Generate Number]."; Orca 48 (Debian 13), "FOCUS MANAGER:
# Changing locus of focus from [...] to [button: 'Generate Number']. Notify:".
FOCUS = (re.compile(r" - ORCA: Changing locusOfFocus from .* to \[(.*?) \| (.*?)\]"),
         re.compile(r" - FOCUS MANAGER: Changing locus of focus from .* to \[([^]:]*)(?:: '(.*)')?\]\. Notify:"))
# The role of a push button, as each version speaks it.
BUTTON = ("push button", "button")

# A message box's button as Orca names it: "OK push button".
OK_BUTTON = re.compile(r"\bOK (push )?button\b")

# Where the controls stand, in pixels of the window's client area, and the
# names they are spoken by.
CONTROLS = {"txtNum": (272, 64, 45, 25), "cmdGenerate": (12, 144, 61, 33),
            "cmdSum": (172, 144, 41, 17), "cmdAvg": (212, 144, 41, 17)}
CAPTIONS = {"txtNum": "Enter a Number", "cmdGenerate": "Generate Number",
            "cmdSum": "Sum", "cmdAvg": "Avg"}


def _today_at(clock: str) -> float:
    moment = datetime.datetime.combine(datetime.date.today(),
                                       datetime.time.fromisoformat(clock))
    return moment.timestamp()


def other_orcas():
    """The Orcas this user runs, found as Orca finds them before it starts:
    it allows one per user, and quits if there is another."""
    found = subprocess.run(["pgrep", "-u", str(os.getuid()), "-x", "orca"],
                           capture_output=True, text=True)
    return found.stdout.split()


class OtherOrca(Exception):
    """Another Orca of this user runs: not ours to replace or stop."""


class Orca:
    """Orca with a debug log of its own, in a home of its own. Raises
    OtherOrca when Orca quits because another of this user runs."""

    def __init__(self):
        self.home = tempfile.mkdtemp(prefix="orca-home-")
        self.log = os.path.join(self.home, "orca-debug.log")
        self.output = os.path.join(self.home, "orca-output.log")
        # Orca writes its debug file block by block, so a regular file shows
        # an utterance only once kilobytes more have followed it. Through a
        # terminal it writes line by line; a thread copies the lines out.
        master, terminal = os.openpty()
        self._lines = []
        self._lock = threading.Lock()
        self._reader = threading.Thread(target=self._read, args=(master,), daemon=True)
        self._reader.start()
        # No synthesizer is needed to read what Orca says: its debug log has
        # every utterance. Speech Dispatcher's autospawn can hang on a
        # daemon that keeps its pipes open, so it is told not to start one.
        env = dict(os.environ, HOME=self.home, SPEECHD_CMD=shutil.which("false"),
                   XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   XDG_DATA_HOME=os.path.join(self.home, ".local/share"),
                   XDG_CACHE_HOME=os.path.join(self.home, ".cache"),
                   XDG_STATE_HOME=os.path.join(self.home, ".local/state"))
        with open(self.output, "wb") as output:
            self.process = subprocess.Popen(["orca", "--debug-file", os.ttyname(terminal)], env=env,
                                            stdout=output, stderr=subprocess.STDOUT)
        # Held open until Orca has ended: a terminal with no end open on it
        # reads as closed, and the copying would stop before Orca began.
        self._terminal = terminal
        try:
            self.wait_for(lambda text: text.startswith("Screen reader on"), timeout=60)
        except AssertionError:
            others = other_orcas() if self.process.poll() is not None else []
            if not others:
                self.show_tails()
            self.stop()
            if others:
                raise OtherOrca(f"Orca quit beside another Orca of this user (pid {' '.join(others)}), "
                                "which it may not replace") from None
            raise

    def _read(self, master):
        pending = b""
        with open(self.log, "wb") as log:
            while True:
                try:
                    chunk = os.read(master, 65536)
                except OSError:  # the terminal closes when Orca ends
                    break
                if not chunk:
                    break
                log.write(chunk)
                pending += chunk
                *lines, pending = pending.split(b"\n")
                with self._lock:
                    self._lines.extend(line.decode("utf-8", "replace").rstrip("\r") for line in lines)
        os.close(master)

    def speech(self):
        """Every utterance so far, as (wall-clock time, text)."""
        with self._lock:
            lines = list(self._lines)
        spoken = []
        for index, line in enumerate(lines):
            if " - SPEECH OUTPUT: '" not in line:
                continue
            following = index + 1
            while following < len(lines) and lines[following].startswith(CONTINUED):
                line += "\n" + lines[following][len(CONTINUED):]
                following += 1
            match = SPEECH.match(line)
            if match:
                spoken.append((_today_at(match.group(1)), match.group(2)))
        return spoken

    def lines(self):
        with self._lock:
            return len(self._lines)

    def log_since(self, since):
        with self._lock:
            return self._lines[since:]

    def wait_for_focus(self, since, timeout=20.0, leaving=None):
        """The name of the first object Orca moves its focus to after line
        `since` of its log; with `leaving`, the first not of that name."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            with self._lock:
                lines = self._lines[since:]
            for line in lines:
                for pattern in FOCUS:
                    match = pattern.search(line)
                    if match and (match.group(2) or "") != leaving:
                        return match.group(2) or ""
            time.sleep(0.02)
        raise AssertionError(f"Orca's focus did not move within {timeout} s")

    def wait_for(self, wanted, since=0, timeout=20.0):
        """The first utterance from index `since` on for which wanted(text)
        holds, as (index, time, text); raises if none comes in time."""
        deadline = time.monotonic() + timeout
        while True:
            spoken = self.speech()
            for index in range(since, len(spoken)):
                if wanted(spoken[index][1]):
                    return index, spoken[index][0], spoken[index][1]
            if time.monotonic() > deadline:
                said = "\n  ".join(text for _, text in spoken[max(0, since - 10):])
                raise AssertionError(f"not spoken within {timeout} s; spoken instead:\n  {said}")
            if self.process.poll() is not None:
                raise AssertionError(f"orca ended with status {self.process.returncode}")
            time.sleep(0.02)

    def show_tails(self, count=20):
        """The last lines of Orca's own output and of its debug log, to tell
        why it ended or what it heard last."""
        with open(self.output, errors="replace") as output:
            said = output.read().splitlines()
        with self._lock:
            logged = list(self._lines)
        for title, lines in (("Orca's output", said), ("Orca's debug log", logged)):
            print(f"--- the last {min(count, len(lines))} of {len(lines)} lines of {title}:")
            for line in lines[-count:]:
                print("  " + (line if len(line) <= 300 else line[:300] + " [...]"))

    def stop(self):
        _end(self.process)
        os.close(self._terminal)
        self._reader.join(timeout=5)
        # KEEP_ORCA_LOG=FILE keeps Orca's whole log for a look afterwards.
        if os.environ.get("KEEP_ORCA_LOG"):
            shutil.copy(self.log, os.environ["KEEP_ORCA_LOG"])
        shutil.rmtree(self.home, ignore_errors=True)


def _end(process):
    """Asks a process of ours to end, and makes it if it will not."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


# Run by Debian's own Python, whose AT-SPI bindings Orca uses too: the
# names and descriptions of a process's dialog and everything in it.
_DIALOG_TEXTS = """
import sys, gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi
desktop = Atspi.get_desktop(0)
apps = [desktop.get_child_at_index(i) for i in range(desktop.get_child_count())]
app = next(a for a in apps if a and a.get_process_id() == int(sys.argv[1]))
def walk(node):
    yield node
    for i in range(node.get_child_count()):
        yield from walk(node.get_child_at_index(i))
for window in (app.get_child_at_index(i) for i in range(app.get_child_count())):
    if window.get_role() in (Atspi.Role.DIALOG, Atspi.Role.ALERT):
        for node in walk(window):
            for text in (node.get_name(), node.get_description()):
                if text:
                    sys.stdout.write(text + "\\0")
"""


def xdotool(*args) -> str:
    return subprocess.run(["xdotool", *args], check=True, capture_output=True, text=True,
                          timeout=30).stdout.strip()


class Tambrel:
    """The real program in its own process, its window found by its title."""

    def __init__(self, binary, env=None):
        self.process = subprocess.Popen([binary], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL,
                                        env=dict(os.environ, **(env or {})))
        deadline = time.monotonic() + 30
        self.window = ""
        while not self.window:
            found = subprocess.run(["xdotool", "search", "--name", "^Tambrel Generation$"],
                                   capture_output=True, text=True)
            self.window = found.stdout.split()[0] if found.stdout.split() else ""
            if time.monotonic() > deadline:
                raise AssertionError("the window did not appear")
            time.sleep(0.05)
        xdotool("windowactivate", "--sync", self.window)

    def keys(self, *keys):
        xdotool("key", "--clearmodifiers", "--delay", "60", *keys)

    def type(self, text):
        xdotool("type", "--delay", "60", text)

    def tab_to(self, orca, control, key="Tab"):
        """Moves the focus with Tab (or Shift+Tab) until it reaches
        `control`; each step waits for Orca to follow the focus, so keys never
        run ahead of the window."""
        for _ in range(20):
            mark = orca.lines()
            self.keys(key)
            if orca.wait_for_focus(since=mark).startswith(control):
                return
        raise AssertionError(f"{control} was never focused")

    def roll_from_keyboard(self, orca, times):
        """From the number box back to the times box to set the count, on
        to "Generate Number" and Space; returns the index of the first
        utterance after the key."""
        self.tab_to(orca, "Enter Amount of times", "shift+Tab")
        self.keys("ctrl+a")
        self.type(times)
        self.tab_to(orca, "Generate Number")
        mark = len(orca.speech())
        self.space_pressed_at = time.time()
        self.keys("space")
        return mark

    def accessible_texts(self):
        """Every name and description that the program's open dialog gives
        on the accessibility bus, as a screen reader reads them."""
        found = subprocess.run(["/usr/bin/python3", "-c", _DIALOG_TEXTS, str(self.process.pid)],
                               capture_output=True, text=True, timeout=30)
        if found.returncode != 0:
            raise AssertionError(f"AT-SPI could not be read: {found.stderr.strip()}")
        return found.stdout.split("\0")[:-1]

    def click(self, control, hold=0.1):
        left, top, width, height = CONTROLS[control]
        self.click_at(left + width // 2, top + height // 2, hold)

    def message_box(self, orca, control, text, unhurried=False):
        """Clicks `control`, which opens a message box, and closes the box
        with Return once Orca has spoken its button. Returns whether the
        box's `text` was spoken while the box was open, and what was said. The next click may follow as soon as Orca has left the box,
        while it still reads the window, as a user who knows the program
        clicks, and quickly; `unhurried` waits until Orca has named the
        control again."""
        mark = len(orca.speech())
        self.click(control, hold=0)
        button, _, _ = orca.wait_for(lambda said: OK_BUTTON.search(said), since=mark)
        lines = orca.lines()
        self.keys("Return")
        # Orca says all it has for the box before it echoes the key.
        echo, _, _ = orca.wait_for(lambda said: said.strip().lower() == "return", since=button)
        said = [utterance for _, utterance in orca.speech()[mark:echo]]
        if unhurried:
            orca.wait_for(lambda utterance: CAPTIONS[control] in utterance, since=echo)
        else:
            # Orca may log the focus on OK after saying it: the box has
            # closed only once the focus has left OK.
            orca.wait_for_focus(since=lines, leaving="OK")
        return any(text in utterance for utterance in said), said

    def click_at(self, x, y, hold=0.1):
        """A click as a person makes it, the button held for a tenth of a
        second: Orca handles the press before the release opens anything.
        A quick click (`hold` 0) may open a box before Orca has handled the
        press."""
        xdotool("mousemove", "--window", self.window, str(x), str(y), "mousedown", "1",
                "sleep", str(hold), "mouseup", "1")

    def size(self):
        geometry = xdotool("getwindowgeometry", "--shell", self.window)
        fields = dict(line.split("=", 1) for line in geometry.splitlines() if "=" in line)
        return int(fields["WIDTH"]), int(fields["HEIGHT"])

    def maximise(self):
        """Maximised by the window manager, as by its title bar; returns once
        the window has its new size."""
        before = self.size()
        subprocess.run(["wmctrl", "-i", "-r", self.window, "-b", "add,maximized_vert,maximized_horz"],
                       check=True)
        deadline = time.monotonic() + 20
        while self.size() == before:
            if time.monotonic() > deadline:
                raise AssertionError("the window was not maximised")
            time.sleep(0.05)

    def clipboard(self) -> str:
        return subprocess.run(["xclip", "-selection", "clipboard", "-o"], check=True,
                              capture_output=True, text=True, timeout=10).stdout

    def stop(self):
        _end(self.process)

"""A virtual X screen for the end-to-end tests: Xvfb with a window manager (openbox) and a US + Russian keyboard
layout, screenshots with ImageMagick's `import`, and the pupil's mouse and keyboard through `xdotool`.

Mouse positions are given in the program's 800x600 coordinates and mapped onto the screen through the letterbox,
so the same scenario drives an 800x600 screen and a 1920x1080 one.
"""

import os
import shutil
import subprocess
import time

from . import image


class SetupError(Exception):
    """A tool the tests need is missing or does not start."""


def Need(*programs: str) -> None:
    missing = [p for p in programs if shutil.which(p) is None]
    if missing:
        raise SetupError("missing programs: " + ", ".join(missing)
                         + " (Debian packages xvfb, xdotool, imagemagick, openbox, x11-xkb-utils)")


class Display:
    def __init__(self, width: int = 800, height: int = 600, log=None):
        Need("Xvfb", "xdotool", "import", "openbox", "setxkbmap")
        self.width = width
        self.height = height
        self.log = log
        self.processes = []
        read, write = os.pipe()
        # -displayfd: the server picks a free display number and writes it to the pipe once it accepts clients.
        # -ardelay: no auto-repeat of its own, even when a busy machine delays the release of a key xdotool pressed
        # (a repeated F1 would close the instruction it just opened).
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", f"{width}x{height}x24",
                                 "-nolisten", "tcp", "-noreset", "-ardelay", "600000"], pass_fds=(write,),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        self.processes.append(xvfb)
        number = b""
        with os.fdopen(read, "rb") as pipe:
            number = pipe.readline().strip()
        if not number:
            self.Close()
            raise SetupError("Xvfb did not start")
        self.name = ":" + number.decode()
        self.environment = dict(os.environ, DISPLAY=self.name)
        # Two layouts, so that Cyrillic letters have keys of their own and typing them needs no remapping of keys
        # while the program reads the keyboard.
        self.Run(["setxkbmap", "-layout", "us,ru", "-option", ""])
        # Without a window manager SDL waits in vain for the answer to its full-screen request.
        wm = subprocess.Popen(["openbox"], env=self.environment,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(wm)
        deadline = time.monotonic() + 20
        while not self._WindowManagerRunning():
            if time.monotonic() > deadline:
                self.Close()
                raise SetupError("openbox did not start")
            time.sleep(0.05)

    def _WindowManagerRunning(self) -> bool:
        out = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.environment,
                             capture_output=True, text=True)
        return "window id" in out.stdout

    def Run(self, argv: list) -> str:
        out = subprocess.run(argv, env=self.environment, capture_output=True, text=True, timeout=60)
        if out.returncode != 0:
            raise SetupError(f"{' '.join(argv)} failed: {out.stderr.strip()}")
        return out.stdout

    def Close(self) -> None:
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self.processes = []

    # Screen ---------------------------------------------------------------------------------------------------------

    def Screenshot(self) -> image.Screenshot:
        out = subprocess.run(["import", "-display", self.name, "-window", "root", "-depth", "8", "rgb:-"],
                             capture_output=True, timeout=60)
        if out.returncode != 0 or len(out.stdout) != self.width * self.height * 3:
            raise SetupError("import could not read the screen: " + out.stderr.decode(errors="replace"))
        return image.Screenshot(self.width, self.height, out.stdout)

    def View(self) -> image.GameView:
        return image.GameView(self.Screenshot())

    # Mouse and keyboard ---------------------------------------------------------------------------------------------

    def ScreenPoint(self, x: float, y: float) -> tuple:
        left, top, scale = image.Letterbox(self.width, self.height)
        return left + int((x + 0.5) * scale), top + int((y + 0.5) * scale)

    def Xdotool(self, *args) -> None:
        self.Run(["xdotool"] + [str(a) for a in args])

    def MoveTo(self, x: float, y: float) -> None:
        self.Xdotool("mousemove", *self.ScreenPoint(x, y))

    def Click(self, x: float, y: float) -> None:
        # The move comes first, on its own: the program's controls learn what is under the mouse from moves.
        self.MoveTo(x, y)
        self.Xdotool("click", 1)

    def Drag(self, start: tuple, end: tuple, steps: int = 8, press: bool = True, release: bool = True) -> None:
        """Presses the left button at start (unless it is held already), moves in steps to end and releases it
        there (unless asked to keep holding it)."""
        args = []
        if press:
            self.MoveTo(*start)
            args += ["mousedown", 1]
        for i in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * i / steps
            y = start[1] + (end[1] - start[1]) * i / steps
            args += ["mousemove", *self.ScreenPoint(x, y)]
        if release:
            args += ["mouseup", 1]
        self.Xdotool(*args)

    def Key(self, *keys: str) -> None:
        self.Xdotool("key", "--delay", 60, *keys)

    def Type(self, text: str) -> None:
        """Types text as the pupil would, one key a letter. Every letter of the text is on a key of the US or the
        Russian layout, so xdotool finds each keysym on the keyboard and switches the layout group as it goes,
        instead of borrowing a spare key and remapping it for each letter (which a program reading the keyboard at
        the same moment may see half done)."""
        self.Xdotool("type", "--delay", 80, text)

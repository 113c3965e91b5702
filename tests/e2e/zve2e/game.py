"""The real program under test: started on a virtual screen with its results in a scratch folder and its sound
written to a file, watched through screenshots, and left behind with a screenshot and its log when a check fails.
"""

import signal
import struct
import subprocess
import time
from pathlib import Path

from . import image

WorkbookName = "00917 Игра «Звонкары».xls"
SampleRate = 44100
FrameBytes = 4  # 16-bit stereo


class Failure(Exception):
    """A check of a scenario failed."""


class Pictures:
    """The program's own pictures (data/pictures), by resource or skin name."""

    def __init__(self, root: Path):
        self.files = {p.stem: p for p in (root / "data" / "pictures").rglob("*.png")}
        self.cache = {}

    def Get(self, name: str) -> image.Picture:
        if name not in self.cache:
            self.cache[name] = image.ReadPng(self.files[name])
        return self.cache[name]


class Game:
    """One run of zvonkary."""

    def __init__(self, program: Path, display, folder: Path, extraEnvironment: dict = None, name: str = "game"):
        self.display = display
        self.folder = folder
        self.results = folder / "results"
        self.results.mkdir(parents=True, exist_ok=True)
        home = folder / "home"
        home.mkdir(exist_ok=True)
        self.audio = folder / f"{name}-audio.raw"
        self.logPath = folder / f"{name}.log"
        environment = dict(display.environment)
        for variable in ("LPDEST", "PRINTER", "XDG_DATA_HOME", "SDL_VIDEODRIVER", "SDL_RENDER_DRIVER"):
            environment.pop(variable, None)
        environment.update({
            "HOME": str(home),
            "ZVONKARY_RESULTS_DIR": str(self.results),
            "ZVONKARY_DEBUG": "1",
            "SDL_AUDIODRIVER": "disk",
            "SDL_DISKAUDIOFILE": str(self.audio),
            # The window manager's close and the X server's end are part of the tests; leaks of the libraries
            # under a sanitizer build are not.
            "ASAN_OPTIONS": "detect_leaks=0",
        })
        environment.update(extraEnvironment or {})
        self.log = open(self.logPath, "wb")
        self.process = subprocess.Popen([str(program)], env=environment, stdout=self.log, stderr=subprocess.STDOUT,
                                        cwd=str(folder))

    @property
    def workbook(self) -> Path:
        return self.results / WorkbookName

    def Running(self) -> bool:
        return self.process.poll() is None

    def WaitForExit(self, timeout: float = 30) -> int:
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"the program did not end within {timeout} s")

    def Kill(self) -> None:
        if self.Running():
            self.process.send_signal(signal.SIGKILL)
            self.process.wait()

    def Stop(self) -> None:
        if self.Running():
            self.process.terminate()
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.Kill()
        self.log.close()

    def LogText(self) -> str:
        self.log.flush()
        return self.logPath.read_text(errors="replace")

    # Sound ----------------------------------------------------------------------------------------------------------

    def AudioFrames(self) -> int:
        """How many sample frames the program has written to its sound file so far."""
        try:
            return self.audio.stat().st_size // FrameBytes
        except FileNotFoundError:
            return 0

    def Peak(self, first: int, last: int) -> int:
        """The largest absolute sample between two frame positions of the sound file."""
        with open(self.audio, "rb") as f:
            f.seek(first * FrameBytes)
            data = f.read(max(0, last - first) * FrameBytes)
        data = data[:len(data) // 2 * 2]
        if not data:
            return 0
        samples = struct.unpack(f"<{len(data) // 2}h", data)
        return max(abs(s) for s in samples)


def WaitFor(what: str, condition, timeout: float, interval: float = 0.05):
    """Polls condition() until it returns something true and returns that; Failure naming `what` after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)

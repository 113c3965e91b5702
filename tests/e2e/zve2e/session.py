"""A scenario's session: a virtual screen, the program (one run or several), and what a failure leaves behind.

Waiting is on what the screen shows (screenshots polled until a check passes), on the sound file and on files, never
on fixed sleeps. When a step fails, the session saves the last screenshot, a fresh one and the program's log in the
scenario's output folder and names them in the error.
"""

import shutil
import tempfile
import time
from pathlib import Path

from . import board as boardModule
from .display import Display
from .game import Failure, Game, Pictures, WaitFor
from .screens import Screens

Root = Path(__file__).resolve().parents[3]

# Generous limits: the program may run under sanitizers on a busy machine.
StartTimeout = 60
ScreenTimeout = 30


class Session:
    def __init__(self, program: Path, output: Path, width: int = 800, height: int = 600):
        self.program = Path(program).resolve()
        self.output = Path(output)
        if self.output.exists():
            shutil.rmtree(self.output)
        self.output.mkdir(parents=True)
        self.scratch = Path(tempfile.mkdtemp(prefix="zv-e2e-"))
        self.pictures = Pictures(Root)
        self.screens = Screens(self.pictures)
        self.display = Display(width, height)
        self.game = None
        self.games = []
        self.lastView = None
        self.step = "start"

    # Lifecycle ------------------------------------------------------------------------------------------------------

    def Start(self, extraEnvironment: dict = None) -> Game:
        self.Step("the program starts")
        self.game = Game(self.program, self.display, self.scratch, extraEnvironment, name=f"game{len(self.games) + 1}")
        self.games.append(self.game)
        return self.game

    def Close(self, failed: bool) -> None:
        if failed:
            self.SaveArtefacts()
        for game in self.games:
            game.Stop()
        self.display.Close()
        if failed:
            for game in self.games:
                for path in (game.logPath,):
                    if path.exists():
                        shutil.copy(path, self.output / path.name)
        shutil.rmtree(self.scratch, ignore_errors=True)

    def SaveArtefacts(self) -> None:
        try:
            if self.lastView is not None:
                self.lastView.shot.Save(self.output / "last-checked.png")
            self.display.Screenshot().Save(self.output / "at-failure.png")
        except Exception as error:  # the screen itself may be what failed
            (self.output / "screenshot-error.txt").write_text(str(error))
        for game in self.games:
            if game.workbook.exists():
                shutil.copy(game.workbook, self.output / "workbook.xls")

    def Step(self, text: str) -> None:
        self.step = text
        print(f"[{time.strftime('%H:%M:%S')}] {text}", flush=True)

    # Looking --------------------------------------------------------------------------------------------------------

    def View(self):
        self.lastView = self.display.View()
        return self.lastView

    def WaitForScreen(self, what: str, check, timeout: float = ScreenTimeout):
        """Polls screenshots until check(view) is true; returns that view."""
        def Look():
            if self.game is not None and not self.game.Running():
                raise Failure(f"the program ended (exit status {self.game.process.returncode}) while waiting for {what}")
            view = self.View()
            return view if check(view) else None
        started = time.monotonic()
        view = WaitFor(what, Look, timeout, interval=0.1)
        print(f"    saw {what} after {time.monotonic() - started:.1f} s", flush=True)
        return view

    def Save(self, view, name: str) -> Path:
        path = self.output / name
        view.shot.Save(path)
        return path

    # The pupil's steps ----------------------------------------------------------------------------------------------

    def WaitForStartPopup(self):
        return self.WaitForScreen("the start popup", self.screens.StartPopup, StartTimeout)

    def EnterName(self, name: str) -> None:
        self.Step(f"types the name {name!r}")
        if name:
            self.display.Type(name)

    def StartAttempt(self) -> None:
        """Enter on the start popup: the instruction opens (the popup goes)."""
        self.Step("Enter on the start popup")
        self.display.Key("Return")
        self.WaitForScreen("the start popup to close", lambda v: not self.screens.StartPopup(v))

    def SkipInstruction(self):
        """Esc skips the first instruction; returns the board that the exercise shows."""
        self.Step("Esc skips the instruction")
        before = int(time.time())
        self.display.Key("Escape")
        return self.WaitForBoard(before)

    def WaitForBoard(self, since: int):
        """Waits for the exercise board built at or after the calendar second `since`."""
        found = {}

        def Check(view):
            if not self.screens.Wall(view):
                return False
            board = boardModule.FindBoard(self.pictures, view, range(since - 1, int(time.time()) + 1))
            if board:
                found["board"] = board
            return board is not None
        self.WaitForScreen("the exercise board with its bank", Check)
        return found["board"]

    def PressGramophone(self, board) -> None:
        """The gramophone's button; its melody must reach the sound file."""
        game = self.game
        self.Step("waits for silence on the idle board")

        def Silent():
            end = game.AudioFrames()
            return end > 11025 and game.Peak(end - 11025, end) < 64
        WaitFor("the idle board to be silent", Silent, ScreenTimeout)
        self.Step("presses the gramophone's button")
        start = game.AudioFrames()
        self.display.Click(*boardModule.GramophoneButton)

        def Loud():
            end = game.AudioFrames()
            return end > start and game.Peak(start, end) > 2000
        WaitFor("the gramophone's melody in the sound file", Loud, ScreenTimeout)

    def PlaceBrick(self, board, brick, slotX: int, slotY: int) -> None:
        """Drags a brick from where it lies onto a staff slot and checks that it snapped there."""
        self.Step(f"drags brick {brick.sound} to ({slotX}, {slotY})")
        w, h = board.Size(brick)
        grabX, grabY = w // 2, h // 2
        start = (brick.x + grabX, brick.y + grabY)
        # Let go with the brick's corner a little right of and below the slot's corner: over that slot.
        end = (slotX + 3 + grabX, slotY + 3 + grabY)
        self.display.Drag(start, end)
        self.WaitForScreen(f"brick {brick.sound} in its slot at ({slotX}, {slotY})",
                           lambda v: board.BrickShown(v, brick, slotX, slotY))
        brick.x, brick.y = slotX, slotY

    def BuildMelody(self, board) -> None:
        for brick, x, y in board.Melody():
            self.PlaceBrick(board, brick, x, y)

    def PlayStaffToPraise(self) -> None:
        """Plays the staff, and when the playhead runs presses the button again: with the melody in place the
        praise follows."""
        self.Step("plays the staff")
        self.display.Click(*boardModule.StaffPlayButton)
        self.WaitForScreen("the staff's playhead", boardModule.PlayheadShown)
        self.Step("stops the staff")
        self.display.Click(*boardModule.StaffPlayButton)
        self.WaitForScreen("the praise", self.screens.Praise)

    def WaitForResults(self):
        return self.WaitForScreen("the result screen", self.screens.ResultScreen)

    def Press(self, button: tuple) -> None:
        self.Step(f"clicks {button[0]}")
        self.display.Click(*self.screens.Middle(button))

    def WaitForExit(self) -> None:
        self.Step("waits for the program to end")
        status = self.game.WaitForExit(ScreenTimeout)
        if status != 0:
            raise Failure(f"the program ended with status {status}")


def Run(scenario, program: Path, output: Path, width: int = 800, height: int = 600) -> int:
    """Runs scenario(session); prints where the artefacts are on failure. Exit status for CTest."""
    started = time.monotonic()
    session = Session(program, output, width, height)
    failed = True
    try:
        scenario(session)
        failed = False
    except Failure as error:
        print(f"FAILED at step '{session.step}': {error}")
    except Exception as error:
        print(f"ERROR at step '{session.step}': {type(error).__name__}: {error}")
        raise
    finally:
        session.Close(failed)
        if failed:
            print(f"screenshots and the program's log are in {output}")
        print(f"took {time.monotonic() - started:.1f} s")
    return 1 if failed else 0

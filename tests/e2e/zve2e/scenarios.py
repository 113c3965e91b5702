"""The end-to-end scenarios: a pupil plays whole attempts with the real program."""

import datetime
import time

from . import printing, workbook
from .game import Failure, WaitFor
from .screens import (NeutralSpot, PanelCancel, PanelClose, PrinterOk, ResultExit, ResultPrint, ResultSaveAs,
                      SaveAsOk)


def Now() -> datetime.datetime:
    return datetime.datetime.now()


def PlayToResults(s, board) -> None:
    """Rebuilds the melody on the board, plays it, and waits through the praise to the result screen."""
    s.BuildMelody(board)
    s.PlayStaffToPraise()
    s.WaitForResults()


def BeginAttempt(s, name: str):
    """From the start popup through the instruction to the board: (board, the moments around its start). The
    harness's clock `s.began` starts before the step does, so the time the program measures is at most as long."""
    s.WaitForStartPopup()
    s.EnterName(name)
    s.StartAttempt()
    before = Now()
    s.began = time.monotonic()
    board = s.SkipInstruction()
    return board, before, Now()


def Worked(s) -> int:
    """The most whole seconds the program can count for the attempt that started at s.began."""
    return int(time.monotonic() - s.began) + 2


def CloseFromExitPanelAndCheck(s, game, name: str, attempts) -> None:
    """F12 and Close on the exit panel end the program; the workbook holds `attempts` for `name`."""
    s.Step("F12, Close")
    s.display.Key("F12")
    s.WaitForScreen("the exit panel", s.screens.ExitPanel)
    s.Press(PanelClose)
    s.WaitForExit()
    s.Step("reads the workbook")
    workbook.CheckWorkbook(game.workbook, name, attempts)


def WholeAttempt(s) -> None:
    """A whole attempt with a Cyrillic name, every step as the pupil does it; the workbook holds its rows, and
    LibreOffice reads them back."""
    name = "Маша Иванова"
    game = s.Start()
    board, before, after = BeginAttempt(s, name)
    s.PressGramophone(board)
    PlayToResults(s, board)
    worked = Worked(s)
    view = s.View()
    if not s.screens.ResultEnabled(view):
        raise Failure("with a pupil's name the result screen's Print and Save as should be usable")
    s.Press(ResultExit)
    s.WaitForExit()
    attempt = workbook.Attempt(before, after, calls=0, longest=worked)
    s.Step("reads the workbook")
    rows = workbook.CheckWorkbook(game.workbook, name, [attempt])
    s.Step("LibreOffice reads the workbook")
    calc = workbook.ReadWithLibreOffice(game.workbook)
    written = [[cell[0] for cell in row] for row in rows]
    while written and not written[-1]:
        written.pop()
    while calc and not calc[-1]:
        calc.pop()
    if calc != written:
        raise Failure(f"LibreOffice reads {calc}, the file holds {written}")


def F1AndExitPanelThenTwoAttempts(s) -> None:
    """F1 twice during the exercise (counted), F12 and Cancel, the melody; Enter on the result screen starts the
    exercise again; F12 and Close end the program, which saves both attempts."""
    name = "Петя"
    game = s.Start()
    board, before, after = BeginAttempt(s, name)
    for n in (1, 2):
        s.Step(f"F1 ({n})")
        s.display.Key("F1")
        # The instruction's video films a board too, but never with this bank.
        s.WaitForScreen("the repeated instruction over the board", lambda v: not board.BankShown(v))
        s.Step("Esc closes the repeated instruction")
        s.display.Key("Escape")
        s.WaitForScreen("the board again", lambda v: board.BankShown(v) and s.screens.Wall(v))
    s.Step("F12")
    s.display.Key("F12")
    s.WaitForScreen("the exit panel", s.screens.ExitPanel)
    s.Press(PanelCancel)
    s.WaitForScreen("the board without the exit panel", lambda v: not s.screens.ExitPanel(v) and s.screens.Wall(v))
    PlayToResults(s, board)
    first = workbook.Attempt(before, after, calls=2, longest=Worked(s))

    s.Step("clicks the result screen and presses Enter")
    s.display.Click(*NeutralSpot)
    since = int(time.time())
    before2 = Now()
    s.display.Key("Return")
    s.WaitForBoard(since)
    second = workbook.Attempt(before2, Now())
    CloseFromExitPanelAndCheck(s, game, name, [first, second])


def WindowManagerClose(s) -> None:
    """The window manager closes the window in the middle of an attempt (Alt+F4 under openbox): the rows written
    so far are saved. Run on a large screen, it also checks the letterbox and the mapping of the mouse."""
    name = "Ваня"
    game = s.Start()
    view = s.WaitForStartPopup()
    CheckLetterbox(s, view)
    s.EnterName(name)
    s.StartAttempt()
    before = Now()
    board = s.SkipInstruction()
    after = Now()
    brick, x, y = board.Melody()[0]
    s.PlaceBrick(board, brick, x, y)
    s.Step("Alt+F4")
    s.display.Key("alt+F4")
    s.WaitForExit()
    s.Step("reads the workbook")
    workbook.CheckWorkbook(game.workbook, name, [workbook.Attempt(before, after)])


def CheckLetterbox(s, view) -> None:
    """On a screen wider than 4:3 the picture is scaled up and centred, with black bars left and right."""
    shot = view.shot
    if view.exact:
        return
    s.Step("checks the letterbox bars")
    for x in (0, view.left // 2, view.left - 1, shot.width - 1, shot.width - view.left // 2 - 1):
        for y in (0, shot.height // 2, shot.height - 1):
            if shot.Pixel(x, y) != (0, 0, 0):
                raise Failure(f"the letterbox bar at ({x}, {y}) is {shot.Pixel(x, y)}, not black")


def SaveAsAndPrint(s) -> None:
    """From the result screen: Save as to a new path (typed over the proposed one), then Print to the CUPS queue."""
    name = "Коля"
    server = printing.PrintServer()
    try:
        game = s.Start(server.Environment())
        board, before, after = BeginAttempt(s, name)
        PlayToResults(s, board)
        attempt = workbook.Attempt(before, after, calls=0, longest=Worked(s))

        s.Press(ResultSaveAs)
        s.WaitForScreen("the save-as dialog", s.screens.SaveAsDialog)
        target = s.scratch / "saved" / "копия.xls"
        target.parent.mkdir()
        s.Step("replaces the proposed path")
        # The caret stands after the proposed path: to its end, then erase it all.
        keys = len(str(game.workbook)) + 10
        s.display.Xdotool("key", "--delay", 15, "--repeat", keys, "Right")
        s.display.Xdotool("key", "--delay", 15, "--repeat", keys, "BackSpace")
        s.display.Type(str(target))
        s.Press(SaveAsOk)
        s.WaitForScreen("the save-as dialog to close", lambda v: not s.screens.SaveAsDialog(v))
        WaitFor(f"the saved copy {target}", target.exists, 30)
        s.Step("reads the saved copy")
        workbook.CheckWorkbook(target, name, [attempt])

        s.Press(ResultPrint)
        s.WaitForScreen("the printer selection", s.screens.PrinterDialog)
        s.Press(PrinterOk)
        s.WaitForScreen("the printer selection to close", lambda v: not s.screens.PrinterDialog(v))
        s.Step("waits for the printout")
        WaitFor("a finished print job", server.FinishedJobs, 60, interval=0.5)
        server.WaitUntilIdle()
        text = printing.PdfText(server.output)
        for expected in ("Название", "Игра «Звонкары»", "Номер ЦОР", "00917", "Ученик", name, workbook.StartRow,
                         workbook.CallsRow, workbook.TimeRow):
            if expected not in text:
                raise Failure(f"the printout lacks {expected!r}:\n{text}")
        s.Press(ResultExit)
        s.WaitForExit()
        s.Step("reads the workbook")
        workbook.CheckWorkbook(game.workbook, name, [attempt])
    finally:
        server.Close()


def KillAndRestart(s) -> None:
    """The program is killed (SIGKILL) in the middle of an attempt; started again, the rows it had written are in
    the workbook, once."""
    name = "Оля"
    game = s.Start()
    board, before, after = BeginAttempt(s, name)
    brick, x, y = board.Melody()[0]
    s.PlaceBrick(board, brick, x, y)
    killed = workbook.Attempt(before, after)
    s.Step("SIGKILL")
    game.Kill()

    game = s.Start()
    board, before, after = BeginAttempt(s, name)
    again = workbook.Attempt(before, after)
    CloseFromExitPanelAndCheck(s, game, name, [killed, again])


All = {
    "whole-attempt": (WholeAttempt, (800, 600)),
    "f1-exit-panel-two-attempts": (F1AndExitPanelThenTwoAttempts, (800, 600)),
    "window-manager-close": (WindowManagerClose, (1920, 1080)),
    "save-as-and-print": (SaveAsAndPrint, (800, 600)),
    "kill-and-restart": (KillAndRestart, (800, 600)),
}

"""The game's screens as a pupil recognises them: which of the program's pictures stand where.

Each check takes a screenshot read in game coordinates and answers whether that screen is shown.
"""

from . import image

# Buttons: (skin name, top-left corner).
StartButton = ("StartPopStartButton", (690, 450))
PopupExit = ("ExitButton", (755, 22))
ResultPrint = ("PrintButton", (30, 490))
ResultSaveAs = ("SaveAsButton", (128, 490))
ResultRetry = ("RetryButton", (535, 490))
ResultClose = ("CloseButton", (660, 490))
ResultExit = ("ExitButton", (755, 22))
PanelRetry = ("RetryButton", (342, 220))
PanelClose = ("CloseButton", (342, 280))
PanelCancel = ("CancelButton", (342, 340))
SaveAsOk = ("SaveAsButton", (250, 304))
SaveAsClose = ("CloseButton", (441, 304))
SaveAsEdit = (250, 253)           # inside the edit bar at (250, 253), 300 by 20
PrinterOk = ("PrintButton", (250, 304))
PrinterClose = ("CloseButton", (441, 304))
PrinterList = (250, 183, 550, 283)
CreditsExit = ("ExitButton", (755, 22))
NeutralSpot = (400, 430)          # a point of the result screen where no control lies


class Screens:
    def __init__(self, pictures):
        self.pictures = pictures

    def Shown(self, view, name: str, at: tuple, threshold: float = 0.9, region=None) -> bool:
        return image.PictureMatch(view, self.pictures.Get(name), at[0], at[1], region=region) >= threshold

    def Button(self, view, button: tuple, threshold: float = 0.9) -> bool:
        """A button in any of its looks (normal, hovered, pressed)."""
        name, at = button
        return any(self.Shown(view, name + suffix, at, threshold) for suffix in ("", "Nuv", "Klick"))

    def Middle(self, button: tuple) -> tuple:
        name, (x, y) = button
        p = self.pictures.Get(name)
        return x + p.width // 2, y + p.height // 2

    def GreyButton(self, view, button: tuple) -> bool:
        """A disabled button drawn with colour 0xFF808080: its picture at about half brightness."""
        name, (x, y) = button
        p = self.pictures.Get(name)
        total = same = 0
        for py in range(0, p.height, 3):
            for px in range(0, p.width, 3):
                r, g, b, a = p.Pixel(px, py)
                if a != 255:
                    continue
                total += 1
                s = view.Pixel(x + px, y + py)
                if all(abs(s[i] - c * 128 // 255) <= 10 for i, c in enumerate((r, g, b))):
                    same += 1
        return total > 0 and same / total >= 0.9

    # Screens --------------------------------------------------------------------------------------------------------

    def StartPopup(self, view) -> bool:
        return (self.Button(view, StartButton) and self.Button(view, PopupExit)
                and self.Shown(view, "EscButton", (135, 517)) and self.Shown(view, "F12Button", (555, 517)))

    def InstructionKeys(self, view) -> bool:
        """The end of the instruction: the keyboard and the mouse over the video's last frame."""
        return self.Shown(view, "KEYBOARDPIC", (107, 347)) and self.Shown(view, "MOUSE", (500, 209))

    def Wall(self, view) -> bool:
        """The board's brick wall where nothing else of the board is drawn."""
        return self.Shown(view, "111", (0, 0), threshold=0.97, region=(440, 380, 550, 600))

    def Praise(self, view) -> bool:
        return self.Shown(view, "oblako_png", (137, 100))

    def ResultScreen(self, view) -> bool:
        return (self.Button(view, ResultRetry) and self.Button(view, ResultClose) and self.Button(view, ResultExit)
                and not self.Shown(view, "EscButton", (135, 517)))

    def ResultEnabled(self, view) -> bool:
        return self.Button(view, ResultPrint) and self.Button(view, ResultSaveAs)

    def ResultGreyed(self, view) -> bool:
        return self.GreyButton(view, ResultPrint) and self.GreyButton(view, ResultSaveAs)

    def ExitPanel(self, view) -> bool:
        return self.Button(view, PanelRetry) and self.Button(view, PanelClose) and self.Button(view, PanelCancel)

    def SaveAsDialog(self, view) -> bool:
        return self.Button(view, SaveAsOk) and self.Button(view, SaveAsClose)

    def PrinterDialog(self, view) -> bool:
        return self.Button(view, PrinterOk) and self.Button(view, PrinterClose)

    def Credits(self, view) -> bool:
        return (self.Button(view, CreditsExit) and self.Shown(view, "DefaultBackGround", (0, 0), threshold=0.97,
                                                             region=(400, 460, 800, 600)))

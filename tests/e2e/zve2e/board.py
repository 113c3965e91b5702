"""What the pupil sees on the exercise board, in screen coordinates: where the bank's bricks lie, the staff's slots,
the buttons, and which bricks make the melody.

The bank is laid out at random, with the program's generator (the classic runtime one, 15-bit results) seeded with
the calendar second in which the board was built. The tests know that second only roughly, so they lay the bank out
for each second it may have been and keep the one whose bricks the screen shows.
"""

from dataclasses import dataclass

from . import image

ShelfTops = (309, 377, 453, 518)
BankLeft = 38
SlotLefts = (116, 142, 166, 191, 216, 243, 265, 290, 318, 341)
UpperTop, LowerTop = 106, 195
# The melody: sounds by shelf, in the order of the slots that recognise them.
UpperSolution = ((137, 0), (138, 3), (139, 6), (140, 9))
LowerSolution = ((134, 0), (135, 4), (136, 8))

GramophoneButton = (603, 340)   # the middle of (581, 318)-(625, 362)
StaffPlayButton = (423, 56)     # the middle of (401, 34)-(445, 78)
PlayheadBox = (113, 80, 431, 267)
PlayheadColour = (255, 45, 85)
PlayheadDashColour = (7, 33, 52)   # the ink between the playhead's red dashes


class Generator:
    """The program's random numbers: the classic linear congruential generator, results 0 to 32767."""

    def __init__(self, seed: int):
        self.state = seed & 0xFFFFFFFF

    def Next(self) -> int:
        self.state = (self.state * 214013 + 2531011) & 0xFFFFFFFF
        return (self.state >> 16) & 0x7FFF


@dataclass
class Brick:
    sound: int
    picture: int
    x: int
    y: int


def LayOut(seed: int) -> list:
    """The fourteen bricks of a board built in calendar second `seed`, in creation order."""
    rand = Generator(seed)
    pairs = []
    for sounds, pictures in (([131, 132, 133, 134, 135, 136], [102, 103, 104, 105]),
                             ([137, 138, 139, 140, 141, 142, 143, 144], [106, 107, 108, 109])):
        while sounds:
            i = rand.Next() % len(sounds)
            j = rand.Next() % len(pictures)
            pairs.append((sounds[i], pictures[j]))
            del sounds[i]
    bricks = []
    shelf = x = 0
    for _ in range(14):
        k = rand.Next() % len(pairs)
        sound, picture = pairs[k]
        short = 106 <= picture <= 109
        if (not short and x > 282) or (short and x > 307):
            shelf = min(shelf + 1, 3)
            x = 0
        bricks.append(Brick(sound, picture, x + BankLeft, ShelfTops[shelf]))
        x += 85 if short else 110
        del pairs[k]
    return bricks


class Board:
    def __init__(self, pictures, bricks: list):
        self.pictures = pictures
        self.bricks = bricks

    def BySound(self, sound: int) -> Brick:
        return next(b for b in self.bricks if b.sound == sound)

    def Size(self, brick: Brick) -> tuple:
        p = self.pictures.Get(str(brick.picture))
        return p.width, p.height

    def Middle(self, brick: Brick) -> tuple:
        w, h = self.Size(brick)
        return brick.x + w // 2, brick.y + h // 2

    def BrickShown(self, view: image.GameView, brick: Brick, x: int, y: int) -> bool:
        return image.PictureMatch(view, self.pictures.Get(str(brick.picture)), x, y, step=2) > 0.9

    def BankShown(self, view: image.GameView) -> bool:
        return all(self.BrickShown(view, b, b.x, b.y) for b in self.bricks)

    def Melody(self) -> list:
        """(brick, slot left, slot top) for each brick of the melody, upper shelf first, left to right."""
        out = [(self.BySound(s), SlotLefts[i], UpperTop) for s, i in UpperSolution]
        out += [(self.BySound(s), SlotLefts[i], LowerTop) for s, i in LowerSolution]
        return out


def FindBoard(pictures, view: image.GameView, seconds: range):
    """The board on the screen, if it is one laid out in one of these seconds; None otherwise."""
    for seed in seconds:
        board = Board(pictures, LayOut(seed))
        if board.BankShown(view):
            return board
    return None


def PlayheadShown(view: image.GameView) -> bool:
    """The staff's playhead: a vertical line somewhere between x = 113 and 430, red dashes with ink between
    them (5 and 3 pixels), so a red brick's face is not taken for it."""
    left, top, right, bottom = PlayheadBox
    rows = range(top + 10, bottom - 10)
    for x in range(left, right):
        red = ink = 0
        for y in rows:
            pixel = view.Pixel(x, y)
            red += image.Near(pixel, PlayheadColour, 40)
            ink += image.Near(pixel, PlayheadDashColour, 40)
        if red >= 0.4 * len(rows) and ink >= 0.2 * len(rows):
            return True
    return False

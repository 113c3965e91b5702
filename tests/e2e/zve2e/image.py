"""Pictures for the end-to-end tests: the program's own PNG files (decoded here, standard library only), screenshots
of the X screen, and the checks that compare them.

A screenshot is read back in the program's 800 by 600 coordinates: on a larger screen the program scales its back
buffer up with letterbox bars, and `GameView` undoes that mapping, so a check written for 800 by 600 works on any
screen size.
"""

import struct
import zlib
from pathlib import Path

GameWidth = 800
GameHeight = 600


class Picture:
    """An RGBA picture: width, height and a bytes object of 4 bytes a pixel, rows top down."""

    def __init__(self, width: int, height: int, rgba: bytes):
        self.width = width
        self.height = height
        self.rgba = rgba

    def Pixel(self, x: int, y: int) -> tuple:
        i = (y * self.width + x) * 4
        return tuple(self.rgba[i:i + 4])


def _Paeth(a: int, b: int, c: int) -> int:
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def ReadPng(path: Path) -> Picture:
    """Decodes an 8-bit RGB or RGBA, non-interlaced PNG (what the program's pictures and our screenshots are)."""
    data = Path(path).read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG file")
    pos = 8
    idat = bytearray()
    width = height = colourType = 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colourType, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colourType not in (2, 6) or interlace != 0:
                raise ValueError(f"{path}: only 8-bit RGB/RGBA non-interlaced PNG files are read here")
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    channels = 4 if colourType == 6 else 3
    raw = zlib.decompress(bytes(idat))
    stride = width * channels
    rows = []
    previous = bytearray(stride)
    pos = 0
    for _ in range(height):
        kind = raw[pos]
        line = bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        if kind == 1:
            for i in range(channels, stride):
                line[i] = (line[i] + line[i - channels]) & 0xFF
        elif kind == 2:
            for i in range(stride):
                line[i] = (line[i] + previous[i]) & 0xFF
        elif kind == 3:
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                line[i] = (line[i] + ((left + previous[i]) >> 1)) & 0xFF
        elif kind == 4:
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                upLeft = previous[i - channels] if i >= channels else 0
                line[i] = (line[i] + _Paeth(left, previous[i], upLeft)) & 0xFF
        rows.append(bytes(line))
        previous = line
    pixels = b"".join(rows)
    if channels == 3:
        out = bytearray(width * height * 4)
        out[0::4] = pixels[0::3]
        out[1::4] = pixels[1::3]
        out[2::4] = pixels[2::3]
        out[3::4] = b"\xff" * (width * height)
        pixels = bytes(out)
    return Picture(width, height, pixels)


def WritePng(path: Path, width: int, height: int, rgb: bytes) -> None:
    """Writes an 8-bit RGB PNG."""
    def Chunk(kind: bytes, body: bytes) -> bytes:
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    stride = width * 3
    raw = b"".join(b"\x00" + rgb[y * stride:(y + 1) * stride] for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    Path(path).write_bytes(b"\x89PNG\r\n\x1a\n" + Chunk(b"IHDR", header) + Chunk(b"IDAT", zlib.compress(raw, 9))
                           + Chunk(b"IEND", b""))


class Screenshot:
    """The whole X screen as RGB bytes."""

    def __init__(self, width: int, height: int, rgb: bytes):
        self.width = width
        self.height = height
        self.rgb = rgb

    def Pixel(self, x: int, y: int) -> tuple:
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def Save(self, path: Path) -> None:
        WritePng(path, self.width, self.height, self.rgb)


def Letterbox(screenWidth: int, screenHeight: int) -> tuple:
    """Where the program's 800x600 picture lies on a screen: (left, top, scale), the picture scaled by the largest
    factor that fits and centred, the rest black bars."""
    scale = min(screenWidth / GameWidth, screenHeight / GameHeight)
    width, height = round(GameWidth * scale), round(GameHeight * scale)
    return (screenWidth - width) // 2, (screenHeight - height) // 2, scale


class GameView:
    """A screenshot read in the program's coordinates (0..799, 0..599)."""

    def __init__(self, shot: Screenshot):
        self.shot = shot
        self.left, self.top, self.scale = Letterbox(shot.width, shot.height)
        self.exact = self.scale == 1.0

    def ToScreen(self, x: float, y: float) -> tuple:
        """The screen pixel showing the middle of game pixel (x, y)."""
        return (self.left + int((x + 0.5) * self.scale), self.top + int((y + 0.5) * self.scale))

    def Pixel(self, x: int, y: int) -> tuple:
        return self.shot.Pixel(*self.ToScreen(x, y))


def Near(a: tuple, b: tuple, tolerance: int) -> bool:
    return abs(a[0] - b[0]) <= tolerance and abs(a[1] - b[1]) <= tolerance and abs(a[2] - b[2]) <= tolerance


def PictureMatch(view: GameView, picture: Picture, x: int, y: int, region=None, step: int = 3,
                 tolerance: int = None) -> float:
    """The share (0..1) of the picture's opaque pixels, sampled every `step` pixels, that the screen shows unchanged
    with the picture's top-left corner at (x, y). `region` (left, top, right, bottom, in the picture's coordinates)
    limits the comparison to a part of the picture that nothing else covers. The tolerance per channel is small
    for a screen showing the picture pixel for pixel and larger for a scaled one, whose scaler blends neighbours."""
    if tolerance is None:
        tolerance = 10 if view.exact else 40
    left, top, right, bottom = region or (0, 0, picture.width, picture.height)
    total = same = 0
    for py in range(top, bottom, step):
        sy = y + py
        if not 0 <= sy < GameHeight:
            continue
        for px in range(left, right, step):
            sx = x + px
            if not 0 <= sx < GameWidth:
                continue
            r, g, b, a = picture.Pixel(px, py)
            if a != 255:
                continue
            total += 1
            if Near(view.Pixel(sx, sy), (r, g, b), tolerance):
                same += 1
    return same / total if total else 0.0

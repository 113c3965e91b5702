"""Composes previews of the screens from the generated pictures, at the places the program draws them.

The previews are for people: they show whether the pictures fit together (the bricks in their imprints,
the keycaps on the backdrop, the cloud's window over the clip). Texts are set in the carried Liberation
Sans at the sizes the screens use; stretched pictures are scaled the way the renderer does it (linear
when squeezed, nearest texel when enlarged).

Index of this file:
    [SECTION] Drawing helpers
    [SECTION] Screens
"""

import random
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont

Root = Path(__file__).resolve().parents[2]
FontDir = Root / "data" / "fonts"
Ink = (7, 33, 52, 255)

# ---------------------------------------------------------------------------------------------------------
# [SECTION] Drawing helpers
# ---------------------------------------------------------------------------------------------------------


class Canvas:
    def __init__(self, pictures: dict, size=(800, 600), base=None):
        self.pictures = pictures
        self.image = base.copy().convert("RGBA") if base is not None else Image.new("RGBA", size, (0, 0, 0, 255))

    def Picture(self, key, x, y, width=None, height=None, colour=None):
        """Draws a picture at (x, y), stretched to width x height when given, modulated by colour (ARGB)."""
        picture = self.pictures[key].convert("RGBA")
        width = width or picture.width
        height = height or picture.height
        if (width, height) != picture.size:
            squeezing = width <= picture.width and height <= picture.height
            picture = picture.resize((width, height), Image.BILINEAR if squeezing else Image.NEAREST)
        if colour is not None:
            a, r, g, b = (colour >> 24) & 255, (colour >> 16) & 255, (colour >> 8) & 255, colour & 255
            bands = picture.split()
            picture = Image.merge("RGBA", [bands[0].point(lambda v: v * r // 255), bands[1].point(lambda v: v * g // 255),
                                           bands[2].point(lambda v: v * b // 255), bands[3].point(lambda v: v * a // 255)])
        layer = Image.new("RGBA", self.image.size, (0, 0, 0, 0))
        layer.paste(picture, (x, y))
        self.image = Image.alpha_composite(self.image, layer)

    def Text(self, text, x, y, size, bold=False, colour=Ink, centredIn=None):
        """A label whose character cell is `size` pixels high, top-left at (x, y) or centred in a width."""
        font = Font(size, bold)
        draw = ImageDraw.Draw(self.image)
        if centredIn is not None:
            x = centredIn // 2 - int(draw.textlength(text, font=font)) // 2
        draw.text((x, y), text, font=font, fill=colour)

    def Wrapped(self, text, x, y, width, size, clipHeight):
        font = Font(size)
        layer = Image.new("RGBA", (width, clipHeight), (0, 0, 0, 0))
        draw = ImageDraw.Draw(layer)
        lineY = 0
        for paragraph in text.split("\n"):
            line = ""
            for word in paragraph.split(" "):
                attempt = (line + " " + word).strip()
                if draw.textlength(attempt, font=font) > width and line:
                    draw.text((0, lineY), line, font=font, fill=Ink)
                    lineY += size
                    line = word
                else:
                    line = attempt
            draw.text((0, lineY), line, font=font, fill=Ink)
            lineY += size
        self.image.alpha_composite(layer, (x, y))

    def Frame(self, x, y, width, height):
        """A one-pixel frame of stretched caret pictures, as the dialogs draw theirs."""
        self.Picture("EditBarKaretka", x, y, 1, height)
        self.Picture("EditBarKaretka", x, y, width, 1)
        self.Picture("EditBarKaretka", x + width - 1, y, 1, height)
        self.Picture("EditBarKaretka", x, y + height - 1, width, 1)

    def EditBar(self, x, y, width, height, text=""):
        self.Picture("EditBarBackGround", x + 1, y + 1, width - 2, height - 2)
        self.Frame(x, y, width, height)
        self.Text(text, x + 3, y + 2, 16, colour=(0, 0, 0, 255))
        caretX = x + 3 + int(ImageDraw.Draw(self.image).textlength(text, font=Font(16)))
        self.Picture("EditBarKaretka", caretX, y + 1, 1, min(19, height - 2))

    def Save(self, path: Path):
        from svgrender import EncodePng
        path.write_bytes(EncodePng(self.image, "RGB"))


def Font(size, bold=False):
    # The program sizes a face so that ascent + descent equal the requested cell; Liberation Sans has 1.117 em.
    name = "LiberationSans-Bold.ttf" if bold else "LiberationSans-Regular.ttf"
    return ImageFont.truetype(str(FontDir / name), max(1, round(size / 1.117)))


# ---------------------------------------------------------------------------------------------------------
# [SECTION] Screens
# ---------------------------------------------------------------------------------------------------------

Description = (
    "Для успешной работы с данным приложением необходимо обеспечить хорошую слышимость звуков в динамиках или наушниках.\n"
    "На рабочем поле расположены:\n- полочки-слоты с отпечатками кирпичей разной длины – «стан»;\n"
    "- кнопка «проиграть стан» рядом;\n- полочки с набором разных кирпичей – «банк»;\n- граммофон с кнопкой «Проиграть»;\n"
    "При постановке задачи для ученика проигрывается мелодия. Он может проиграть ее повторно, нажав «Проиграть» на "
    "граммофоне. При наведении курсора мыши на один из кирпичей проигрывается короткий музыкальный фрагмент. "
    "Перетаскивая нужные кирпичи на полочки «стан» необходимо составить мелодию граммофона. Только половина кирпичей "
    "содержит музыкальные фрагменты нужной мелодии.")

ShortSlots = [116, 191, 265, 341]
LongSlots = [116, 216, 318]
ShelfTops = [309, 377, 453, 518]


def BankLayout():
    """A bank laid out by the board's rule (long bricks advance 110, short ones 85), with a fixed seed."""
    generator = random.Random(917)
    pairs = [(s, generator.choice((102, 103, 104, 105))) for s in range(131, 137)]
    pairs += [(s, generator.choice((106, 107, 108, 109))) for s in range(137, 145)]
    generator.shuffle(pairs)
    shelf, x, placed = 0, 0, []
    for sound, picture in pairs:
        long = picture <= 105
        if (long and x > 282) or (not long and x > 307):
            shelf, x = shelf + 1, 0
        placed.append((sound, picture, x + 38, ShelfTops[shelf]))
        x += 110 if long else 85
    return placed


def Board(p, playhead=True) -> Canvas:
    c = Canvas(p)
    c.Picture("111", 0, 0)
    c.Picture("112", 18, 13)
    c.Picture("113", 18, 12)
    c.Picture("115", 20, 300)
    c.Picture("117", 557, 134)
    c.Picture("118", 594, 275)
    for x, y in ((24, 16), (484, 16), (24, 246), (484, 246)):
        c.Picture("114", x, y)
    c.Picture("119", 622, 270)
    c.Picture("124", 79, 29)
    c.Picture("120", 557, 134)
    c.Picture("125", 401, 34, 44, 44)
    c.Picture("116", 95, 102)
    c.Picture("125", 581, 318, 44, 44)
    # Three bricks of the solution already stand on the staff; the rest wait in the bank.
    onStaff = {137: (ShortSlots[0], 106), 138: (ShortSlots[1], 106), 134: (LongSlots[0], 195)}
    for sound, picture, x, y in BankLayout():
        if sound in onStaff:
            x, y = onStaff[sound]
        c.Picture(str(picture), x, y)
    if playhead:
        c.Picture("147", 190, 80, 1, 187)
    return c


def StartPopup(p) -> Canvas:
    c = Canvas(p)
    c.Picture("DefaultBackGround", 0, 0, 800, 600)
    c.Text("Пеламира", 0, 10, 14, centredIn=800)
    c.Text("Тернавика", 0, 35, 18, bold=True, centredIn=800)
    for label, value, y in (("Номер ЦОР:", "00917", 115), ("Название:", "Игра «Звонкары»", 152), ("Описание:", None, 188)):
        c.Text(label, 30, y, 18, bold=True)
        if value:
            c.Text(value, 135, y, 18)
    c.Wrapped(Description, 119, 187, 593, 18, 236)
    Scroll(c, 712, 187, 14, 240, position=0, maximum=342, page=236)
    c.Text("Ученик:", 30, 460, 18, bold=True)
    c.EditBar(135, 460, 520, 20, "Маша Иванова")
    c.Picture("StartPopStartButtonNuv", 690, 450)
    c.Picture("ExitButton", 755, 22)
    c.Text("Клавиши:", 30, 520, 18, bold=True)
    for key, x, label in (("EscButton", 135, "- пропустить инструкцию;"), ("F1Button", 350, "- повторить инструкцию;"),
                          ("F12Button", 555, "- выход")):
        c.Picture(key, x, 517)
        c.Text(label, x + 45, 520, 16)
    return c


def Scroll(c, x, y, width, height, position, maximum, page):
    track = height - 2 * width
    c.Picture("ScrollBackground", x, y, width, height)
    c.Picture("ScrollButtonUp", x, y, width, width)
    c.Picture("ScrollButtonDown", x, y + height - width, width, width)
    c.Picture("ScrollSlider", x, y + track * position // maximum + width, width, track * page // maximum)


def Results(p, hovered=None) -> Canvas:
    c = Canvas(p)
    c.Picture("DefaultBackGround", 0, 0, 800, 600)
    c.Text("Пеламира", 0, 10, 14, centredIn=800)
    c.Text("Тернавика", 0, 35, 18, bold=True, centredIn=800)
    c.Text("ЗАДАНИЕ ВЫПОЛНЕНО", 0, 150, 24, centredIn=800)
    for label, value, y in (("Номер ЦОР:", "00917", 250), ("Название:", "Игра «Звонкары»", 300), ("Ученик:", "Маша Иванова", 350)):
        c.Text(label, 30, y, 18, bold=True)
        c.Text(value, 135, y, 18)
    c.Text("Статистика:", 30, 465, 18, bold=True)
    for family, x in (("PrintButton", 30), ("SaveAsButton", 128), ("RetryButton", 535), ("CloseButton", 660)):
        c.Picture(family + ("Nuv" if family == hovered else ""), x, 490)
    c.Picture("ExitButton", 755, 22)
    c.Text("Звонкары · свободная программа", 0, 575, 14, colour=(0xAE, 0xAE, 0xAE, 255), centredIn=800)
    return c


def ExitPanel(p) -> Canvas:
    c = Results(p)
    c.Picture("EditBarKaretka", 0, 0, 800, 600, colour=0x4B000096)
    box = Canvas(p, (136, 200))
    box.Picture("DefaultBackGround", 0, -100, 136, 400)
    box.Picture("RetryButton", 10, 20)
    box.Picture("CloseButtonNuv", 10, 80)
    box.Picture("CancelButton", 10, 140)
    box.Frame(0, 0, 136, 200)
    c.image.alpha_composite(box.image, (332, 200))
    return c


def SaveAsDialog(p) -> Canvas:
    c = Results(p, hovered="SaveAsButton")
    box = Canvas(p, (360, 150))
    box.Picture("DefaultBackGround", 0, 0, 360, 150)
    box.Frame(0, 0, 360, 150)
    box.EditBar(30, 28, 300, 20, "/var/lib/KVRT/00917 Игра «Звонкары».xls")
    box.Picture("SaveAsButton", 30, 79)
    box.Picture("CloseButtonKlick", 221, 79)
    c.image.alpha_composite(box.image, (220, 225))
    return c


def PrinterDialog(p) -> Canvas:
    c = Results(p, hovered="PrintButton")
    box = Canvas(p, (360, 250))
    box.Picture("DefaultBackGround", 0, 0, 360, 250)
    box.Frame(0, 0, 360, 250)
    box.Text("Выберите принтер:", 30, 38, 16, colour=(0, 0, 0, 255))
    box.Picture("EditBarBackGround", 31, 59, 298, 98)
    box.Picture("SelectionMask", 31, 59 + 16, 298, 17)
    for index, name in enumerate(("Кабинет_информатики", "HP_LaserJet_1020", "PDF")):
        box.Text(name, 33, 59 + index * 16, 16, colour=(0, 0, 0, 255))
    box.Frame(30, 58, 300, 100)
    box.Picture("PrintButtonNuv", 30, 179)
    box.Picture("CloseButton", 221, 179)
    c.image.alpha_composite(box.image, (220, 125))
    return c


def SampleClipFrame() -> Image.Image:
    """A stand-in for a praise clip's frame: a sunny scene with a smiling character, 320 x 200."""
    frame = Image.new("RGBA", (320, 200), (150, 215, 255, 255))
    draw = ImageDraw.Draw(frame)
    draw.rectangle((0, 150, 320, 200), fill=(120, 205, 95, 255))
    draw.ellipse((110, 40, 210, 140), fill=(255, 205, 60, 255), outline=(200, 120, 20, 255), width=3)
    draw.ellipse((138, 72, 150, 86), fill=Ink)
    draw.ellipse((170, 72, 182, 86), fill=Ink)
    draw.arc((135, 80, 185, 122), 20, 160, fill=Ink, width=4)
    draw.text((120, 160), "Молодец!", font=Font(28, True), fill=(239, 71, 111, 255))
    return frame


def Praise(p, board: Canvas) -> Canvas:
    c = Canvas(p, base=board.image)
    c.image.alpha_composite(SampleClipFrame(), (230, 176))
    c.Picture("oblako_png", 137, 100)
    return c


def InstructionEnd(p, board: Canvas) -> Canvas:
    # The instruction's last video frame shows the board; the board preview stands in for it here.
    c = Canvas(p, base=board.image)
    c.Picture("KEYBOARDPIC", 107, 347)
    c.Picture("MOUSE", 500, 209)
    c.Picture("KEYSPACE", 237, 502)
    return c


def SkinSheet(p) -> Canvas:
    """Every small picture side by side, three times enlarged, on the backdrop's paper colour."""
    keys = [k for k in p if not k.isdigit() and k not in ("DefaultBackGround", "KEYBOARDPIC", "MOUSE", "KEYSPACE", "oblako_png", "icon")]
    rows, row, width = [], [], 0
    for key in keys:
        w = p[key].width + 8
        if width + w > 420 and row:
            rows.append(row)
            row, width = [], 0
        row.append(key)
        width += w
    rows.append(row)
    height = sum(max(p[k].height for k in r) + 8 for r in rows) + 8
    sheet = Canvas(p, (428, height), base=Image.new("RGBA", (428, height), (255, 248, 232, 255)))
    y = 8
    for r in rows:
        x = 8
        for key in r:
            sheet.Picture(key, x, y)
            x += p[key].width + 8
        y += max(p[k].height for k in r) + 8
    sheet.image = sheet.image.resize((sheet.image.width * 3, sheet.image.height * 3), Image.NEAREST)
    return sheet


def ComposeAll(pictures: dict, outDir: Path) -> None:
    outDir.mkdir(parents=True, exist_ok=True)
    board = Board(pictures)
    board.Save(outDir / "board.png")
    StartPopup(pictures).Save(outDir / "start-popup.png")
    Results(pictures, hovered="RetryButton").Save(outDir / "results.png")
    ExitPanel(pictures).Save(outDir / "exit-panel.png")
    SaveAsDialog(pictures).Save(outDir / "dialog-save-as.png")
    PrinterDialog(pictures).Save(outDir / "dialog-printer.png")
    Praise(pictures, Board(pictures, playhead=False)).Save(outDir / "praise.png")
    InstructionEnd(pictures, Board(pictures, playhead=False)).Save(outDir / "instruction-end.png")
    SkinSheet(pictures).Save(outDir / "skin-sheet.png")

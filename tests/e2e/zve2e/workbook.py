"""Reading back the workbook the program saved: its worksheets and rows as the XML Spreadsheet 2003 file holds them,
and the rows of one worksheet as LibreOffice reads them (converted to CSV)."""

import csv
import datetime
import re
import shutil
import subprocess
import tempfile
from pathlib import Path
from xml.etree import ElementTree

from .game import Failure

Ss = "{urn:schemas-microsoft-com:office:spreadsheet}"
StartRow = "Время начала работы с упражнением"
CallsRow = "Количество дополнительных вызовов инструкций"
TimeRow = "Общее время работы с упражнением. с."


def Sheets(path: Path) -> dict:
    """Worksheet name -> list of rows, a row being a list of (text, type) cells."""
    if not Path(path).exists():
        raise Failure(f"no workbook at {path}")
    try:
        root = ElementTree.parse(path).getroot()
    except ElementTree.ParseError as error:
        raise Failure(f"the workbook {path} is not well-formed XML: {error}")
    sheets = {}
    for sheet in root.iter(Ss + "Worksheet"):
        rows = []
        for row in sheet.iter(Ss + "Row"):
            cells = []
            for data in row.iter(Ss + "Data"):
                cells.append((data.text or "", data.get(Ss + "Type")))
            rows.append(cells)
        sheets[sheet.get(Ss + "Name")] = rows
    return sheets


def StartTimeText(when: datetime.datetime) -> str:
    """A start time as the program writes it: 05-March-2008 14:07."""
    months = ["January", "February", "March", "April", "May", "June", "July", "August", "September", "October",
              "November", "December"]
    return f"{when.day:02d}-{months[when.month - 1]}-{when.year:04d} {when.hour:02d}:{when.minute:02d}"


class Attempt:
    """What the harness knows of an attempt: when its exercise step started (between two moments) and, when it was
    finished, the extra instruction calls and how long the pupil worked at most."""

    def __init__(self, startedAfter: datetime.datetime, startedBefore: datetime.datetime, calls=None,
                 longest=None):
        self.startedAfter = startedAfter
        self.startedBefore = startedBefore
        self.calls = calls
        self.longest = longest

    def StartTexts(self) -> set:
        texts = set()
        moment = self.startedAfter.replace(second=0, microsecond=0)
        while moment <= self.startedBefore:
            texts.add(StartTimeText(moment))
            moment += datetime.timedelta(minutes=1)
        return texts


def CheckRows(rows: list, attempts: list, what: str) -> None:
    """The rows of a worksheet are, attempt by attempt: the start row, and for a finished attempt the calls, the
    time and an empty row."""
    expected = []
    for a in attempts:
        expected.append(("start", a))
        if a.calls is not None:
            expected += [("calls", a), ("time", a), ("empty", a)]
    if len(rows) != len(expected):
        raise Failure(f"{what}: {len(rows)} rows, expected {len(expected)}: {rows}")
    for n, (row, (kind, a)) in enumerate(zip(rows, expected), 1):
        texts = [c[0] for c in row]
        types = [c[1] for c in row]
        if kind == "start":
            ok = texts[:1] == [StartRow] and len(texts) == 2 and texts[1] in a.StartTexts() and types == ["String"] * 2
        elif kind == "calls":
            ok = texts == [CallsRow, str(a.calls)] and types[1] == "Number"
        elif kind == "time":
            ok = (len(texts) == 2 and texts[0] == TimeRow and re.fullmatch(r"\d+", texts[1]) is not None
                  and int(texts[1]) <= a.longest and types[1] == "Number")
        else:
            ok = texts == []
        if not ok:
            raise Failure(f"{what}: row {n} is {row}, expected the {kind} row"
                          + (f" (start {sorted(a.StartTexts())})" if kind == "start" else "")
                          + (f" (at most {a.longest} s)" if kind == "time" else ""))


def CheckWorkbook(path: Path, name: str, attempts: list) -> list:
    sheets = Sheets(path)
    if name not in sheets:
        raise Failure(f"the workbook has no worksheet {name!r}; it has {sorted(sheets)}")
    CheckRows(sheets[name], attempts, f"worksheet {name!r}")
    return sheets[name]


def ReadWithLibreOffice(path: Path) -> list:
    """The first worksheet's rows as LibreOffice Calc reads the file, through a CSV conversion."""
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if soffice is None:
        raise Failure("LibreOffice (soffice) is not installed (Debian package libreoffice-calc-nogui)")
    with tempfile.TemporaryDirectory(prefix="zv-soffice-") as scratch:
        scratch = Path(scratch)
        source = scratch / "workbook.xml"
        shutil.copy(path, source)
        profile = scratch / "profile"
        out = subprocess.run([soffice, f"-env:UserInstallation=file://{profile}", "--headless", "--norestore",
                              "--infilter=MS Excel 2003 XML", "--convert-to",
                              "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir", str(scratch), str(source)],
                             capture_output=True, text=True, timeout=180)
        result = scratch / "workbook.csv"
        if not result.exists():
            raise Failure(f"LibreOffice did not convert the workbook: {out.stdout} {out.stderr}")
        with open(result, newline="", encoding="utf-8") as f:
            return [[cell for cell in row if cell != ""] for row in csv.reader(f)]

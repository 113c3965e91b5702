#!/usr/bin/python3
"""What every generated medium is made from, and whether data/ still matches it.

Each generator that is too slow to run on every change records, in its catalogue fragment
(data/catalogue/<name>.txt), a line

    # inputs sha256 <hex>

holding the fingerprint of the files it was made from (its sources in data/src, the tools that make it and,
for the filmed instruction and the commentary that carries its sounds, the game's own board). A change to any of them changes the
fingerprint, so a generated file that was not made again is found without making it:

    tools/common/inputs.py --check      compare every recorded fingerprint with the files as they are now
                                        (exit status 1 and one line per stale medium when one differs)
    tools/common/inputs.py --show       print the fingerprints as they are now

Generators call Line(name) to get the line they write into their catalogue fragment. Python's standard
library only, so the check runs anywhere in seconds.
"""

import argparse
import hashlib
import sys
from pathlib import Path

Root = Path(__file__).resolve().parents[2]

# The demonstration the instruction's camera plays on the real board (tools/film): the camera, the board's
# code and its pictures (bricks are caught by their alpha), and the sounds it plays. The commentary carries
# what it plays and the film shows it, with the praise clips that open over the board.
Demonstration = [
    "tools/film/*.cpp", "tools/film/*.h", "tools/film/CMakeLists.txt", "tools/film/camera.py",
    "data/src/speech/commentary.txt", "data/src/film/*", "data/src/pictures/skin/keycap.svg",
    "tools/pictures/svgrender.py",
    "exercise/*.cpp", "exercise/*.h", "data/pictures/board/*", "data/pictures/skin/ExitButton*",
    "data/sounds/*.ogg",
]

# Catalogue fragment -> the files (glob patterns relative to the repository) it is made from. Each list
# names the generator and the modules it imports, its sources, and the generated media it builds on.
Inputs = {
    "pictures.txt": [
        "tools/pictures/*", "tools/common/packages.py", "data/src/pictures/**/*", "data/fonts/*.ttf",
    ],
    "music.txt": [
        "tools/music/*", "tools/audio/*.py", "tools/common/packages.py", "data/src/music/*",
    ],
    "speech.txt": [
        "tools/speech/*", "tools/audio/*.py", "tools/common/packages.py",
        "data/src/speech/phrases.txt",
    ] + Demonstration,
    "video.txt": [
        "tools/video/*", "tools/pictures/svgrender.py", "tools/audio/*.py", "tools/speech/speechsources.py",
        "tools/common/packages.py",
        "data/src/video/*", "data/src/speech/phrases.txt", "data/speech/*_sound.ogg", "data/fonts/*.ttf",
    ],
    "film.txt": [
        "tools/film/generate", "tools/video/TheoraEncoder.*", "tools/video/CMakeLists.txt",
        "tools/speech/speechsources.py", "tools/common/packages.py",
        "data/pictures/praise/*", "data/video/*_video.ogv",
    ] + Demonstration,
}

Marker = "# inputs sha256 "


def Files(patterns: list) -> list:
    """The files the patterns name, sorted by their path relative to the repository; bytecode caches and
    folders are left out."""
    found = set()
    for pattern in patterns:
        for path in Root.glob(pattern):
            if path.is_file() and "__pycache__" not in path.parts:
                found.add(path.relative_to(Root).as_posix())
    return sorted(found)


def Fingerprint(name: str) -> str:
    """SHA-256 over the path and contents of every input of the catalogue fragment `name`."""
    digest = hashlib.sha256()
    for relative in Files(Inputs[name]):
        digest.update(relative.encode("utf-8") + b"\0")
        digest.update((Root / relative).read_bytes())
        digest.update(b"\0")
    return digest.hexdigest()


def Line(name: str) -> str:
    """The line a generator writes into its catalogue fragment."""
    return Marker + Fingerprint(name)


def Recorded(name: str) -> str:
    """The fingerprint recorded in data/catalogue/<name>, or '' when there is none."""
    path = Root / "data" / "catalogue" / name
    if not path.exists():
        return ""
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.startswith(Marker):
            return line[len(Marker):].strip()
    return ""


def Main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", action="store_true", help="compare the recorded fingerprints")
    parser.add_argument("--show", action="store_true", help="print the fingerprints as they are now")
    args = parser.parse_args()
    stale = []
    for name in Inputs:
        now = Fingerprint(name)
        if args.show:
            print(f"{name}: {now} ({len(Files(Inputs[name]))} files)")
        if args.check and Recorded(name) != now:
            stale.append(name)
            print(f"stale: data/catalogue/{name} was made from other inputs; run ./dev media", file=sys.stderr)
    if args.check and not stale:
        print("media inputs: every generated medium matches its sources")
    return 1 if stale else 0


if __name__ == "__main__":
    sys.exit(Main())

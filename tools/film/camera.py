"""The camera of the instruction: zv_film, built from the game's own code, and the pictures it lays over the
frames. tools/film/generate films the video with it; tools/speech/generate records with it what the game
plays during the same demonstration, to mix those sounds into the commentary.

Needs librsvg2-bin, python3-numpy, python3-pil and cmake (the generators that import this install them); the
camera is built with the game's own build packages (./dev installs them).
"""

import os
import shutil
import subprocess
import sys
from pathlib import Path

Root = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(Root / "tools" / "pictures"))
import svgrender  # noqa: E402

Data = Root / "data"
Script = Data / "src" / "speech" / "commentary.txt"
HandSource = Data / "src" / "film" / "hand.svg"
KeycapSource = Data / "src" / "pictures" / "skin" / "keycap.svg"
CameraBuild = Root / "build" / "film"

Fps = 25
HandDrawing = (64, 72)                 # hand.svg's own size
HandSize = (56, 63)                    # as drawn over the frames
Fingertip = (26.0, 10.5)               # the touching point in hand.svg
KeycapDrawing = (37, 25)               # keycap.svg's own size, that of the F1Button and F12Button pictures
KeycapScale = 6                        # how much larger the video shows them
Keycaps = ("F1", "F12")


def RenderPictures(work: Path) -> dict:
    """The hand, pressed and not, and the keycaps as PNG files in work; returns their paths by role."""
    env = svgrender.FontEnvironment(Data / "fonts", work)
    paths = {}
    for role, shown in (("hand", False), ("pressed", True)):
        layers = dict(show=["press", "pressShade"]) if shown else dict(hide=["press", "pressShade"])
        image = svgrender.RenderSvg(svgrender.Variant(HandSource, *HandSize, **layers), *HandSize, env, work)
        paths[role] = work / f"{role}.png"
        paths[role].write_bytes(svgrender.EncodePng(image, "RGBA"))
    size = (KeycapDrawing[0] * KeycapScale, KeycapDrawing[1] * KeycapScale)
    for name in Keycaps:
        svg = svgrender.Variant(KeycapSource, *size, texts={"label": name})
        image = svgrender.RenderSvg(svg, *size, env, work)
        paths[name] = work / f"{name}.png"
        paths[name].write_bytes(svgrender.EncodePng(image, "RGBA"))
    return paths


def Build() -> Path:
    """Builds zv_film in build/film (configured once, rebuilt only when its sources or the game change)."""
    env = dict(os.environ)
    if shutil.which("ccache"):
        env.setdefault("CMAKE_C_COMPILER_LAUNCHER", "ccache")
        env.setdefault("CMAKE_CXX_COMPILER_LAUNCHER", "ccache")
        env.setdefault("CCACHE_BASEDIR", str(Root.parent))
    steps = [["nice", "cmake", "--build", str(CameraBuild), "--target", "zv_film", "-j", "2"]]
    if not (CameraBuild / "CMakeCache.txt").exists():
        steps.insert(0, ["cmake", "-S", str(Root), "-B", str(CameraBuild), "-DCMAKE_BUILD_TYPE=Release",
                         "-DZV_TESTS=OFF", "-DZV_BENCHMARKS=OFF"])
    for step in steps:
        result = subprocess.run(step, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
        if result.returncode != 0:
            sys.stderr.write(result.stdout.decode("utf-8", "replace"))
            sys.exit("generate: could not build the camera; `./dev test` installs what the build needs, "
                     "or name a built one with --camera")
    return CameraBuild / "tools" / "film" / "zv_film"


def Find(given) -> Path:
    """The camera named on the command line, else the one built here."""
    camera = Path(given).resolve() if given else Build()
    if not os.access(camera, os.X_OK):
        sys.exit(f"generate: no camera at {camera}")
    return camera


def Run(camera: Path, pictures: dict, extra: list) -> str:
    """Runs the camera on the commentary's script with the pictures and the `extra` arguments (the output,
    the soundtrack, the encoder's settings); returns its log: the plan it followed and what the board did
    when. Stops the generator when the filming fails."""
    scale = HandSize[0] / HandDrawing[0]
    command = ["nice", "-n", "10", str(camera), "--script", str(Script),
               "--hand", str(pictures["hand"]), "--hand-pressed", str(pictures["pressed"]),
               "--hotspot", f"{Fingertip[0] * scale:.3f},{Fingertip[1] * HandSize[1] / HandDrawing[1]:.3f}"]
    for name in Keycaps:
        command += ["--keycap", f"{name}={pictures[name]}"]
    result = subprocess.run(command + extra, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if result.returncode != 0:
        sys.stderr.write(result.stdout.decode("utf-8", "replace") + result.stderr.decode("utf-8", "replace"))
        sys.exit("generate: filming failed")
    return result.stdout.decode("utf-8")

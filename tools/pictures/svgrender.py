"""Rendering helpers shared by the picture generator and the preview composer.

An SVG source is parsed, adjusted for one variant (size, visible layers, label text, a few attributes),
rendered by rsvg-convert against the fonts carried in data/fonts, and written back as a PNG that holds
exactly IHDR, IDAT and IEND, so the same sources always give the same bytes.
"""

import io
import os
import struct
import subprocess
import tempfile
import xml.etree.ElementTree as ET
import zlib
from pathlib import Path

from PIL import Image
import numpy as np

SvgNs = "http://www.w3.org/2000/svg"
InkscapeNs = "http://www.inkscape.org/namespaces/inkscape"
SodipodiNs = "http://sodipodi.sourceforge.net/DTD/sodipodi-0.dtd"
XlinkNs = "http://www.w3.org/1999/xlink"

for prefix, uri in (("", SvgNs), ("inkscape", InkscapeNs), ("sodipodi", SodipodiNs), ("xlink", XlinkNs)):
    ET.register_namespace(prefix, uri)


def FontEnvironment(fontDir: Path, workDir: Path) -> dict:
    """An environment whose fontconfig sees only the fonts of fontDir, with its cache in workDir."""
    conf = workDir / "fonts.conf"
    conf.write_text(
        '<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "fonts.dtd">\n<fontconfig>\n'
        f"  <dir>{fontDir}</dir>\n  <cachedir>{workDir / 'fontcache'}</cachedir>\n</fontconfig>\n",
        encoding="utf-8",
    )
    env = dict(os.environ)
    env["FONTCONFIG_FILE"] = str(conf)
    env.pop("FONTCONFIG_PATH", None)
    env["LC_ALL"] = "C.UTF-8"
    return env


def _Number(value: str) -> float:
    return float(value.strip().rstrip("px"))


def _Format(value: float) -> str:
    return ("%.3f" % value).rstrip("0").rstrip(".")


def _Classes(element) -> list:
    return element.get("class", "").split()


def _SetDisplay(element, shown: bool) -> None:
    style = [part for part in element.get("style", "").split(";") if part.strip() and not part.strip().startswith("display")]
    style.append("display:inline" if shown else "display:none")
    element.set("style", ";".join(style))


def Variant(source: Path, width: int, height: int, *, viewBox=None, stretch=None, show=(), hide=(), texts=None, attrs=None) -> bytes:
    """The SVG text of one variant of a source.

    stretch: how much wider than its drawing the variant is; elements of class "stretch" grow by it, "center"
    elements move by half of it and "right" elements by all of it (the button family uses this).
    show/hide: ids of layers to make visible or invisible. texts: id -> new text of that element.
    attrs: id -> {attribute: value}. viewBox: (x, y, w, h) of the source to render (one cell of a sheet).
    """
    tree = ET.parse(source)
    root = tree.getroot()
    byId = {element.get("id"): element for element in root.iter() if element.get("id")}
    if stretch:
        for element in root.iter():
            classes = _Classes(element)
            if "stretch" in classes:
                element.set("width", _Format(_Number(element.get("width")) + stretch))
            if "center" in classes or "right" in classes:
                shift = stretch / 2 if "center" in classes else stretch
                element.set("x", _Format(_Number(element.get("x", "0")) + shift))
    for name in show:
        _SetDisplay(byId[name], True)
    for name in hide:
        _SetDisplay(byId[name], False)
    for name, text in (texts or {}).items():
        element = byId[name]
        target = element.find(f"{{{SvgNs}}}tspan")
        (target if target is not None else element).text = text
    for name, values in (attrs or {}).items():
        for attribute, value in values.items():
            byId[name].set(attribute, value)
    if viewBox is None:
        viewBox = tuple(_Number(v) for v in root.get("viewBox", f"0 0 {root.get('width')} {root.get('height')}").split())
        if stretch:
            viewBox = (viewBox[0], viewBox[1], viewBox[2] + stretch, viewBox[3])
    root.set("viewBox", " ".join(_Format(v) for v in viewBox))
    root.set("width", str(width))
    root.set("height", str(height))
    return ET.tostring(root, encoding="utf-8", xml_declaration=True)


def RenderSvg(svgText: bytes, width: int, height: int, env: dict, workDir: Path) -> Image.Image:
    """Renders SVG text with rsvg-convert; the result is an RGBA image of exactly width x height."""
    with tempfile.NamedTemporaryFile("wb", suffix=".svg", dir=workDir, delete=False) as handle:
        handle.write(svgText)
        name = handle.name
    try:
        png = subprocess.run(
            ["rsvg-convert", "--format=png", f"--width={width}", f"--height={height}", name],
            check=True, capture_output=True, env=env,
        ).stdout
    finally:
        os.unlink(name)
    image = Image.open(io.BytesIO(png))
    image.load()
    image = image.convert("RGBA")
    if image.size != (width, height):
        raise RuntimeError(f"rsvg-convert gave {image.size}, wanted {(width, height)}")
    return image


def BleedColours(image: Image.Image) -> Image.Image:
    """Gives fully transparent texels the colour of their nearest visible neighbours.

    The renderer filters textures linearly when it squeezes them; transparent texels left black would then
    darken every scaled edge.
    """
    pixels = np.asarray(image).astype(np.float64)
    alpha = pixels[..., 3:4] / 255.0
    if alpha.min() > 0:
        return image
    known = alpha[..., 0] > 0
    colour = pixels[..., :3] * alpha
    weight = alpha.copy()
    filled = pixels[..., :3].copy()
    filled[~known] = 0
    # Four rings are enough: a linear filter reaches one texel beyond an edge even at strong squeezes.
    for _ in range(4):
        colourSum = _BoxSum(colour)
        weightSum = _BoxSum(weight)
        reached = ~known & (weightSum[..., 0] > 1e-6)
        filled[reached] = colourSum[reached] / weightSum[reached]
        colour[reached] = filled[reached]
        weight[reached] = 1.0
        known |= reached
    result = pixels.copy()
    result[..., :3] = np.where((pixels[..., 3] == 0)[..., None], filled, pixels[..., :3])
    return Image.fromarray(np.clip(np.rint(result), 0, 255).astype(np.uint8), "RGBA")


def _BoxSum(array: np.ndarray) -> np.ndarray:
    padded = np.pad(array, ((1, 1), (1, 1), (0, 0)), mode="edge")
    total = np.zeros_like(array)
    for dy in range(3):
        for dx in range(3):
            total += padded[dy:dy + array.shape[0], dx:dx + array.shape[1]]
    return total


def _Chunk(kind: bytes, body: bytes) -> bytes:
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def EncodePng(image: Image.Image, kind: str) -> bytes:
    """PNG bytes of exactly the colour type `kind` ("RGB" or "RGBA"), 8 bits, with no ancillary chunks."""
    image = image.convert(kind)
    buffer = io.BytesIO()
    image.save(buffer, format="PNG", compress_level=9)
    data = buffer.getvalue()
    position = 8
    kept = []
    while position < len(data):
        (length,) = struct.unpack(">I", data[position:position + 4])
        chunkKind = data[position + 4:position + 8]
        if chunkKind in (b"IHDR", b"IDAT", b"IEND"):
            kept.append(data[position:position + 12 + length])
        position += 12 + length
    return data[:8] + b"".join(kept)


def Flatten(image: Image.Image, background) -> Image.Image:
    """image laid over background (an RGB colour or an RGB image of the same size)."""
    if isinstance(background, Image.Image):
        base = background.convert("RGBA")
    else:
        base = Image.new("RGBA", image.size, background)
    return Image.alpha_composite(base, image).convert("RGB")

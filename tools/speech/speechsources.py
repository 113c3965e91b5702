"""Readers of the speech sources in data/src/speech/, shared by the speech and video generators.

Both files are made of blocks separated by blank lines; a block is lines of "name value", '#' starts a comment
line. phrases.txt holds one block per short spoken sound (the praise words, the closing phrase of the
instruction); commentary.txt holds the settings block of the instruction commentary and then one block per
sentence. The formats are described at the top of each file.
"""

from dataclasses import dataclass
from pathlib import Path

Root = Path(__file__).resolve().parents[2]
SpeechSources = Root / "data" / "src" / "speech"
Vowels = set("аеёиоуыэюяАЕЁИОУЫЭЮЯ")


def ReadBlocks(path: Path) -> list:
    """Every block of a source file as a list of (name, value, line number)."""
    blocks, block = [], []
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        text = line.strip()
        if text.startswith("#"):
            continue
        if not text:
            if block:
                blocks.append(block)
            block = []
            continue
        name, _, value = text.partition(" ")
        block.append((name, value.strip(), number))
    if block:
        blocks.append(block)
    return blocks


def _Fields(path: Path, block: list, required: set, optional: set) -> dict:
    fields = {}
    for name, value, number in block:
        if name not in required | optional:
            raise SystemExit(f"{path.name}:{number}: unknown field '{name}'")
        if name in fields:
            raise SystemExit(f"{path.name}:{number}: '{name}' given twice in one block")
        if not value:
            raise SystemExit(f"{path.name}:{number}: '{name}' has no value")
        fields[name] = value
    missing = required - fields.keys()
    if missing:
        raise SystemExit(f"{path.name}:{block[0][2]}: the block lacks {', '.join(sorted(missing))}")
    return fields


def _Number(path: Path, block: list, fields: dict, name: str) -> float:
    try:
        return float(fields[name])
    except ValueError:
        raise SystemExit(f"{path.name}:{block[0][2]}: '{name}' must be a number, not '{fields[name]}'")


def VowelCount(text: str) -> int:
    """Syllables of a Russian text: one per vowel letter."""
    return sum(1 for c in text if c in Vowels)


@dataclass
class Phrase:
    key: str        # catalogue key, the name the program asks the sound system for
    role: str       # one line for the catalogue
    length: float   # seconds
    rate: int       # samples per second
    start: float    # the voice's first sound, seconds from the start
    sparkle: float  # start of the chime after the word, seconds; 0 for none
    say: str        # the words as written
    voice: str      # the words as the voice is to say them: stress marks '+' before vowels
    pace: float     # the most syllables a second the voice may speak; 0 for its own pace
    rise: float     # semitones the voice climbs over the end of the words, as in a cheer; 0 for none


def ReadPhrases(path: Path = SpeechSources / "phrases.txt") -> list:
    phrases = []
    for block in ReadBlocks(path):
        fields = _Fields(path, block, {"key", "role", "length", "rate", "start", "say"},
                         {"voice", "sparkle", "pace", "rise"})
        optional = {name: _Number(path, block, fields, name) if name in fields else 0.0
                    for name in ("sparkle", "pace", "rise")}
        phrases.append(Phrase(fields["key"], fields["role"], _Number(path, block, fields, "length"),
                              int(_Number(path, block, fields, "rate")), _Number(path, block, fields, "start"),
                              optional["sparkle"], fields["say"], fields.get("voice", fields["say"]),
                              optional["pace"], optional["rise"]))
    return phrases


@dataclass
class Sentence:
    at: float    # seconds from the start of the commentary at which the sentence starts
    say: str     # as written (a subtitle)
    voice: str   # as the voice is to say it
    video: str   # what the instruction video shows meanwhile: one line of stage direction


@dataclass
class Commentary:
    key: str
    role: str
    length: float
    rate: int
    pace: float      # the most syllables a second the voice may speak
    under: float     # dB the game's sounds stay below the voice while it speaks
    sentences: list


def ReadCommentary(path: Path = SpeechSources / "commentary.txt") -> Commentary:
    blocks = ReadBlocks(path)
    if not blocks:
        raise SystemExit(f"{path.name}: empty")
    head = _Fields(path, blocks[0], {"key", "role", "length", "rate", "pace", "under"}, set())
    sentences = []
    for block in blocks[1:]:
        fields = _Fields(path, block, {"at", "say", "video"}, {"voice"})
        sentences.append(Sentence(_Number(path, block, fields, "at"), fields["say"],
                                  fields.get("voice", fields["say"]), fields["video"]))
    for earlier, later in zip(sentences, sentences[1:]):
        if later.at <= earlier.at:
            raise SystemExit(f"{path.name}: the sentence at {later.at} s does not come after the one at {earlier.at} s")
    return Commentary(head["key"], head["role"], _Number(path, blocks[0], head, "length"),
                      int(_Number(path, blocks[0], head, "rate")), _Number(path, blocks[0], head, "pace"),
                      _Number(path, blocks[0], head, "under"), sentences)

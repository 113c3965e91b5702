"""Loudness measurement and levelling shared by the sound generators.

Every sound of Звонкары is set to the same integrated loudness (EBU R 128, measured by ffmpeg's ebur128
filter) and kept under one true-peak ceiling, so no sound is louder than another and none clips. The
functions here work on float sample arrays shaped (frames, channels) and never change their length.

    Loudness(path, filters)             integrated loudness (LUFS) and true peak (dBTP) of a sound file
    MeasureFrames(frames, rate)         the same for samples in memory
    TruePeak(frames)                    true peak (linear) estimated by 4x oversampling, for limiting
    PeakCurve(frames, threshold)        a smooth gain per frame that holds |samples| under a threshold
    Level(frames, rate, lufs, dbtp)     one gain to the target loudness, peaks limited under the ceiling
    WriteFloatWav / ReadWav             32-bit float WAV out, 16-bit or float WAV in
    Decode(path, rate)                  any file ffmpeg reads, as float samples at a given rate

Needs ffmpeg and python3-numpy.
"""

import math
import os
import re
import struct
import subprocess
import sys
import tempfile
import wave

import numpy as np


def Run(command, **kwargs):
    """Runs a program; on failure prints its error output and stops the generator."""
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kwargs)
    if result.returncode != 0:
        sys.stderr.write(result.stderr.decode("utf-8", "replace"))
        sys.exit(f"failed: {' '.join(str(word) for word in command)}")
    return result


def Db(linear):
    return 20.0 * math.log10(linear) if linear > 0 else -math.inf


def FromDb(db):
    return 10.0 ** (db / 20.0)


# ------------------------------------------------------------------------------------------------ files

def WriteFloatWav(path, frames, rate):
    """frames: (count, channels) or (count,) floats; written as IEEE float WAV."""
    samples = np.asarray(frames, dtype="<f4")
    if samples.ndim == 1:
        samples = samples[:, None]
    channels = samples.shape[1]
    data = np.ascontiguousarray(samples).tobytes()
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 3, channels, rate, rate * 4 * channels, 4 * channels, 32)
    header += b"data" + struct.pack("<I", len(data))
    with open(path, "wb") as f:
        f.write(header + data)


def ReadWav(path):
    """A 16-bit PCM WAV (what Festival writes) as ((count, channels) float64 in [-1, 1), rate)."""
    with wave.open(path, "rb") as f:
        if f.getsampwidth() != 2:
            sys.exit(f"{path}: expected 16-bit samples")
        channels, rate = f.getnchannels(), f.getframerate()
        data = np.frombuffer(f.readframes(f.getnframes()), dtype="<i2")
    return data.reshape(-1, channels).astype(np.float64) / 32768.0, rate


def Decode(path, rate, channels=None):
    """Any sound file ffmpeg reads, as (count, channels) float64 at `rate` (its own channel count unless given)."""
    command = ["ffmpeg", "-hide_banner", "-nostats", "-loglevel", "error", "-i", path]
    if channels:
        command += ["-ac", str(channels)]
    command += ["-ar", str(rate), "-f", "f32le", "-acodec", "pcm_f32le", "-"]
    raw = Run(command).stdout
    if channels is None:
        probe = Run(["ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries", "stream=channels",
                     "-of", "default=nw=1:nk=1", path]).stdout
        channels = int(probe.decode().strip())
    return np.frombuffer(raw, dtype="<f4").reshape(-1, channels).astype(np.float64)


# ---------------------------------------------------------------------------------------------- measuring

def Loudness(path, filters=""):
    """Integrated loudness (LUFS) and true peak (dBTP) of a sound file, by ffmpeg's ebur128, after the ffmpeg
    `filters` when given (a chain ending in a comma)."""
    result = Run(["ffmpeg", "-hide_banner", "-nostats", "-i", str(path),
                  "-af", filters + "ebur128=peak=true:framelog=verbose", "-f", "null", "-"])
    text = result.stderr.decode("utf-8", "replace")
    summary = text[text.rfind("Summary:"):]
    lufs = re.search(r"I:\s+(-?[\d.]+|-inf) LUFS", summary).group(1)
    peak = re.search(r"Peak:\s+(-?[\d.]+|-inf) dBFS", summary).group(1)
    return float(lufs), float(peak)


def MeasureFrames(frames, rate):
    """Loudness() of samples in memory."""
    handle, path = tempfile.mkstemp(suffix=".wav", prefix="zv-loudness-")
    os.close(handle)
    try:
        WriteFloatWav(path, frames, rate)
        return Loudness(path)
    finally:
        os.remove(path)


def Oversample(frames, factor=4):
    """Band-limited interpolation by `factor` (FFT zero padding), for true-peak estimates."""
    frames = np.asarray(frames, dtype=np.float64)
    if frames.ndim == 1:
        frames = frames[:, None]
    count = len(frames)
    spectrum = np.fft.rfft(frames, axis=0)
    padded = np.zeros((count * factor // 2 + 1, frames.shape[1]), dtype=complex)
    padded[:len(spectrum)] = spectrum
    return np.fft.irfft(padded, n=count * factor, axis=0) * factor


def TruePeak(frames):
    """Largest absolute value between the samples as well as on them (linear)."""
    return float(np.abs(Oversample(frames)).max()) if len(frames) else 0.0


# ----------------------------------------------------------------------------------------------- limiting

def PeakCurve(frames, threshold, block=64, reach=4):
    """A gain per frame that keeps |frames| at or below `threshold`: a look-ahead limiter working on blocks of
    `block` frames, whose gain falls and recovers over about (2 * reach + 3) blocks (16 ms at 44.1 kHz)
    around a peak. Each frame's gain is at most the gain its own block needs, because the averaging reach is
    one block shorter than the minimum's reach."""
    frames = np.asarray(frames)
    if frames.ndim == 1:
        frames = frames[:, None]
    count, channels = frames.shape
    blocks = -(-count // block)
    padded = np.zeros((blocks * block, channels))
    padded[:count] = np.abs(frames)
    peaks = padded.reshape(blocks, block * channels).max(axis=1)
    need = np.minimum(1.0, threshold / np.maximum(peaks, 1e-12))
    lowest = np.lib.stride_tricks.sliding_window_view(
        np.pad(need, reach + 1, constant_values=1.0), 2 * reach + 3).min(axis=1)
    smooth = np.convolve(np.pad(lowest, reach, mode="edge"), np.ones(2 * reach + 1) / (2 * reach + 1), "valid")
    centres = np.arange(blocks) * block + (block - 1) / 2.0
    return np.interp(np.arange(count), centres, smooth)


def TruePeakCurve(frames, threshold):
    """PeakCurve() against the 4x oversampled signal, so the peaks between samples stay under `threshold`
    too; the curve is taken back to the original rate by its minimum over each frame's four sub-frames."""
    factor = 4
    fine = PeakCurve(Oversample(frames, factor), threshold, block=64 * factor)
    return fine.reshape(-1, factor).min(axis=1)


def Level(frames, rate, targetLufs, ceilingDbtp, rounds=6):
    """Frames brought to `targetLufs` integrated loudness, their true peaks limited to `ceilingDbtp`.

    One overall gain sets the loudness; where that gain pushes a peak over the ceiling, a smooth limiter
    curve takes it down, and the gain is measured again, until the loudness is within 0.05 LU of the target.
    Returns the levelled frames and (lufs, true peak dBTP) as ffmpeg measures them."""
    frames = np.asarray(frames, dtype=np.float64)
    ceiling = FromDb(ceilingDbtp)
    current = frames
    for _ in range(rounds):
        lufs, _ = MeasureFrames(current, rate)
        if math.isinf(lufs):
            sys.exit("level: the sound is silent")
        current = current * FromDb(targetLufs - lufs)
        if TruePeak(current) > ceiling:
            curve = TruePeakCurve(current, ceiling)
            current = current * (curve[:, None] if current.ndim == 2 else curve)
        lufs, peak = MeasureFrames(current, rate)
        if abs(lufs - targetLufs) <= 0.05 and peak <= ceilingDbtp + 0.05:
            return current, (lufs, peak)
    sys.exit(f"level: could not reach {targetLufs} LUFS under {ceilingDbtp} dBTP (got {lufs:.2f}, {peak:.2f})")

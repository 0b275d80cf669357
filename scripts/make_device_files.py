#!/usr/bin/env python3
"""Writes the example device files under examples/: ixo_86.dev for a
hyperspectral (IXO) meter of serial 212 with 86 wavelengths, and eqa_9.dev
for a nine-wavelength (EQA) meter of serial 117 whose channel lines are in
the meter's own order, not by wavelength. The calibrations are synthetic but
of realistic size: offsets of a few tenths 1/m, and temperature compensation
that is zero at the factory calibration temperature and changes smoothly
with wavelength and temperature. Run once; the files are committed."""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "examples")


def fmt(v):
    return "%.6f" % v


def compensation(wl, t, tcal, channel_a):
    """Temperature compensation (1/m) at wavelength wl (nm) and internal
    temperature t: a gentle slope in temperature with a little curvature,
    stronger towards the red where the source and detector drift most."""
    slope = 0.0004 + 0.0012 * ((wl - 400.0) / 350.0) ** 2
    if channel_a:
        slope *= 0.8
    dt = t - tcal
    return slope * dt + 0.00002 * dt * dt * math.sin(wl / 60.0)


def c_offset(wl):
    return 0.25 + 0.55 * math.exp(-(wl - 400.0) / 180.0) + 0.03 * math.sin(wl / 25.0)


def a_offset(wl):
    return 0.12 + 0.45 * math.exp(-(wl - 400.0) / 150.0) + 0.02 * math.cos(wl / 30.0)


def write(path, lines):
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def write_ixo(path):
    tcal = 21.4
    bins = [float(k) for k in range(36)]  # 0 to 35 degrees C
    n = 86
    c_wl = [round(400.3 + k * (349.0 / (n - 1)) + 0.4 * math.sin(k / 3.0), 1) for k in range(n)]
    a_wl = [round(w + 0.3 + 0.2 * math.cos(k / 5.0), 1) for k, w in enumerate(c_wl)]
    lines = [
        "IXO\t; meter model (Vantrel example device file, synthetic calibration)",
        "0x530000D4\t; serial number",
        "1\t; structure version",
        "tcal:\t%.1f\tC, factory calibration temperature" % tcal,
        "0.0\t1.0\t; depth calibration offset and slope",
        "19200\t; baud rate",
        "0.25\t; path length (m)",
        "%d\t; output wavelengths" % n,
        "%d\t; number of temperature bins" % len(bins),
        "\t".join("%.1f" % t for t in bins) + "\t; temperature bins",
    ]
    for c, a in zip(c_wl, a_wl):
        c_vals = "\t".join(fmt(compensation(c, t, tcal, False)) for t in bins)
        a_vals = "\t".join(fmt(compensation(a, t, tcal, True)) for t in bins)
        lines.append("C%.1f\tA%.1f\t16\t%s\t%s\t\t%s\t\t%s\t; C and A offset, C and A temperature compensation"
                     % (c, a, fmt(c_offset(c)), fmt(a_offset(a)), c_vals, a_vals))
    lines.append("0\t; end of wavelength list")
    lines.append("0\t; reserved")
    write(path, lines)


def write_eqa(path):
    tcal = 20.8
    bins = [2.5 * k for k in range(15)]  # 0 to 35 degrees C
    # The meter lists its channels in its own order, c and a interleaved.
    order = []
    for wl in (650, 676, 715, 412, 440, 488, 510, 532, 555):
        order += [("c", wl), ("a", wl)]
    lines = [
        "EQA\t; meter model (Vantrel example device file, synthetic calibration)",
        "117\t; serial number",
        "1\t; structure version",
        "tcal:\t%.1f\tC, factory calibration temperature" % tcal,
        "0.0\t1.0\t; depth calibration offset and slope",
        "9600\t; baud rate",
        "0.25\t; path length (m)",
        "%d\t; number of temperature bins" % len(bins),
        "\t".join("%.1f" % t for t in bins) + "\t; temperature bins",
    ]
    for kind, wl in order:
        is_a = kind == "a"
        offset = a_offset(wl) if is_a else c_offset(wl)
        vals = "\t".join(fmt(compensation(wl, t, tcal, is_a)) for t in bins)
        lines.append("%s%d\t3\t%s\t\t%s\t; %s offset, temperature compensation"
                     % (kind, wl, fmt(offset), vals, "a" if is_a else "c"))
    lines.append("0\t; end of channel list")
    lines.append("0\t; reserved")
    write(path, lines)


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    write_ixo(os.path.join(OUT, "ixo_86.dev"))
    write_eqa(os.path.join(OUT, "eqa_9.dev"))

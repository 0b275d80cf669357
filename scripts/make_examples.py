#!/usr/bin/env python3
"""Writes the example data files under examples/: a hyperspectral (IXO) cast
and a nine-wavelength (EQA) profile in the meter's text format, with
plausible coastal-water spectra, and a CTD file for the cast. Run once; the files are committed."""
import math
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "examples")


def spectrum(wl, depth_m, t):
    """a and c (1/m) of coastal water at wavelength wl (nm)."""
    chl = 1.5 + 2.0 * math.exp(-((depth_m - 12.0) ** 2) / 30.0)
    a_ph = chl * 0.03 * (math.exp(-((wl - 440) ** 2) / 1800) + 0.55 * math.exp(-((wl - 676) ** 2) / 150))
    a_cdom = 0.35 * math.exp(-0.016 * (wl - 412))
    a_w_drift = 0.004 * (wl - 400) / 350
    b = (0.6 + 0.15 * chl) * (550.0 / wl) ** 0.8
    a = a_ph + a_cdom + a_w_drift + 0.02 * b + 0.002 * math.sin(t / 900.0)
    return a, a + b


def fmt(v):
    return ("%.6f" % v).rstrip("0").rstrip(".") if v != 0 else "0"


def write_ixo(path):
    random.seed(212)
    c_wl = [400.2 + 4.05 * k + 0.3 * math.sin(k) for k in range(86)]
    a_wl = [w + 0.8 + 0.2 * math.cos(k) for k, w in enumerate(c_wl)]
    c_wl = [round(w, 1) for w in c_wl]
    a_wl = [round(w, 1) for w in a_wl]
    lines = [
        "Vantrel example: hyperspectral meter, coastal cast (synthetic data)",
        "IXO meter data file, firmware 1.1",
        "212\t; serial number",
        "2\t; structure version",
        "Tcal:\t21.4\tC, factory calibration temperature",
        "0.25\t0.25\t; depth calibration offset and slope",
        "19200\t; baud rate",
        "0.25\t; path length (m)",
        "%d\t; output wavelengths" % len(c_wl),
        "35\t; number of temperature bins",
        "\t".join("%.1f" % (5.5 + k) for k in range(35)) + "\t; temperature bins",
    ]
    for c, a in zip(c_wl, a_wl):
        lines.append("C%.1f\tA%.1f\t; channel" % (c, a))
    lines.append("0\t; end of wavelength list")
    lines.append("1\t\t\t; acquisition bin size")
    lines.append("Time(ms)\t" + "".join("C%.1f\t" % w for w in c_wl) + "".join("A%.1f\t" % w for w in a_wl)
                 + "Temp(C)\tStatus\tDepth(m)")
    t = 1250
    for r in range(60):
        depth = 0.5 + r * 0.4
        temp = 18.2 - 0.12 * depth
        cs, as_ = [], []
        for c, a in zip(c_wl, a_wl):
            _, cv = spectrum(c, depth, t)
            av, _ = spectrum(a, depth, t)
            cs.append(cv + random.gauss(0, 0.002))
            as_.append(av + random.gauss(0, 0.002))
        fields = [str(t)] + [fmt(v) for v in cs] + [fmt(v) for v in as_] + [fmt(temp), "0", fmt(depth)]
        lines.append("\t".join(fields))
        t += 250
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def write_eqa(path):
    random.seed(117)
    # The meter lists its channels in its own order, not by wavelength.
    order = [("c", 412), ("c", 440), ("c", 488), ("c", 510), ("c", 532), ("c", 555), ("c", 650), ("c", 676),
             ("c", 715), ("a", 650), ("a", 676), ("a", 715), ("a", 412), ("a", 440), ("a", 488), ("a", 510),
             ("a", 532), ("a", 555)]
    lines = [
        "Vantrel example: nine-wavelength meter, harbour profile (synthetic data)",
        "EQA meter data file",
        "117\t; serial number",
        "2\t; structure version",
        "Tcal:\t20.8\tC, factory calibration temperature",
        "0.25\t0.25\t; depth calibration offset and slope",
        "9600\t; baud rate",
        "0.25\t; path length (m)",
        "20\t; number of temperature bins",
        "\t".join("%.1f" % (2.0 + 1.5 * k) for k in range(20)) + "\t; temperature bins",
    ]
    for kind, wl in order:
        lines.append("%s%d\t; %s channel" % (kind, wl, "absorption" if kind == "a" else "attenuation"))
    lines.append("0\t; end of wavelength list")
    lines.append("1\t\t\t; acquisition bin size")
    lines.append("; 18 channels in the order listed above")
    lines.append("Time(ms)\t" + "\t".join("%s%d" % (k.upper(), w) for k, w in order) + "\tTemp(C)\tStatus\tDepth(m)")
    t = 4000
    for r in range(40):
        depth = 1.0 + r * 0.5
        temp = 16.0 - 0.08 * depth
        vals = []
        for kind, wl in order:
            a, c = spectrum(wl, depth, t)
            vals.append((a if kind == "a" else c) + random.gauss(0, 0.003))
        lines.append("\t".join([str(t)] + [fmt(v) for v in vals] + [fmt(temp), "0", fmt(depth)]))
        t += 125
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def write_ctd(path):
    """CTD rows on the meter's clock (ms) every 400 ms across the Ixo cast."""
    random.seed(5)
    lines = ["# Synthetic CTD cast to go with ixo_cast.dat", "time_ms\tpres_dbar\ttemp_C\tcond_S/m\tsal_psu",
             "ms\tdbar\tdegC\tS/m\tpsu"]
    for k in range(45):
        t = 1000 + 400 * k
        depth = max(0.0, 0.5 + (t - 1250) / 250 * 0.4)
        temp = 18.2 - 0.12 * depth + random.gauss(0, 0.01)
        sal = 32.1 + 0.05 * depth + random.gauss(0, 0.005)
        lines.append("%d\t%.3f\t%.4f\t%.4f\t%.4f" % (t, depth * 1.01, temp, 4.2 + 0.01 * temp, sal))
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    write_ixo(os.path.join(OUT, "ixo_cast.dat"))
    write_eqa(os.path.join(OUT, "eqa_profile.dat"))
    write_ctd(os.path.join(OUT, "ixo_cast.ctd"))

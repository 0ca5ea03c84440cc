#!/usr/bin/python3
"""Compares TXDECODE (through the win64 a52wav under Wine) with ffmpeg's AC-3 decoder.

Streams are made at test time: ffmpeg's AC-3 encoder encodes synthetic signals (tones,
noise, sweeps; different content per channel) for every audio coding mode with and without
LFE, at 48000, 44100 and 32000 Hz and several bit rates; the frame builder (a52peer build)
adds the paths the encoder never writes. Every block's dither flags are cleared first
(a52peer undither; dither differs between decoders) and both check words recomputed.

ffmpeg decodes each stream to floating point in all its channels; a52wav decodes it to
stereo and to mono. The expected output is ffmpeg's channels mixed with the coefficients the
decoder's downmix prescribes for the stream's acmod, cmixlev and surmixlev. A single gain
factor relates the two: our samples / 32768 = 1.5 x the nominal output (the library scales
by 49152), asserted for every comparison; with it every channel must reach 60 dB SNR.

usage: peer_compare.py A52PEER A52WAV WORKDIR [--quick] [--channels] [--only=TEXT]
  A52WAV: the win64 a52wav.exe (run under Wine) or the native a52wav.
  --channels: no a52wav; every channel (LFE too) through the core apart, against ffmpeg's
              channel without any downmix, and the core's allocation against the model.
  --matrices: no a52wav; the core's own downmix for other output configurations, the four
              dual-mono modes and the LFE output, against ffmpeg's channels mixed as prescribed;
              and delta-allocation frames against the direct formulas (a52peer reference).
"""
import array
import math
import os
import subprocess
import sys
import wave

import txharness

GAIN = 1.5
GAIN_TOLERANCE = 0.002
MIN_SNR_DB = 60.0
SECONDS = 1.0
C707 = 0.707106781
CLEV = [0.707106781, 0.594603557, 0.5, 0.594603557]
SLEV = [0.707106781, 0.5, 0.0, 0.5]

# acmod -> (ffmpeg layout without LFE, with LFE or None, channel names in ffmpeg's order)
LAYOUTS = {
    1: ("mono", "2 channels (FC+LFE)", ["C"], ["C", "LFE"]),
    2: ("stereo", "2.1", ["L", "R"], ["L", "R", "LFE"]),
    3: ("3.0", "3.1", ["L", "R", "C"], ["L", "R", "C", "LFE"]),
    4: ("3.0(back)", "4 channels (FL+FR+LFE+BC)", ["L", "R", "S"], ["L", "R", "LFE", "S"]),
    5: ("4.0", "4.1", ["L", "R", "C", "S"], ["L", "R", "C", "LFE", "S"]),
    6: ("quad(side)", None, ["L", "R", "Ls", "Rs"], None),
    7: ("5.0(side)", "5.1(side)", ["L", "R", "C", "Ls", "Rs"], ["L", "R", "C", "LFE", "Ls", "Rs"]),
}
NAMES = {0: "1+1", 1: "1/0", 2: "2/0", 3: "3/0", 4: "2/1", 5: "3/1", 6: "2/2", 7: "3/2"}
# Bit rates (kb/s) per number of full-bandwidth channels: low (coupling), middle, high.
RATES = {1: [48, 96, 192], 2: [64, 128, 256], 3: [96, 192, 384], 4: [128, 256, 448],
         5: [160, 320, 448]}
# The frame-builder scenarios whose frames ffmpeg decodes differently from the test's own
# model of delta bit allocation: decoded by us only (must decode without error).
OURS_ONLY = {"delta_alloc_30", "delta_cpl_32"}
# Scenarios carrying dynrng words (cuts only): our line mode applies them in full when the
# downmix may overload, else not at all; ffmpeg's decode with its dynamic range control on
# or off is the reference accordingly.
NO_DRC = {"dynrng_compr_20", "everything_32k"}


def run(cmd, **kw):
    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kw)
    if r.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (cmd[0], r.returncode, r.stderr.decode(errors="replace")))
    return r.stdout.decode(errors="replace")


def signal(name, index, rate, n):
    """Test content of one channel: tones, noise, sweeps; each channel different."""
    amp = 0.12
    out = array.array("f", [0.0] * n)
    seed = 12345 + 977 * index
    kind = index % 4
    f0 = 110.0 * (index + 2)
    for i in range(n):
        t = i / rate
        if kind == 0:
            v = math.sin(2 * math.pi * f0 * t) + 0.3 * math.sin(2 * math.pi * 3.1 * f0 * t)
        elif kind == 1:
            seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
            v = (seed / 0x7FFFFFFF - 0.5) * 2.0
        elif kind == 2:
            f = 200.0 + 6000.0 * t / SECONDS
            v = math.sin(2 * math.pi * (200.0 * t + 3000.0 * t * t / SECONDS))
        else:
            v = math.sin(2 * math.pi * f0 * t) * (0.5 + 0.5 * math.sin(2 * math.pi * 3 * t))
        if name == "LFE":
            v = math.sin(2 * math.pi * 50.0 * t)
        out[i] = amp * v
    return out


def encode(work, tag, acmod, lfe, rate, kbps):
    layout, layout_lfe, names, names_lfe = LAYOUTS[acmod]
    if lfe:
        layout, names = layout_lfe, names_lfe
    n = int(rate * SECONDS)
    chans = [signal(nm, i, rate, n) for i, nm in enumerate(names)]
    pcm = array.array("f", [0.0] * (n * len(names)))
    for c, data in enumerate(chans):
        pcm[c::len(names)] = data
    raw = os.path.join(work, tag + ".pcm")
    with open(raw, "wb") as f:
        f.write(pcm.tobytes())
    ac3 = os.path.join(work, tag + ".ac3")
    run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "f32le", "-ar", str(rate),
         "-ch_layout", layout, "-i", raw, "-c:a", "ac3", "-b:a", "%dk" % kbps, ac3])
    os.remove(raw)
    return ac3


def stream_info(a52peer, path):
    line = run([a52peer, "check", path]).strip()
    return dict(kv.split("=") for kv in line.split())


def ffmpeg_decode(path, drc=True):
    """ffmpeg's decode as a list of channels (floats) and its channel layout name."""
    layout = run(["ffprobe", "-v", "error", "-show_entries", "stream=channel_layout", "-of",
                  "csv=p=0", path]).strip()
    cmd = ["ffmpeg", "-hide_banner", "-loglevel", "error"]
    if not drc:
        cmd += ["-drc_scale", "0"]
    raw = subprocess.run(cmd + ["-i", path, "-f", "f32le", "-"], stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, check=True).stdout
    data = array.array("f", raw)
    count = {"mono": 1, "stereo": 2, "2.1": 3, "3.0": 3, "3.0(back)": 3, "3.1": 4, "4.0": 4,
             "quad(side)": 4, "quad": 4, "4.1": 5, "5.0(side)": 5, "5.0": 5, "5.1(side)": 6,
             "5.1": 6, "2 channels (FC+LFE)": 2, "4 channels (FL+FR+LFE+BC)": 4,
             "5 channels (FL+FR+LFE+SL+SR)": 5}[layout]
    return [data[c::count] for c in range(count)], layout


def channel_names(acmod, lfe, layout):
    if acmod == 0:
        return ["L", "R"]
    for a, (l0, l1, n0, n1) in LAYOUTS.items():
        if layout == l0:
            return n0
        if layout == l1:
            return n1
    if layout == "5 channels (FL+FR+LFE+SL+SR)":
        return ["L", "R", "LFE", "Ls", "Rs"]
    raise RuntimeError("unknown layout " + layout)


def matrix(acmod, cmixlev, surmixlev, mono):
    """Rows of the prescribed downmix: {output: {input: coefficient}} (LFE not output)."""
    clev, slev = CLEV[cmixlev], SLEV[surmixlev]
    if acmod == 0:
        return {"C": {"L": 0.5, "R": 0.5}} if mono else {"L": {"L": 1.0}, "R": {"R": 1.0}}
    nf = [2, 1, 2, 3, 2, 3, 2, 3][acmod]
    ns = [0, 0, 0, 0, 1, 1, 2, 2][acmod]
    if mono:
        row = {}
        if nf != 1:
            row["L"] = row["R"] = C707
        if nf == 1:
            row["C"] = 1.0
        if nf == 3:
            row["C"] = clev * 1.414213562
        if ns == 1:
            row["S"] = slev * C707
        if ns == 2:
            row["Ls"] = row["Rs"] = slev * C707
        return {"C": row}
    left, right = {}, {}
    if nf == 1:
        left["C"] = right["C"] = C707
    else:
        left["L"], right["R"] = 1.0, 1.0
        if nf == 3:
            left["C"] = right["C"] = clev
    if ns == 1:
        left["S"] = right["S"] = slev * C707
    if ns == 2:
        left["Ls"], right["Rs"] = slev, slev
    return {"L": left, "R": right}


def ours_decode(a52wav, path, mono, work):
    out = os.path.join(work, os.path.basename(path) + (".mono.wav" if mono else ".wav"))
    if a52wav.endswith(".exe"):
        args = [a52wav] + (["--mono"] if mono else []) + [txharness.winpath(path), txharness.winpath(out)]
        r = txharness.run(args, cwd=os.environ["TX_DIST"], timeout=120)
    else:  # the native build, for investigating without Wine
        r = subprocess.run([a52wav] + (["--mono"] if mono else []) + [path, out],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    if r.returncode != 0:
        raise RuntimeError("a52wav failed: " + r.stderr.decode(errors="replace"))
    summary = r.stdout.decode(errors="replace").strip()
    w = wave.open(out, "rb")
    chans, frames, rate = w.getnchannels(), w.getnframes(), w.getframerate()
    data = array.array("h", w.readframes(frames))
    w.close()
    os.remove(out)
    return [data[c::chans] for c in range(chans)], rate, summary


def compare(ours, ref, skip=0):
    n = min(len(ours), len(ref))
    ours, ref, n = ours[skip:n], ref[skip:n], n - skip
    sxy = syy = 0.0
    for i in range(n):
        x, y = ours[i] / 32768.0, ref[i]
        sxy += x * y
        syy += y * y
    gain = sxy / syy if syy else 0.0
    err = sig = 0.0
    for i in range(n):
        x, y = ours[i] / 32768.0, GAIN * ref[i]
        err += (x - y) ** 2
        sig += y * y
    snr = 10 * math.log10(sig / err) if err > 0 else 200.0
    peak = max(abs(v) for v in ref[:n]) * GAIN if n else 0.0
    return gain, snr, peak


def check_stream(a52peer, a52wav, path, name, work, rows, failures, drc=True, skip_first=0):
    info = stream_info(a52peer, path)
    acmod, lfe = int(info["acmod"]), int(info["lfeon"])
    undithered = path + ".nd.ac3"
    # Half the streams go to a52wav in the library's own word order.
    run([a52peer, "undither", path, undithered] + (["--words-le"] if len(rows) % 2 else []))
    ref_path = undithered
    if len(rows) % 2:
        ref_path = path + ".nd-ref.ac3"
        run([a52peer, "undither", path, ref_path])
    chans, layout = ffmpeg_decode(ref_path, True)
    names = channel_names(acmod, lfe, layout)
    with_drc = dict(zip(names, chans))
    without_drc = with_drc if drc else dict(zip(names, ffmpeg_decode(ref_path, False)[0]))
    rate = {0: 48000, 1: 44100, 2: 32000}[int(info["fscod"])] >> {9: 1, 10: 2}.get(int(info["bsid"]), 0)
    for mono in (False, True):
        ours, our_rate, summary = ours_decode(a52wav, undithered, mono, work)
        if our_rate != rate:
            failures.append("%s: WAVE rate %d, expected %d" % (name, our_rate, rate))
        if " errors=0 " not in " " + summary + " ":
            failures.append("%s: a52wav reports errors: %s" % (name, summary))
        rowsm = matrix(acmod, int(info["cmixlev"]), int(info["surmixlev"]), mono)
        # Dynamic range cuts apply (in full, in line mode) only when the mix may overload.
        overload = max(sum(abs(c) for c in row.values()) for row in rowsm.values()) > 1.0
        byname = with_drc if overload else without_drc
        outs = ["C"] if mono else ["L", "R"]
        for k, out in enumerate(outs):
            n = len(ours[k])
            ref = array.array("f", [0.0] * n)
            for src, coef in rowsm[out].items():
                data = byname[src]
                for i in range(min(n, len(data))):
                    ref[i] += coef * data[i]
            if len(chans[0]) != n:
                failures.append("%s: %d samples, ffmpeg %d" % (name, n, len(chans[0])))
            gain, snr, peak = compare(ours[k], ref, skip_first)
            out_name = ("mono" if mono else "stereo") + ":" + out
            rows.append((name, NAMES[acmod] + ("+LFE" if lfe else ""), rate, out_name,
                         info["coupled_blocks"], gain, snr))
            if abs(gain - GAIN) > GAIN_TOLERANCE:
                failures.append("%s %s: gain %.5f, expected %.3f" % (name, out_name, gain, GAIN))
            if snr < MIN_SNR_DB:
                failures.append("%s %s: SNR %.1f dB below %.0f" % (name, out_name, snr, MIN_SNR_DB))
            if peak >= 0.99:
                failures.append("%s %s: reference peak %.2f would clip; test levels too high" % (name, out_name, peak))
    for p in (undithered, path + ".nd-ref.ac3"):
        if os.path.exists(p):
            os.remove(p)


SLOTS = {"L": 0, "C": 1, "R": 2, "S": 3, "Ls": 3, "Rs": 4, "LFE": 5}


def check_channels(a52peer, path, name, work, rows, failures, skip_first=0):
    """Every channel of the stream, LFE included, decoded apart by the core (a52peer
    multichannel, which also checks the core's exponents and bit allocation against the
    test's own model) and compared with ffmpeg's channel at the nominal scale (gain 1)."""
    info = stream_info(a52peer, path)
    acmod, lfe = int(info["acmod"]), int(info["lfeon"])
    undithered = path + ".nd.ac3"
    run([a52peer, "undither", path, undithered])
    out = path + ".f32"
    r = subprocess.run([a52peer, "multichannel", undithered, out], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    text = r.stdout.decode(errors="replace").strip()
    if r.returncode != 0 or "errors=0 allocation_mismatches=0" not in text:
        failures.append("%s: core: %s" % (name, text.splitlines()[-3:] if text else r.stderr))
    chans, layout = ffmpeg_decode(undithered, False)
    names = channel_names(acmod, lfe, layout)
    ours = array.array("f", open(out, "rb").read())
    if acmod == 0:
        slots = {"L": 0, "R": 2}
    else:
        slots = SLOTS
    for nm, ref in zip(names, chans):
        mine = ours[slots[nm]::6]
        n = min(len(mine), len(ref))
        err = sig = 0.0
        for i in range(skip_first, n):
            err += (mine[i] - ref[i]) ** 2
            sig += ref[i] * ref[i]
        snr = 10 * math.log10(sig / err) if err > 0 else 200.0
        rows.append((name, NAMES[acmod] + ("+LFE" if lfe else ""), 0, "chan:" + nm, info["coupled_blocks"], 1.0, snr))
        if len(mine) != len(ref):
            failures.append("%s %s: %d samples, ffmpeg %d" % (name, nm, len(mine), len(ref)))
        if snr < MIN_SNR_DB:
            failures.append("%s %s: SNR %.1f dB below %.0f" % (name, nm, snr, MIN_SNR_DB))
    os.remove(out)
    os.remove(undithered)


def expected_matrix(acmod, cmixlev, surmixlev, mode, dual, lfe_out):
    """The downmix the decoder prescribes for an output mode, dual-mono mode and LFE flag:
    {output slot: {input name: coefficient}}."""
    clev, slev = CLEV[cmixlev], SLEV[surmixlev]
    out_slots = {0: ["L", "R"], 1: ["C"], 2: ["L", "R"], 3: ["L", "C", "R"], 4: ["L", "R", "S"],
                 5: ["L", "C", "R", "S"], 6: ["L", "R", "Ls", "Rs"], 7: ["L", "C", "R", "Ls", "Rs"]}[mode]
    nfo = [2, 1, 2, 3, 2, 3, 2, 3][mode]
    nso = [0, 0, 0, 0, 1, 1, 2, 2][mode]
    m = {o: {} for o in out_slots}
    if acmod == 0:
        h = 0.5
        if nfo == 1:
            m["C"] = {1: {"L": 1.0}, 2: {"R": 1.0}}.get(dual, {"L": h, "R": h})
        elif nfo == 2:
            m["L"], m["R"] = [({"L": 1.0}, {"R": 1.0}), ({"L": C707}, {"L": C707}),
                              ({"R": C707}, {"R": C707}), ({"L": h, "R": h}, {"L": h, "R": h})][dual]
        else:
            if dual == 0:
                m["L"], m["R"] = {"L": 1.0}, {"R": 1.0}
            else:
                m["C"] = [None, {"L": 1.0}, {"R": 1.0}, {"L": h, "R": h}][dual]
    else:
        nf = [2, 1, 2, 3, 2, 3, 2, 3][acmod]
        ns = [0, 0, 0, 0, 1, 1, 2, 2][acmod]
        ins = {1: ["C"], 2: ["L", "R"], 3: ["L", "C", "R"], 4: ["L", "R", "S"], 5: ["L", "C", "R", "S"],
               6: ["L", "R", "Ls", "Rs"], 7: ["L", "C", "R", "Ls", "Rs"]}[acmod]
        slot_of = {"L": 0, "C": 1, "R": 2, "S": 3, "Ls": 3, "Rs": 4}
        for o in out_slots:
            for i in ins:
                if slot_of[o] == slot_of[i]:
                    m[o][i] = 1.0
        if mode == 0:
            if nf != 2:
                m["L"]["C"] = m["R"]["C"] = C707
            if ns == 1:
                m["L"]["S"], m["R"]["S"] = -C707, C707
            if ns == 2:
                m["L"]["Ls"] = m["L"]["Rs"] = -C707
                m["R"]["Ls"] = m["R"]["Rs"] = C707
        elif mode == 1:
            m["C"] = matrix(acmod, cmixlev, surmixlev, True)["C"]
        else:
            if nfo == 2:
                if nf == 1:
                    m["L"]["C"] = m["R"]["C"] = C707
                if nf == 3:
                    m["L"]["C"] = m["R"]["C"] = clev
            if ns == 1:
                if nso == 0:
                    m["L"]["S"] = m["R"]["S"] = slev * C707
                if nso == 2:
                    m["Ls"]["S"] = m["Rs"]["S"] = C707
            if ns == 2:
                if nso == 0:
                    m["L"]["Ls"], m["R"]["Rs"] = slev, slev
                if nso == 1:
                    m["S"] = {"Ls": C707, "Rs": C707}
    if lfe_out:
        m["LFE"] = {"LFE": 1.0}
    return m


def check_matrices(a52peer, path, name, configs, rows, failures, skip_first=0):
    """Decodes the stream through the core with its own downmix for each (mode, dual, LFE)
    and compares every output slot with ffmpeg's channels mixed as prescribed."""
    info = stream_info(a52peer, path)
    acmod, lfe = int(info["acmod"]), int(info["lfeon"])
    undithered = path + ".nd.ac3"
    run([a52peer, "undither", path, undithered])
    chans, layout = ffmpeg_decode(undithered, False)
    byname = dict(zip(channel_names(acmod, lfe, layout), chans))
    for mode, dual, lfe_out in configs:
        out = path + ".f32"
        word = 0x2000 | (dual << 8) | (8 if lfe_out else 0) | mode
        run([a52peer, "decode", undithered, out, str(word)])
        ours = array.array("f", open(out, "rb").read())
        os.remove(out)
        for o, row in expected_matrix(acmod, int(info["cmixlev"]), int(info["surmixlev"]), mode, dual,
                                      lfe_out and lfe).items():
            mine = ours[SLOTS[o]::6]
            n = min(len(mine), min(len(c) for c in chans))
            err = sig = 0.0
            for i in range(skip_first, n):
                y = sum(c * byname[src][i] for src, c in row.items())
                err += (mine[i] - y) ** 2
                sig += y * y
            if sig == 0.0:
                snr = 200.0 if err == 0.0 else -200.0
            else:
                snr = 10 * math.log10(sig / err) if err > 0 else 200.0
            label = "m%d d%d%s:%s" % (mode, dual, "+lfe" if lfe_out else "", o)
            rows.append((name, NAMES[acmod] + ("+LFE" if lfe else ""), 0, label, info["coupled_blocks"], 1.0, snr))
            if snr < MIN_SNR_DB:
                failures.append("%s %s: SNR %.1f dB below %.0f" % (name, label, snr, MIN_SNR_DB))
    os.remove(undithered)


def matrices_main(a52peer, work):
    rows, failures = [], []
    dual = [(mode, d, False) for mode in (1, 2, 3) for d in range(4)]
    for sc in ("dual_mono_10", "dual_mono_extras"):
        path = os.path.join(work, "mx_" + sc + ".ac3")
        run([a52peer, "build", sc, path, "12"])
        check_matrices(a52peer, path, sc, dual, rows, failures, skip_first=1536)
        os.remove(path)
    for acmod, lfe, configs in ((7, 1, [(0, 0, False), (6, 0, False), (4, 0, False), (3, 0, False),
                                        (7, 0, True), (5, 0, True), (2, 0, True)]),
                                (4, 0, [(0, 0, False), (1, 0, False), (6, 0, False), (7, 0, False)]),
                                (1, 0, [(2, 0, False), (3, 0, False), (0, 0, False)])):
        tag = "mx_enc_%d%s" % (acmod, "lfe" if lfe else "")
        path = encode(work, tag, acmod, lfe, 48000, RATES[[0, 1, 2, 3, 3, 4, 4, 5][acmod]][1])
        check_matrices(a52peer, path, tag, configs, rows, failures)
        os.remove(path)
    # Streams the peer cannot judge (delta bit allocation) against the direct formulas:
    # a52peer reference dequantises the model's mantissas and evaluates the inverse
    # transform's defining sum, window and overlap; an encoder stream without coupling or
    # short blocks first shows that the formulas and the core agree where ffmpeg agrees too.
    plain = encode(work, "ref_enc_30", 3, 0, 32000, 448)
    built = os.path.join(work, "ref_delta_alloc_30.ac3")
    run([a52peer, "build", "delta_alloc_30", built, "30"])
    for name, path in (("ref_enc_30", plain), ("delta_alloc_30", built)):
        nd = path + ".nd.ac3"
        run([a52peer, "undither", path, nd])
        run([a52peer, "reference", nd, path + ".ref.f32"])
        r = subprocess.run([a52peer, "multichannel", nd, path + ".core.f32"], stdout=subprocess.PIPE)
        if r.returncode != 0:
            failures.append("%s: core: %s" % (name, r.stdout.decode(errors="replace")[-200:]))
        ref = array.array("f", open(path + ".ref.f32", "rb").read())
        core = array.array("f", open(path + ".core.f32", "rb").read())
        for slot, label in ((0, "L"), (1, "C"), (2, "R")):
            x, y = ref[slot::6], core[slot::6]
            n = min(len(x), len(y))
            err = sum((y[i] - x[i]) ** 2 for i in range(n))
            sig = sum(v * v for v in x[:n])
            snr = 10 * math.log10(sig / err) if err > 0 else 200.0
            rows.append((name, "3/0", 0, "formulas:" + label, "-", 1.0, snr))
            if len(x) != len(y) or sig == 0.0 or snr < MIN_SNR_DB:
                failures.append("%s formulas %s: SNR %.1f dB" % (name, label, snr))
        for q in (path, nd, path + ".ref.f32", path + ".core.f32"):
            os.remove(q)
    print("%-28s %-10s %-14s %7s" % ("stream", "layout", "output", "SNR dB"))
    for r in rows:
        print("%-28s %-10s %-14s %7.1f" % (r[0], r[1], r[3], r[6]))
    print("matrix comparisons=%d min_snr=%.1f" % (len(rows), min(r[6] for r in rows)))
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


def main():
    a52peer, a52wav, work = (os.path.abspath(a) for a in sys.argv[1:4])
    if "--matrices" in sys.argv:
        os.makedirs(work, exist_ok=True)
        return matrices_main(a52peer, work)
    quick = "--quick" in sys.argv
    channels_only = "--channels" in sys.argv
    os.makedirs(work, exist_ok=True)
    rows, failures = [], []
    cases = []
    index = 0
    for acmod in range(1, 8):
        for lfe in (0, 1):
            if lfe and LAYOUTS[acmod][1] is None:
                continue  # ffmpeg's encoder has no 2/2 layout with LFE
            for fs in (48000, 44100, 32000):
                nf = [0, 1, 2, 3, 3, 4, 4, 5][acmod]
                kbps = RATES[nf][index % 3]
                index += 1
                cases.append((acmod, lfe, fs, kbps))
    if quick:
        cases = cases[::5]
    only = [a[7:] for a in sys.argv if a.startswith("--only=")]
    if only:
        cases = [c for c in cases if only[0] in "enc_%s%s_%d_%dk" % (NAMES[c[0]].replace("/", ""), "lfe" if c[1] else "", c[2], c[3])]
    for acmod, lfe, fs, kbps in cases:
        tag = "enc_%s%s_%d_%dk" % (NAMES[acmod].replace("/", ""), "lfe" if lfe else "", fs, kbps)
        path = encode(work, tag, acmod, lfe, fs, kbps)
        try:
            if channels_only:
                check_channels(a52peer, path, tag, work, rows, failures)
            else:
                check_stream(a52peer, a52wav, path, tag, work, rows, failures)
        except Exception as e:  # a failure of one stream must not hide the others
            failures.append("%s: %s" % (tag, e))
        os.remove(path)
    scenarios = run([a52peer, "scenarios"]).split()
    if only:
        scenarios = [sc for sc in scenarios if only[0] in sc]
    for sc in scenarios:
        path = os.path.join(work, "built_" + sc + ".ac3")
        try:
            run([a52peer, "build", sc, path, "30"])
            if channels_only:
                if sc in OURS_ONLY:
                    r = subprocess.run([a52peer, "multichannel", path, path + ".f32"], stdout=subprocess.PIPE)
                    if r.returncode != 0 or b"errors=0 allocation_mismatches=0" not in r.stdout:
                        failures.append("%s: core: %s" % (sc, r.stdout.decode(errors="replace")[-300:]))
                    os.remove(path + ".f32")
                else:
                    check_channels(a52peer, path, sc, work, rows, failures, skip_first=1536)
            elif sc in OURS_ONLY:
                nd = path + ".nd.ac3"
                run([a52peer, "undither", path, nd])
                for mono in (False, True):
                    _, _, summary = ours_decode(a52wav, nd, mono, work)
                    rows.append((sc, "ours only", 0, "mono" if mono else "stereo", "-", 0.0, 0.0))
                    if " errors=0 " not in " " + summary + " ":
                        failures.append("%s: a52wav reports errors: %s" % (sc, summary))
                os.remove(nd)
            else:
                # The first frame is left out: ffmpeg's decode of a first frame that switches
                # a channel from long to short blocks differs from ours (and from its own
                # decode of the same switch in any later frame).
                check_stream(a52peer, a52wav, path, sc, work, rows, failures,
                             drc=sc not in NO_DRC, skip_first=1536)
        except Exception as e:
            failures.append("%s: %s" % (sc, e))
        if os.path.exists(path):
            os.remove(path)
    print("%-28s %-10s %6s %-10s %5s %8s %7s" % ("stream", "layout", "rate", "output", "cpl", "gain", "SNR dB"))
    for r in rows:
        print("%-28s %-10s %6d %-10s %5s %8.5f %7.1f" % r)
    compared = [r for r in rows if r[1] != "ours only"]
    if compared:
        print("comparisons=%d min_snr=%.1f gain=%.5f..%.5f" % (
            len(compared), min(r[6] for r in compared), min(r[5] for r in compared),
            max(r[5] for r in compared)))
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

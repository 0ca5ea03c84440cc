#!/usr/bin/python3
"""Black-box tests of the win64 a52wav under Wine: byte orders, garbage, lost frames, mono,
and the refusals (missing file, no sync word, truncated last frame, unwritable output,
rate the library rejects).

usage: test_a52wav.py A52WAV_EXE WORKDIR
"""
import os
import re
import struct
import subprocess
import sys
import wave

import txharness

SUMMARY = re.compile(r"^frames=(\d+) errors=(\d+) concealed=(\d+) seconds=([\d.]+) decode_ms=([\d.]+)( skipped_bytes=(\d+))?$")
failures = []


def check(cond, what):
    print(("ok    " if cond else "FAIL  ") + what)
    if not cond:
        failures.append(what)


def a52wav(exe, *args):
    conv = [txharness.winpath(a) if os.path.isabs(a) else a for a in args]
    r = txharness.run([exe] + conv, cwd=os.environ["TX_DIST"], timeout=120)
    return r.returncode, r.stdout.decode(errors="replace").strip(), r.stderr.decode(errors="replace").strip()


def wav_info(path):
    w = wave.open(path, "rb")
    info = (w.getnchannels(), w.getframerate(), w.getsampwidth(), w.getnframes(), w.readframes(w.getnframes()))
    w.close()
    return info


def swapped(data):
    b = bytearray(data)
    b[0::2], b[1::2] = b[1::2], b[0::2]
    return bytes(b)


def main():
    exe, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    os.makedirs(work, exist_ok=True)
    ac3 = os.path.join(work, "tone.ac3")
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "sine=f=500:r=44100:d=0.5", "-ac", "2", "-c:a", "ac3", "-b:a", "128k", ac3], check=True)
    data = open(ac3, "rb").read()
    # 128 kb/s at 44.1 kHz: frames of 278 or 279 words (frame-size codes 16 and 17).
    sizes, pos = [], 0
    while pos + 6 <= len(data) and data[pos:pos + 2] == b"\x0b\x77":
        sizes.append(2 * (278 + (data[pos + 4] & 1)))
        pos += sizes[-1]
    frames = len(sizes)
    frame_bytes = sizes[3] if frames > 3 else 0
    check(pos == len(data) and frames >= 10, "test stream: %d frames of 556 or 558 bytes" % frames)

    # Ordinary .ac3 byte order.
    out = os.path.join(work, "a.wav")
    rc, so, se = a52wav(exe, ac3, out)
    m = SUMMARY.match(so)
    check(rc == 0 and m is not None, "decode: exit 0 and one summary line (%r)" % so)
    if m:
        check(int(m.group(1)) == frames and m.group(2) == "0" and m.group(3) == "0",
              "summary counts %d frames, no errors, none concealed" % frames)
        check(abs(float(m.group(4)) - frames * 1536 / 44100.0) < 0.001, "summary seconds")
    ch, rate, width, n, pcm = wav_info(out)
    check((ch, rate, width, n) == (2, 44100, 2, frames * 1536), "WAVE: stereo, 44100 Hz, 16 bit, 1536 samples per frame")
    peak = max(abs(v) for v in struct.unpack("<%dh" % (len(pcm) // 2), pcm))
    check(peak > 1000, "decoded tone is not silent (peak %d)" % peak)

    # Library word order gives the same output.
    le = os.path.join(work, "tone-le.ac3")
    open(le, "wb").write(swapped(data))
    out_le = os.path.join(work, "le.wav")
    rc, so, se = a52wav(exe, le, out_le)
    check(rc == 0 and wav_info(out_le)[4] == pcm, "0x77 0x0B word order decodes to the same samples")

    # Garbage before and between frames is skipped (including a false sync word).
    junk = b"\x00\x11garbage\x0b\x77\xff\xff\xff\xff"
    cut = sum(sizes[:3])
    mixed = junk + data[:cut] + b"\x55" * 7 + data[cut:]
    gpath = os.path.join(work, "garbage.ac3")
    open(gpath, "wb").write(mixed)
    out_g = os.path.join(work, "g.wav")
    rc, so, se = a52wav(exe, gpath, out_g)
    m = SUMMARY.match(so)
    check(rc == 0 and m is not None and int(m.group(1)) == frames and m.group(7) == str(len(junk) + 7),
          "garbage skipped, %d bytes reported (%r)" % (len(junk) + 7, so))
    check(wav_info(out_g)[4] == pcm, "garbage does not change the samples")

    # Mono output.
    out_m = os.path.join(work, "m.wav")
    rc, so, se = a52wav(exe, "--mono", ac3, out_m)
    info = wav_info(out_m)
    check(rc == 0 and info[0] == 1 and info[3] == frames * 1536, "--mono: one channel, 1536 samples per frame")

    # Lost frames: frame 0 before any good frame is silence; later ones repeat the last good.
    out_l = os.path.join(work, "l.wav")
    rc, so, se = a52wav(exe, "--lose", "0,4", ac3, out_l)
    m = SUMMARY.match(so)
    check(rc == 0 and m is not None and m.group(3) == "2", "--lose 0,4: two frames concealed (%r)" % so)
    lp = wav_info(out_l)[4]
    check(lp[:1536 * 4] == b"\x00" * (1536 * 4), "lost first frame decodes to silence")
    check(lp[1536 * 4:] != pcm[1536 * 4:] and len(lp) == len(pcm), "a lost later frame changes the output, not its length")

    # --rate: accepted and refused rates.
    rc, so, se = a52wav(exe, "--rate", "32000", ac3, os.path.join(work, "r.wav"))
    check(rc == 0 and wav_info(os.path.join(work, "r.wav"))[1] == 44100,
          "--rate 32000 accepted; the WAVE keeps the stream's own rate")
    rc, so, se = a52wav(exe, "--rate", "48000", ac3, os.path.join(work, "r2.wav"))
    check(rc == 2 and "refuses the rate 48000" in se, "--rate 48000 refused by the library (%r)" % se)

    # Refusals.
    rc, so, se = a52wav(exe, os.path.join(work, "missing.ac3"), os.path.join(work, "x.wav"))
    check(rc == 2 and "cannot open input" in se, "missing input: exit 2 and a message (%r)" % se)
    nosync = os.path.join(work, "nosync.bin")
    open(nosync, "wb").write(bytes((i * 7) & 0x7F for i in range(5000)))
    rc, so, se = a52wav(exe, nosync, os.path.join(work, "x.wav"))
    check(rc == 2 and "no A/52 sync word" in se, "no sync word: exit 2 and a message (%r)" % se)
    trunc = os.path.join(work, "trunc.ac3")
    open(trunc, "wb").write(data[:-100])
    out_t = os.path.join(work, "t.wav")
    rc, so, se = a52wav(exe, trunc, out_t)
    check(rc == 2 and "truncated" in se, "truncated last frame: exit 2 and a message (%r)" % se)
    check(wav_info(out_t)[3] == (frames - 1) * 1536 and wav_info(out_t)[4] == pcm[:(frames - 1) * 1536 * 4],
          "the frames before a truncated one are written; the truncated one is not decoded")
    rc, so, se = a52wav(exe, ac3, os.path.join(work, "no-such-dir", "x.wav"))
    check(rc == 2 and "cannot write output" in se, "unwritable output: exit 2 and a message (%r)" % se)
    rc, so, se = a52wav(exe, ac3)
    check(rc == 1 and "usage" in se, "missing argument: usage and exit 1")
    rc, so, se = a52wav(exe, "--lose", "1,x", ac3, out)
    check(rc == 1 and "--lose" in se, "bad --lose list: exit 1")
    print("%d checks failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

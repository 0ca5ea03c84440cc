#!/usr/bin/python3
"""Writes the seed corpus of the decoder fuzzer (decoder/tests/corpus/) from generated streams.

Each seed: a control byte (output channels, caller's rate), then operations: 0x00 followed by
a frame in the library's word order, or 0x01 for a lost frame (see fuzz_decoder.cpp).
Streams come from ffmpeg's AC-3 encoder (several layouts and rates) and from the frame
builder's scenarios (a52peer build).

usage: make_corpus.py A52PEER OUTDIR
"""
import os
import subprocess
import sys
import tempfile


def frames_of(data):
    kbps = [32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640]
    pos, out = 0, []
    while pos + 6 <= len(data) and data[pos] == 0x0B and data[pos + 1] == 0x77:
        fscod, code = data[pos + 4] >> 6, data[pos + 4] & 0x3F
        k = kbps[code >> 1]
        words = 2 * k if fscod == 0 else (k * 96000 // 44100 + (code & 1)) if fscod == 1 else 3 * k
        frame = bytearray(data[pos:pos + 2 * words])
        frame[0::2], frame[1::2] = frame[1::2], frame[0::2]  # to the library's word order
        out.append(bytes(frame))
        pos += 2 * words
    return out


def seed(frames, control, lost_at=()):
    body = bytearray([control])
    for i, f in enumerate(frames):
        if i in lost_at:
            body.append(0x01)
        body.append(0x00)
        body += f
    return bytes(body)


def main():
    a52peer, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    work = tempfile.mkdtemp()
    n = 0
    encodes = [("mono", 48000, "64k"), ("stereo", 44100, "96k"), ("stereo", 48000, "192k"),
               ("3.0", 32000, "128k"), ("4.0", 44100, "160k"), ("quad(side)", 48000, "128k"),
               ("5.0(side)", 32000, "192k"), ("5.1(side)", 48000, "384k"), ("2.1", 44100, "128k"),
               ("5.1(side)", 44100, "96k")]
    for layout, rate, bitrate in encodes:
        path = os.path.join(work, "e.ac3")
        subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                        "anoisesrc=d=0.2:a=0.2:r=%d" % rate, "-af", "aformat=channel_layouts=%s" % layout.replace("(side)", "(side)"),
                        "-c:a", "ac3", "-b:a", bitrate, path], check=True)
        frames = frames_of(open(path, "rb").read())[:3]
        for control in (0x0A, 0x03):
            with open(os.path.join(out, "enc-%02d" % n), "wb") as f:
                f.write(seed(frames, control, lost_at=(1,) if control == 0x03 else ()))
            n += 1
    scenarios = subprocess.run([a52peer, "scenarios"], stdout=subprocess.PIPE, check=True).stdout.split()
    for sc in scenarios:
        path = os.path.join(work, "b.ac3")
        subprocess.run([a52peer, "build", sc, path, "2"], stdout=subprocess.PIPE, check=True)
        frames = frames_of(open(path, "rb").read())
        with open(os.path.join(out, "built-" + sc.decode()), "wb") as f:
            f.write(seed(frames, 0x0A if n % 2 else 0x09, lost_at=(1,)))
        n += 1
    print("seeds:", len(os.listdir(out)))


if __name__ == "__main__":
    main()

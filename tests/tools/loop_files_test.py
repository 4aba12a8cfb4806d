#!/usr/bin/python3
"""Loops written by pallodex-render, read back by an independent decoder
(Pillow): frame count, delays, the loop flag, and every frame against
pallodex-render's still picture of that frame's parameters.

    loop_files_test.py RENDER SCRATCH_DIR
"""
import os
import struct
import subprocess
import sys
import unittest

from PIL import Image, ImageSequence

RENDER, SCRATCH = sys.argv[1], sys.argv[2]
os.makedirs(SCRATCH, exist_ok=True)
PRESETS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "presets")


def render(*args):
    subprocess.run([RENDER, *args], check=True)


def frames_of(path):
    """[(RGB bytes, duration)] of every frame, and the file's loop count."""
    with Image.open(path) as im:
        out = [(f.convert("RGB").tobytes(), f.info.get("duration")) for f in ImageSequence.Iterator(im)]
        return out, im.info.get("loop")


def rgb(path):
    with Image.open(path) as im:
        return im.convert("RGB").tobytes()


def stills(preset, kind, frames, scratch):
    """pallodex-render's still picture of each frame's parameters, as RGB bytes."""
    out = []
    for k in range(frames):
        name = os.path.join(scratch, "%s-%s-%d.png" % (preset, kind, k))
        render(os.path.join(PRESETS, preset + ".txt"), "--animate", kind, "--frames", str(frames), "--frame", str(k), "-o", name)
        out.append(rgb(name))
    return out


def chunks(path):
    """The chunk types of a PNG and the sequence numbers of fcTL and fdAT."""
    with open(path, "rb") as f:
        data = f.read()
    at, types, sequence = 8, [], []
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        types.append(kind.decode())
        if kind in (b"fcTL", b"fdAT"):
            sequence.append(struct.unpack(">I", data[at + 8:at + 12])[0])
        at += 12 + length
    return types, sequence


class LoopFiles(unittest.TestCase):
    def loop(self, preset, kind, frames, delay, ext):
        """The loop's file; the same bytes whatever the thread count."""
        paths = [os.path.join(SCRATCH, "%s-%s-threads%d.%s" % (preset, kind, threads, ext)) for threads in (1, 3)]
        for threads, path in zip((1, 3), paths):
            render(os.path.join(PRESETS, preset + ".txt"), "--animate", kind, "--frames", str(frames), "--delay",
                   str(delay), "--threads", str(threads), "-o", path)
        with open(paths[0], "rb") as a, open(paths[1], "rb") as b:
            self.assertEqual(a.read(), b.read(), "the thread count changed the file")
        return paths[0]

    def test_apng_frames_are_the_stills_of_their_parameters(self):
        for preset, kind, frames, delay in [("aurora", "scroll-x", 6, 40), ("candy", "scroll-xy+hue", 5, 70),
                                            ("quilt", "hue", 3, 1000)]:
            with self.subTest(preset=preset, kind=kind):
                path = self.loop(preset, kind, frames, delay, "png")
                got, loop = frames_of(path)
                self.assertEqual(loop, 0, "plays for ever")
                self.assertEqual([d for _, d in got], [delay] * frames)
                self.assertEqual([p for p, _ in got], stills(preset, kind, frames, SCRATCH))
                # Frame 0 is also the still image, which programs without
                # animation show: the picture of the preset itself.
                still = os.path.join(SCRATCH, preset + ".png")
                render(os.path.join(PRESETS, preset + ".txt"), "-o", still)
                self.assertEqual(got[0][0], rgb(still))
                types, sequence = chunks(path)
                self.assertEqual(types[:2], ["IHDR", "acTL"])
                self.assertLess(types.index("fcTL"), types.index("IDAT"))
                self.assertEqual(types[-1], "IEND")
                self.assertEqual(sequence, list(range(len(sequence))), "one gap-free sequence from 0")

    def test_gif_of_few_colours_is_exact(self):
        for preset, kind, frames, delay, shown in [("ember", "scroll-y", 6, 40, 40), ("mosaic", "scroll-x", 5, 44, 40),
                                                   ("newsprint", "scroll-xy", 4, 45, 50)]:
            with self.subTest(preset=preset, kind=kind):
                got, loop = frames_of(self.loop(preset, kind, frames, delay, "gif"))
                self.assertEqual(loop, 0, "plays for ever")
                self.assertEqual([d for _, d in got], [shown] * frames, "delays in steps of 10 ms")
                self.assertEqual([p for p, _ in got], stills(preset, kind, frames, SCRATCH))

    def test_gif_of_many_colours_dithers_and_keeps_still_areas_still(self):
        for preset, kind, frames in [("aurora", "hue", 4), ("velvet", "scroll-y", 5)]:
            with self.subTest(preset=preset, kind=kind):
                got, _ = frames_of(self.loop(preset, kind, frames, 40, "gif"))
                expected = stills(preset, kind, frames, SCRATCH)
                self.assertEqual(len(got), frames)
                colours = set()
                for k, ((pixels, _), want) in enumerate(zip(got, expected)):
                    colours.update(zip(want[0::3], want[1::3], want[2::3]))
                    error = sum(abs(a - b) for a, b in zip(pixels, want)) / len(want)
                    self.assertLess(error, 6, "frame %d is far from its picture" % k)
                self.assertGreater(len(colours), 256, "the loop needs the dither")
                # A pixel whose colour stays from one frame to the next keeps
                # its colour in the file too: the dither does not shimmer.
                for k in range(frames):
                    a, b = expected[k], expected[(k + 1) % frames]
                    fa, fb = got[k][0], got[(k + 1) % frames][0]
                    moved = [i for i in range(0, len(a), 3) if a[i:i + 3] == b[i:i + 3] and fa[i:i + 3] != fb[i:i + 3]]
                    self.assertEqual(moved, [], "frame %d: still pixels changed" % k)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

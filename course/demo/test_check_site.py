#!/usr/bin/env python3
"""Breaks a freshly generated demo site in one way at a time and makes sure
check_site.py notices and names the problem. Without this, a checker that
quietly stopped looking would keep passing.

    test_check_site.py [--generator generate.py]
"""

from __future__ import annotations

import argparse
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
CHECK = HERE / "check_site.py"
GENERATOR = HERE / "generate.py"
KQ = "kq_cbt/kq"


def edit(rel: str, old: str, new: str, count: int = 1):
    def apply(site: Path) -> None:
        path = site / rel
        text = path.read_text(encoding="utf-8")
        assert old in text, f"{old!r} not in {rel}: the fault table is out of date"
        path.write_text(text.replace(old, new, count), encoding="utf-8")
    return apply


def delete(rel: str):
    def apply(site: Path) -> None:
        (site / rel).unlink()
    return apply


def overwrite(rel: str, data: bytes):
    def apply(site: Path) -> None:
        (site / rel).write_bytes(data)
    return apply


def truncate_wav_to_stereo(rel: str):
    def apply(site: Path) -> None:
        path = site / rel
        data = bytearray(path.read_bytes())
        data[22:24] = (2).to_bytes(2, "little")      # fmt chunk: channel count
        path.write_bytes(bytes(data))
    return apply


# (what is broken, how, text the report must contain)
FAULTS = [
    ("a size variant is missing", delete(f"{KQ}/kqk.vxp"), f"{KQ}/kqk.vxp: missing"),
    ("an objectives variant is missing", delete(f"{KQ}/obj07c.vxp"), f"{KQ}/obj07c.vxp: missing"),
    ("a content page's Prev link is broken",
     edit(f"{KQ}/kq030004.vxp", 'href="kq030003.vxp"', 'href="kq030009.vxp"'),
     f"{KQ}/kq030004.vxp: href='kq030009.vxp' does not resolve"),
    ("the last page of module 7 does not lead back to the contents",
     edit(f"{KQ}/kq070005.vxp", 'class="nav-next" href="kqa.vxp"', 'class="nav-next" href="kq010001.vxp"'),
     "Next link (href 'kq010001.vxp') goes to kq010001.vxp, expected kqa.vxp"),
    ("a module opening page skips the objectives",
     edit(f"{KQ}/mod04h.vxp", 'class="nav-next" href="kq040002.vxp"', 'class="nav-next" href="kq040003.vxp"'),
     f"{KQ}/mod04h.vxp: Next link"),
    ("the nav bar is not first on the page",
     edit(f"{KQ}/kq020005.vxp", "<body", '<p><a href="kqa.vxp">Home</a></p><body'),
     f"{KQ}/kq020005.vxp: Section link"),
    ("the alternate contents page lost its Back to contents link",
     edit(f"{KQ}/kqcrc.vxp", '<li><a class="back-to-contents" href="kqa.vxp">Back to contents</a></li>\n', ""),
     f"{KQ}/kqcrc.vxp: sixth link"),
    ("a contents page does not link to the history page",
     edit(f"{KQ}/kqf.vxp", '<li><a href="hist.vxp">History</a></li>\n', ""),
     f"{KQ}/kqf.vxp: no link to hist.vxp"),
    ("a tag is left open", edit(f"{KQ}/kqb.vxp", "</ol>", ""), f"{KQ}/kqb.vxp: not well-formed"),
    ("a variant carries the wrong size",
     edit(f"{KQ}/mod05g.vxp", 'data-size="g" data-size-class="7"', 'data-size="a" data-size-class="1"'),
     f"{KQ}/mod05g.vxp: <body> size attributes"),
    ("two variants are identical",
     lambda site: shutil.copyfile(site / KQ / "kqpracd.vxp", site / KQ / "kqprace.vxp"),
     "identical to kqpracd.vxp"),
    ("a content page has a wrongly numbered title",
     edit(f"{KQ}/kq030003.vxp", "<title>Module 3 - Ohm's law</title>", "<title>Ohm's law</title>"),
     f"{KQ}/kq030003.vxp: title"),
    ("a video is missing", delete(f"{KQ}/c05/fig05a.avi"), "fig05a.vxp: its media"),
    ("the title video is not an AVI", overwrite(f"{KQ}/kq/title.avi", b"RIFF\0\0\0\0WAVE" + bytes(60)),
     f"{KQ}/kq/title.avi: not an AVI"),
    ("a sound is stereo", truncate_wav_to_stereo(f"{KQ}/c04/v0401.wav"), f"{KQ}/c04/v0401.wav: format"),
    ("a page loads something from the network",
     edit(f"{KQ}/kq060003.vxp", "<h1>", '<img src="https://example.org/x.png"><h1>'),
     "points outside the course server"),
    ("an exam page is missing", delete("practicestudent/exam/tamberlyn/solar-pv-panels--arrays/index.html"),
     "solar-pv-panels--arrays/index.html: missing"),
    ("an exam form only works when opened with a trailing slash",
     edit("practicestudent/exam/tamberlyn/safety/index.html",
          'action="/practicestudent/exam/tamberlyn/safety/answers.html"', 'action="answers.html"'),
     "(opened as https://course.invalid/practicestudent/exam/tamberlyn/safety)"),
]


class CheckerFindsFaults(unittest.TestCase):
    generator = GENERATOR

    @classmethod
    def setUpClass(cls) -> None:
        cls._tmp = tempfile.TemporaryDirectory(prefix="demo-course-faults-")
        cls.clean = Path(cls._tmp.name, "clean")
        result = subprocess.run([sys.executable, str(cls.generator), "--out", str(cls.clean)],
                                capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError(f"generator failed: {result.stderr}")

    @classmethod
    def tearDownClass(cls) -> None:
        cls._tmp.cleanup()

    def check(self, site: Path, *extra: str) -> subprocess.CompletedProcess:
        return subprocess.run([sys.executable, str(CHECK), str(site), *extra],
                              capture_output=True, text=True)

    def test_clean_site_passes(self) -> None:
        result = self.check(self.clean)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_each_fault_is_reported(self) -> None:
        for what, apply, expected in FAULTS:
            with self.subTest(what), tempfile.TemporaryDirectory() as tmp:
                site = Path(tmp, "site")
                shutil.copytree(self.clean, site)
                apply(site)
                result = self.check(site)
                self.assertEqual(result.returncode, 1, f"{what}: check passed\n{result.stdout}")
                self.assertIn(expected, result.stdout, f"{what}: report does not say so")

    def test_nondeterministic_generator_is_reported(self) -> None:
        with tempfile.TemporaryDirectory() as tmp:
            # A generator that writes the real site plus one file that changes every run.
            shaky = Path(tmp, "shaky.py")
            shaky.write_text(
                "import runpy, sys, time, pathlib\n"
                "out = pathlib.Path(sys.argv[sys.argv.index('--out') + 1])\n"
                f"sys.argv = [{str(self.generator)!r}] + sys.argv[1:]\n"
                "try:\n"
                f"    runpy.run_path({str(self.generator)!r}, run_name='__main__')\n"
                "except SystemExit:\n"
                "    pass\n"
                "(out / 'kq_cbt/kq/stamp.txt').write_text(str(time.perf_counter_ns()))\n",
                encoding="utf-8")
            result = self.check(self.clean, "--generator", str(shaky))
            self.assertEqual(result.returncode, 1, result.stdout)
            self.assertIn("kq_cbt/kq/stamp.txt: generator output differs between two runs", result.stdout)

    def test_stale_site_is_reported(self) -> None:
        with tempfile.TemporaryDirectory() as tmp:
            site = Path(tmp, "site")
            shutil.copytree(self.clean, site)
            edit(f"{KQ}/kq010003.vxp", "photovoltaic system", "photovoltaic installation")(site)
            result = self.check(site, "--generator", str(self.generator))
            self.assertEqual(result.returncode, 1, result.stdout)
            self.assertIn("kq_cbt/kq/kq010003.vxp: site is stale", result.stdout)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--generator", type=Path, default=GENERATOR)
    args, rest = parser.parse_known_args()
    CheckerFindsFaults.generator = args.generator.resolve()
    unittest.main(argv=[sys.argv[0], *rest])

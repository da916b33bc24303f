#!/usr/bin/env python3
"""Checks how generate.py reads the course text files: what becomes a
paragraph, a list or a media block, and which mistakes in a module file are
refused with a message instead of producing a broken page."""

from __future__ import annotations

import sys
import tempfile
import unittest
from pathlib import Path

sys.dont_write_bytecode = True          # keep the source tree clean when run from ctest
sys.path.insert(0, str(Path(__file__).resolve().parent))
import generate  # noqa: E402

# A module file that passes; each error case below changes one thing in it.
GOOD = """\
[module]
title: Wiring & testing
intro: First line
  continued.

[objectives]
- Do one thing.

[page] One
Text one.

[page] Two
Text two.

[page] Three
Text three.

[quiz]
Q: Pick one?
+ right
- wrong
why: Because.
"""

# (page body lines, expected blocks as (kind, text or items, media name))
PAGE_BODIES = [
    ("plain paragraphs", ["First line", "second line.", "", "Next."],
     [("para", "First line second line.", ""), ("para", "Next.", "")]),
    ("list straight after its lead-in", ["You need:", "- a meter;", "- a ladder", "  that is tied off."],
     [("para", "You need:", ""), ("list", ["a meter;", "a ladder that is tied off."], "")]),
    ("media lines above a paragraph", ["video: fig02a | A clip", "sound: v0201 | A voice", "Text."],
     [("video", "A clip", "fig02a"), ("sound", "A voice", "v0201"), ("para", "Text.", "")]),
    ("picture on its own", ["picture: panel.png | A panel"], [("picture", "A panel", "panel.png")]),
]

# (what is wrong, text replaced in GOOD, replacement, words the error must contain)
BAD_MODULES = [
    ("two right answers", "- wrong", "+ wrong", "one '+' answer"),
    ("no explanation", "why: Because.\n", "", "no 'why:' line"),
    ("only two pages", "[page] Three\nText three.\n", "", "at least three pages"),
    ("page without a title", "[page] Two", "[page]", "needs a title"),
    ("unknown section", "[objectives]", "[goals]", "unknown section [goals]"),
    ("media line inside a paragraph", "Text one.", "Text one.\nvideo: fig01a | Clip", "media lines go above"),
    ("no title", "title: Wiring & testing\n", "", "no 'title:'"),
]


def blocks_of(body: list[str]) -> list[tuple[str, object, str]]:
    blocks = generate._page_blocks(Path("test.txt"), "Test", body)
    return [(b.kind, b.items if b.kind == "list" else b.text, b.name) for b in blocks]


class ReadingModules(unittest.TestCase):
    def load(self, text: str) -> generate.Module:
        with tempfile.TemporaryDirectory() as tmp:
            path = Path(tmp, "03-wiring.txt")
            path.write_text(text, encoding="utf-8")
            return generate.load_module(path)

    def test_page_bodies(self) -> None:
        for what, body, expected in PAGE_BODIES:
            with self.subTest(what):
                self.assertEqual(blocks_of(body), expected)

    def test_good_module(self) -> None:
        module = self.load(GOOD)
        self.assertEqual(module.intro, "First line continued.")
        self.assertEqual([p.file for p in module.pages], ["kq030003.vxp", "kq030004.vxp", "kq030005.vxp"])
        self.assertEqual(module.slug, "wiring--testing")
        self.assertEqual(module.quiz[0].options, [("right", True), ("wrong", False)])

    def test_mistakes_are_refused(self) -> None:
        for what, old, new, message in BAD_MODULES:
            with self.subTest(what):
                self.assertIn(old, GOOD)
                with self.assertRaises(generate.CourseError) as caught:
                    self.load(GOOD.replace(old, new, 1))
                self.assertIn(message, str(caught.exception))

    def test_media_addresses(self) -> None:
        self.assertEqual(generate.video_path("fig01a.vxp"), "c01/fig01a.avi")
        self.assertEqual(generate.video_path("fig12b.vxp"), "c12/fig12b.avi")
        self.assertEqual(generate.sound_path("v0401.vxp"), "c04/v0401.wav")


if __name__ == "__main__":
    unittest.main()

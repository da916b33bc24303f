#!/usr/bin/env python3
"""Splits a chunked DocBook HTML book into course pages for tamberlyn-index.

    split_book.py BOOK_DIR COURSE_DIR [--glob 'ch*.en.html']

Each chapter file becomes a module (kq01..., in file-name order); its text
is cut at every section and subsection heading, and each piece becomes a
content page kqMMNNNN.vxp (NNNN from 0003, as course pages are numbered)
under COURSE_DIR/kq_cbt/kq/. The pieces are the book's own markup, cut as
an author pasting sections into pages would cut them: unclosed and stray
tags included, left to the HTML parser to mend.

Each page is wrapped in a course page frame with the furniture an imported
site brings (a banner header, a navigation bar, a sidebar, a footer) and the
course's own template line marked data-noindex, so the index's leaving out
of them is measured too. The page title is the section heading.

Standard library only. Same book in, same pages out.
"""

from __future__ import annotations

import argparse
import html
import re
import shutil
import sys
from pathlib import Path

SECTION = re.compile(r'<div class="section">\s*<div class="titlepage">\s*<div>\s*<div>\s*<h[1-4] class="title"')
HEADING = re.compile(r'<h[1-4] class="title"[^>]*>(.*?)</h[1-4]>', re.S)
BODY = re.compile(r'<body[^>]*>(.*)</body>', re.S)
CUT_OFF = ('<div class="navheader">', '<div class="navfooter">')

FRAME = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>{title}</title>
<style>body {{ font-family: sans-serif; }}</style>
<script>var course = "Debian Reference course edition";</script>
</head>
<body>
<header class="site-banner">Debian Reference course edition, imported</header>
<nav class="pagenav"><a href="kq{mm}0001.vxp">Section</a><a href="{prev}">Prev</a><a href="{next}">Next</a></nav>
<aside class="site-sidebar"><p>All chapters</p><p>Search this site</p></aside>
<p class="kicker" data-noindex>Module {module} \u00b7 {chapter} \u00b7 page {page} of {pages}</p>
<main>
{piece}
</main>
<footer class="site-footer">Page {page} of {pages} \u00b7 licensed under the GPL</footer>
</body>
</html>
"""


def text_of(markup: str) -> str:
    return " ".join(html.unescape(re.sub(r"<[^>]*>", " ", markup)).split())


def body_of(document: str) -> str:
    found = BODY.search(document)
    body = found.group(1) if found else document
    # The book's own navigation tables around each chapter go: a course page
    # has its own.
    for marker in CUT_OFF:
        start = body.find(marker)
        if start >= 0:
            end = body.find("</div>", start)
            body = body[:start] + body[end + len("</div>"):] if end >= 0 else body[:start]
    return body


def pieces_of(body: str) -> list[str]:
    starts = [m.start() for m in SECTION.finditer(body)]
    cuts = [0] + starts + [len(body)]
    return [body[a:b] for a, b in zip(cuts, cuts[1:]) if body[a:b].strip()]


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("book", type=Path)
    parser.add_argument("course", type=Path)
    parser.add_argument("--glob", default="ch*.en.html")
    args = parser.parse_args()

    chapters = sorted(args.book.glob(args.glob))
    if not chapters:
        print(f"split_book.py: no {args.glob} in {args.book}", file=sys.stderr)
        return 2
    if len(chapters) > 99:
        print("split_book.py: more than 99 chapters", file=sys.stderr)
        return 2
    out = args.course / "kq_cbt" / "kq"
    if out.exists():
        shutil.rmtree(out)
    out.mkdir(parents=True)
    total = 0
    for module, chapter_file in enumerate(chapters, start=1):
        document = chapter_file.read_text(encoding="utf-8")
        pieces = pieces_of(body_of(document))
        headings = [HEADING.search(piece) for piece in pieces]
        chapter = text_of(headings[0].group(1)) if headings and headings[0] else chapter_file.stem
        mm = f"{module:02d}"
        names = [f"kq{mm}{n + 3:04d}.vxp" for n in range(len(pieces))]
        for n, piece in enumerate(pieces):
            title = text_of(headings[n].group(1)) if headings[n] else chapter
            page = FRAME.format(
                title=html.escape(title, quote=False), mm=mm, module=module, chapter=html.escape(chapter),
                page=n + 1, pages=len(pieces), piece=piece,
                prev=names[n - 1] if n else f"kq{mm}0001.vxp",
                next=names[n + 1] if n + 1 < len(names) else "kqa.vxp")
            (out / names[n]).write_text(page, encoding="utf-8")
        total += len(pieces)
    print(f"{total} pages in {len(chapters)} modules under {out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

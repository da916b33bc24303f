#!/usr/bin/env python3
"""Checks that a generated demo course site is complete and well-formed.

    check_site.py SITE [--generator generate.py]

SITE is the web root (it holds kq_cbt/ and practicestudent/). The expectations
below are written out from the viewer's page naming rules rather than taken
from the generator, so a generator mistake shows up here.

With --generator the generator is also run twice into temporary folders: the
two runs must be byte-identical, the fresh output must pass the same checks,
and SITE must hold the same bytes (otherwise it is stale: rebuild it).

Every problem found is printed on its own line; the exit status is 1 if there
was any.
"""

from __future__ import annotations

import argparse
import filecmp
import re
import struct
import subprocess
import sys
import tempfile
from html.parser import HTMLParser
from pathlib import Path
from urllib.parse import unquote, urljoin, urlsplit

HOST = "https://course.invalid"
PAGES = "kq_cbt/kq"
BASE = f"{HOST}/{PAGES}/"          # the viewer's base address ("FileLocn")
EXAMS = "practicestudent/exam/tamberlyn"

# Size letter -> (class, design width, design height).
SIZES = {
    "a": (1, 1024, 700), "b": (2, 1366, 768), "c": (3, 1280, 800),
    "d": (4, 1280, 1024), "e": (5, 1440, 900), "f": (6, 1600, 900),
    "g": (7, 1920, 1080), "h": (8, 2160, 1440), "i": (9, 2560, 1440),
    "j": (10, 2560, 1600), "k": (11, 3840, 2160),
}
MODULES = ["01", "02", "03", "04", "05", "06", "07"]
EXAM_SLUGS = {
    "01": "introduction-to-solar-pv-systems",
    "02": "safety",
    "03": "dc-and-ac-circuits",
    "04": "power-electronics",
    "05": "solar-pv-panels--arrays",
    "06": "solar-pv-system-sizing",
    "07": "installation--maintenance",
}
FINDERS = ["search.vxp", "index.vxp", "hist.vxp"]
MAX_VIDEO_BYTES = 300 * 1024
MIN_CONTENT_WORDS = 120
VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta",
        "source", "track", "wbr"}


# --------------------------------------------------------------------------
# Parsing
# --------------------------------------------------------------------------

class Page(HTMLParser):
    """One parsed page: links in document order, images, title and structure errors."""

    def __init__(self, text: str) -> None:
        super().__init__(convert_charrefs=True)
        self.links: list[tuple[str, str]] = []       # (href, link text)
        self.refs: list[tuple[str, str]] = []        # (attribute, url) of everything that loads or links
        self.images: list[str] = []
        self.title = ""
        self.charset = ""
        self.body: dict[str, str] = {}
        self.size_tag = ""
        self.style = ""
        self.forms: list[str] = []
        self.radios: dict[str, int] = {}
        self.scripts = 0
        self.errors: list[str] = []
        self.words: list[str] = []                   # visible text outside the nav bar
        self._stack: list[str] = []
        self._link_text: list[str] | None = None
        self._size_tag_depth = 0
        self.feed(text)
        self.close()
        if self._stack:
            self.errors.append(f"unclosed <{'>, <'.join(self._stack)}>")

    def _inside(self, tag: str) -> bool:
        return tag in self._stack

    def handle_starttag(self, tag: str, attrs: list[tuple[str, str | None]]) -> None:
        a = {k: v or "" for k, v in attrs}
        if tag == "meta" and "charset" in a:
            self.charset = a["charset"]
        elif tag == "body":
            self.body = a
        elif tag == "script":
            self.scripts += 1
        elif tag == "a" and "href" in a:
            self.links.append((a["href"], ""))
            self._link_text = []
        elif tag == "img":
            self.images.append(a.get("src", ""))
        elif tag == "form":
            self.forms.append(a.get("action", ""))
        elif tag == "input" and a.get("type") == "radio":
            self.radios[a.get("name", "")] = self.radios.get(a.get("name", ""), 0) + 1
        for key in ("href", "src", "action"):
            if key in a:
                self.refs.append((key, a[key]))
        if tag not in VOID:
            self._stack.append(tag)
            if a.get("id") == "size-tag":
                self._size_tag_depth = len(self._stack)

    def handle_startendtag(self, tag: str, attrs: list[tuple[str, str | None]]) -> None:
        self.handle_starttag(tag, attrs)
        if tag not in VOID and self._stack and self._stack[-1] == tag:
            self._stack.pop()

    def handle_endtag(self, tag: str) -> None:
        if tag in VOID:
            return
        if not self._stack or self._stack[-1] != tag:
            open_tag = self._stack[-1] if self._stack else "nothing"
            self.errors.append(f"</{tag}> closes <{open_tag}>")
            if tag in self._stack:
                while self._stack.pop() != tag:
                    pass
            return
        if len(self._stack) == self._size_tag_depth:
            self._size_tag_depth = 0
        self._stack.pop()
        if tag == "a" and self._link_text is not None:
            href, _ = self.links[-1]
            self.links[-1] = (href, " ".join("".join(self._link_text).split()))
            self._link_text = None

    def handle_data(self, data: str) -> None:
        if self._inside("title"):
            self.title += data
        elif self._inside("style"):
            self.style += data
        if self._link_text is not None:
            self._link_text.append(data)
        if self._size_tag_depth:
            self.size_tag += data
        if not (self._inside("style") or self._inside("script") or self._inside("title")
                or self._inside("nav") or self._inside("head")):
            self.words.extend(re.findall(r"\w+", data))


def read_page(path: Path) -> tuple[Page | None, str]:
    try:
        text = path.read_bytes().decode("utf-8")
    except UnicodeDecodeError as err:
        return None, f"not valid UTF-8 ({err})"
    return Page(text), text


def site_path(site: Path, url: str) -> Path | None:
    """The file the course server answers an address with, or None."""
    parts = urlsplit(url)
    if f"{parts.scheme}://{parts.netloc}" != HOST:
        return None
    segments = [s for s in unquote(parts.path).split("/") if s]   # empty segments collapse
    if ".." in segments:
        return None
    target = site.joinpath(*segments) if segments else site
    if target.is_dir():
        target = target / "index.html"
    return target if target.is_file() else None


def kq_name(site: Path, path: Path | None) -> str | None:
    """Page name relative to the base address, e.g. "kq030004.vxp"."""
    if path is None:
        return None
    try:
        return path.relative_to(site / PAGES).as_posix()
    except ValueError:
        return None


# --------------------------------------------------------------------------
# Media probes
# --------------------------------------------------------------------------

def riff_chunks(data: bytes, start: int, end: int):
    pos = start
    while pos + 8 <= end:
        cid, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        yield cid, pos + 8, size
        pos += 8 + size + (size & 1)


def avi_problem(path: Path) -> str | None:
    data = path.read_bytes()
    if len(data) < 64 or data[:4] != b"RIFF" or data[8:12] != b"AVI ":
        return "not an AVI (RIFF/AVI header missing)"
    if len(data) > MAX_VIDEO_BYTES:
        return f"{len(data)} bytes, more than {MAX_VIDEO_BYTES}"
    avih = data.find(b"avih")
    strh = data.find(b"strh")
    if avih < 0 or strh < 0:
        return "no avih/strh header"
    usec, = struct.unpack("<I", data[avih + 8:avih + 12])
    frames, = struct.unpack("<I", data[avih + 24:avih + 28])
    width, height = struct.unpack("<II", data[avih + 40:avih + 48])
    seconds = frames * usec / 1e6
    if data[strh + 8:strh + 12] != b"vids" or data[strh + 12:strh + 16].upper() != b"MJPG":
        return f"first stream is {data[strh + 8:strh + 16]!r}, expected MJPEG video"
    if not 1.0 <= seconds <= 10.0:
        return f"lasts {seconds:.2f} s, expected a few seconds"
    if width > 640 or height > 480:
        return f"{width}x{height}, expected a small picture"
    return None


def wav_problem(path: Path) -> str | None:
    data = path.read_bytes()
    if len(data) < 44 or data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        return "not a WAV (RIFF/WAVE header missing)"
    fmt = None
    frames_bytes = 0
    for cid, off, size in riff_chunks(data, 12, len(data)):
        if cid == b"fmt ":
            fmt = struct.unpack("<HHIIHH", data[off:off + 16])
        elif cid == b"data":
            frames_bytes = size
    if fmt is None:
        return "no fmt chunk"
    tag, channels, rate, _, align, bits = fmt
    if tag != 1 or bits != 16 or channels != 1:
        return f"format tag {tag}, {bits}-bit, {channels} channel(s); expected PCM 16-bit mono"
    if rate > 22050:
        return f"{rate} Hz, expected 22050 Hz or less"
    seconds = frames_bytes / (align * rate)
    if not 1.0 <= seconds <= 10.0:
        return f"lasts {seconds:.2f} s, expected a few seconds"
    return None


def picture_problem(path: Path) -> str | None:
    head = path.read_bytes()[:8]
    if path.suffix.lower() in (".jpg", ".jpeg") and head[:3] == b"\xff\xd8\xff":
        return None
    if path.suffix.lower() == ".png" and head == b"\x89PNG\r\n\x1a\n":
        return None
    return "not a JPEG or PNG picture"


# --------------------------------------------------------------------------
# The checks
# --------------------------------------------------------------------------

class Checker:
    def __init__(self, site: Path) -> None:
        self.site = site
        self.kq = site / PAGES
        self.problems: list[str] = []
        self.pages: dict[str, Page] = {}

    def fail(self, where: str, what: str) -> None:
        self.problems.append(f"{where}: {what}")

    def run(self) -> list[str]:
        if not self.kq.is_dir():
            self.fail(str(self.site), f"no {PAGES}/ folder: is this the generated site?")
            return self.problems
        self.parse_all()
        self.required_pages()
        self.links_resolve()
        self.navigation()
        self.contents_pages()
        self.size_variants()
        self.content_pages()
        self.media()
        self.exams()
        return self.problems

    # -- everything parses -----------------------------------------------------

    def parse_all(self) -> None:
        files = sorted(self.kq.glob("*.vxp")) + sorted((self.site / EXAMS).glob("*/*.html"))
        for path in files:
            rel = path.relative_to(self.site).as_posix()
            page, text = read_page(path)
            if page is None:
                self.fail(rel, text)
                continue
            if not text.startswith("<!DOCTYPE html>"):
                self.fail(rel, "does not start with <!DOCTYPE html>")
            if page.charset.lower() != "utf-8":
                self.fail(rel, 'no <meta charset="utf-8">')
            if not page.title.strip():
                self.fail(rel, "empty or missing <title>")
            if page.scripts:
                self.fail(rel, "contains <script>; pages must work without scripts")
            for error in page.errors:
                self.fail(rel, f"not well-formed: {error}")
            for key, url in page.refs:
                if re.match(r"(?i)([a-z][a-z0-9+.-]*:|//)", url):
                    self.fail(rel, f"{key}={url!r} points outside the course server")
            self.pages[rel] = page

    def page(self, name: str) -> Page | None:
        return self.pages.get(f"{PAGES}/{name}")

    # -- required pages -----------------------------------------------------------

    def content_numbers(self, mm: str) -> list[int]:
        return sorted(int(p.name[4:8]) for p in self.kq.glob(f"kq{mm}[0-9][0-9][0-9][0-9].vxp")
                      if int(p.name[4:8]) >= 3)

    def required_pages(self) -> None:
        required = ["title.vxp", *FINDERS] + [f"pe{mm}.vxp" for mm in MODULES]
        for letter in SIZES:
            required += [f"kq{letter}.vxp", f"kqcr{letter}.vxp", f"kqprac{letter}.vxp"]
            required += [f"mod{mm}{letter}.vxp" for mm in MODULES]
            required += [f"obj{mm}{letter}.vxp" for mm in MODULES]
        for mm in MODULES:
            required += [f"kq{mm}0001.vxp", f"kq{mm}0002.vxp"]
            numbers = self.content_numbers(mm)
            if len(numbers) < 3:
                self.fail(f"module {mm}", f"has {len(numbers)} content pages (kq{mm}0003.vxp on), needs at least 3")
            elif numbers != list(range(3, 3 + len(numbers))):
                self.fail(f"module {mm}", f"content page numbers have a gap: {numbers}")
        for name in required:
            if not (self.kq / name).is_file():
                self.fail(f"{PAGES}/{name}", "missing")
        for prefix, kind in (("fig", "video"), ("v", "sound")):
            if not list(self.kq.glob(f"{prefix}[0-9][0-9]*.vxp")):
                self.fail(PAGES, f"no {kind} trigger page ({prefix}NN....vxp)")

    # -- links ----------------------------------------------------------------------

    def page_urls(self, rel: str) -> list[str]:
        """The addresses a page is opened at; its links must work from each."""
        if rel.startswith(EXAMS) and rel.endswith("/index.html"):
            folder = rel[: -len("index.html")]
            return [f"{HOST}/{folder}", f"{HOST}/{folder.rstrip('/')}"]
        return [f"{HOST}/{rel}"]

    def links_resolve(self) -> None:
        for rel, page in self.pages.items():
            for url in self.page_urls(rel):
                for key, ref in dict.fromkeys(page.refs):
                    target = urljoin(url, ref.split("#")[0]) if ref.split("#")[0] else url
                    if site_path(self.site, target) is None:
                        self.fail(rel, f"{key}={ref!r} does not resolve to a file (opened as {url})")

    def resolved(self, page_name: str, href: str) -> str | None:
        return kq_name(self.site, site_path(self.site, urljoin(BASE + page_name, href)))

    def expect_nav(self, name: str, section: str | set[str], prev: str | set[str], next_: str) -> None:
        page = self.page(name)
        if page is None:
            return
        if len(page.links) < 3:
            self.fail(f"{PAGES}/{name}", f"has {len(page.links)} links; the first three must be Section, Prev, Next")
            return
        for (href, _), role, want in zip(page.links[:3], ("Section", "Prev", "Next"), (section, prev, next_)):
            got = self.resolved(name, href)
            ok = got in want if isinstance(want, set) else got == want
            if not ok:
                expected = " or ".join(sorted(want)) if isinstance(want, set) else want
                self.fail(f"{PAGES}/{name}", f"{role} link (href {href!r}) goes to "
                          f"{got or 'no page of the course'}, expected {expected}")

    def navigation(self) -> None:
        for mm in MODULES:
            numbers = self.content_numbers(mm)
            if not numbers:
                continue
            first, last = numbers[0], numbers[-1]
            i = MODULES.index(mm)
            after = f"kq{MODULES[i + 1]}0001.vxp" if i + 1 < len(MODULES) else "kqa.vxp"
            prev_nums = self.content_numbers(MODULES[i - 1]) if i else []
            before_last = f"kq{MODULES[i - 1]}{prev_nums[-1]:04d}.vxp" if prev_nums else None
            for p in numbers:
                self.expect_nav(f"kq{mm}{p:04d}.vxp", f"kq{mm}0001.vxp",
                                f"kq{mm}{p - 1:04d}.vxp", f"kq{mm}{p + 1:04d}.vxp" if p < last else after)
            self.expect_nav(f"kq{mm}0001.vxp", "kqa.vxp", before_last or "kqa.vxp", f"kq{mm}0002.vxp")
            self.expect_nav(f"kq{mm}0002.vxp", f"kq{mm}0001.vxp", f"kq{mm}0001.vxp", f"kq{mm}{first:04d}.vxp")
            for letter in SIZES:
                contents = f"kq{letter}.vxp"
                self.expect_nav(f"mod{mm}{letter}.vxp", contents, before_last or contents, f"kq{mm}0002.vxp")
                self.expect_nav(f"obj{mm}{letter}.vxp", contents, f"kq{mm}0001.vxp", f"kq{mm}{first:04d}.vxp")
        for letter in SIZES:
            contents = f"kq{letter}.vxp"
            self.expect_nav(contents, contents, {"title.vxp", contents}, "kq010001.vxp")
            self.expect_nav(f"kqcr{letter}.vxp", {f"kqcr{letter}.vxp", contents},
                            {contents, f"kqcr{letter}.vxp", "title.vxp"}, "kq010001.vxp")
            self.expect_nav(f"kqprac{letter}.vxp", contents, contents, "pe01.vxp")

    def link_targets(self, name: str) -> list[str | None]:
        page = self.page(name)
        return [self.resolved(name, href) for href, _ in page.links] if page else []

    def contents_pages(self) -> None:
        for letter in SIZES:
            name = f"kq{letter}.vxp"
            targets = set(self.link_targets(name))
            wanted = {f"kq{mm}0001.vxp" for mm in MODULES} | set(FINDERS) | {"title.vxp", f"kqprac{letter}.vxp"}
            for missing in sorted(wanted - targets):
                if self.page(name):
                    self.fail(f"{PAGES}/{name}", f"no link to {missing}")
            alt = f"kqcr{letter}.vxp"
            page = self.page(alt)
            if page:
                if len(page.links) < 6:
                    self.fail(f"{PAGES}/{alt}", f"has {len(page.links)} links, needs at least 6")
                else:
                    href, text = page.links[5]
                    target = self.resolved(alt, href) or ""
                    if "contents" not in text.lower() or not re.fullmatch(r"kq[a-k]\.vxp", target):
                        self.fail(f"{PAGES}/{alt}", f"sixth link is {text!r} -> {target or href!r}; "
                                  "it must be the 'Back to contents' link to a contents page")
            prac = f"kqprac{letter}.vxp"
            targets = set(self.link_targets(prac))
            for mm in MODULES:
                if self.page(prac) and f"pe{mm}.vxp" not in targets:
                    self.fail(f"{PAGES}/{prac}", f"no link to pe{mm}.vxp")

    # -- size variants ----------------------------------------------------------------

    def size_variants(self) -> None:
        families = ["kq", "kqcr", "kqprac"] + [f"mod{mm}" for mm in MODULES] + [f"obj{mm}" for mm in MODULES]
        for family in families:
            seen: dict[bytes, str] = {}
            measures: list[tuple[int, int, int, str]] = []
            for letter, (size_class, width, height) in SIZES.items():
                name = f"{family}{letter}.vxp"
                page = self.page(name)
                if page is None:
                    continue
                where = f"{PAGES}/{name}"
                data = (self.kq / name).read_bytes()
                if data in seen:
                    self.fail(where, f"identical to {seen[data]}; size variants must differ")
                seen[data] = name
                want = {"data-size": letter, "data-size-class": str(size_class),
                        "data-design-width": str(width), "data-design-height": str(height)}
                got = {k: page.body.get(k) for k in want}
                if got != want:
                    self.fail(where, f"<body> size attributes {got}, expected {want}")
                label = page.size_tag.strip()
                if not re.search(rf"(^|\W){letter}\W.*\bclass {size_class}\b", label):
                    self.fail(where, f"corner label {label!r} does not show '{letter}' and 'class {size_class}'")
                page_w = re.search(r"\.page\s*\{[^}]*?\bwidth:\s*(\d+)px", page.style)
                font = re.search(r"\bbody\s*\{[^}]*?font-size:\s*(\d+)px", page.style)
                if not page_w or not font:
                    self.fail(where, "style has no pixel .page width or body font-size")
                    continue
                if not 0.8 * width <= int(page_w.group(1)) <= width:
                    self.fail(where, f".page width {page_w.group(1)}px does not fit a {width}px wide screen")
                measures.append((height, width, int(font.group(1)), name))
            # Taller design screens get larger type; the smallest and largest must differ.
            measures.sort()
            for (h1, _, f1, n1), (h2, _, f2, n2) in zip(measures, measures[1:]):
                if h2 > h1 and f2 < f1:
                    self.fail(f"{PAGES}/{n2}", f"font {f2}px is smaller than {n1}'s {f1}px on a shorter screen")
            if len(measures) == len(SIZES) and measures[0][2] >= measures[-1][2]:
                self.fail(f"{PAGES}/{family}?.vxp", "font size does not grow with the screen size class")

    # -- content pages ----------------------------------------------------------------

    def content_pages(self) -> None:
        linked_media: set[str] = set()
        pictures = 0
        for mm in MODULES:
            for p in self.content_numbers(mm):
                name = f"kq{mm}{p:04d}.vxp"
                page = self.page(name)
                if page is None:
                    continue
                where = f"{PAGES}/{name}"
                m = re.fullmatch(r"Module (\d+) - (\S.*)", page.title.strip())
                if not m or int(m.group(1)) != int(mm):
                    self.fail(where, f"title {page.title!r} should read 'Module {int(mm)} - <topic>'")
                if len(page.words) < MIN_CONTENT_WORDS:
                    self.fail(where, f"only {len(page.words)} words of text, expected real prose")
                for target in self.link_targets(name):
                    if target and re.fullmatch(r"(fig|v)\d\d\w*\.vxp", target):
                        linked_media.add(target)
                for src in page.images:
                    path = site_path(self.site, urljoin(BASE + name, src))
                    if path and path.suffix.lower() in (".png", ".jpg", ".jpeg"):
                        pictures += 1
        if pictures == 0:
            self.fail(PAGES, "no content page shows a JPEG or PNG picture")
        for trigger in sorted(self.kq.glob("fig[0-9][0-9]*.vxp")) + sorted(self.kq.glob("v[0-9][0-9]*.vxp")):
            if trigger.name not in linked_media:
                self.fail(f"{PAGES}/{trigger.name}", "no content page links to it")

    # -- media ---------------------------------------------------------------------------

    def media(self) -> None:
        def probe(trigger: str, url: str, problem) -> None:
            path = site_path(self.site, url)
            if path is None:
                self.fail(f"{PAGES}/{trigger}", f"its media {url} is missing")
            else:
                issue = problem(path)
                if issue:
                    self.fail(path.relative_to(self.site).as_posix(), issue)

        probe("title.vxp", BASE + "/kq/title.avi", avi_problem)
        for page in sorted(self.kq.glob("fig*.vxp")):
            n = page.name
            probe(n, f"{BASE}c{n[3:5]}/{n[:-4]}.avi", avi_problem)
        for page in sorted(self.kq.glob("v*.vxp")):
            n = page.name
            probe(n, f"{BASE}c{n[1:3]}/{n[:-4]}.wav", wav_problem)
        for rel, page in sorted(self.pages.items()):
            for src in page.images:
                path = site_path(self.site, urljoin(f"{HOST}/{rel}", src))
                if path is not None and picture_problem(path):
                    self.fail(path.relative_to(self.site).as_posix(), picture_problem(path))

    # -- exams ------------------------------------------------------------------------------

    def exams(self) -> None:
        for mm, slug in EXAM_SLUGS.items():
            rel = f"{EXAMS}/{slug}/index.html"
            page = self.pages.get(rel)
            if page is None:
                self.fail(rel, "missing")
                continue
            if len(page.forms) != 1:
                self.fail(rel, f"has {len(page.forms)} forms, expected one")
            questions = {name: count for name, count in page.radios.items() if name}
            if len(questions) < 3 or min(questions.values()) < 2:
                self.fail(rel, f"needs at least 3 multiple-choice questions, found {questions}")
            pe = self.page(f"pe{mm}.vxp")
            if pe and not any(site_path(self.site, urljoin(BASE + f"pe{mm}.vxp", h)) == self.site / rel
                              for h, _ in pe.links):
                self.fail(f"{PAGES}/pe{mm}.vxp", f"does not link to its exam {rel}")


# --------------------------------------------------------------------------
# Determinism and freshness
# --------------------------------------------------------------------------

def tree(root: Path) -> dict[str, Path]:
    return {p.relative_to(root).as_posix(): p for p in sorted(root.rglob("*")) if p.is_file()}


def run_generator(generator: Path, out: Path) -> str | None:
    result = subprocess.run([sys.executable, str(generator), "--out", str(out)],
                            capture_output=True, text=True)
    if result.returncode != 0:
        return f"{generator} failed ({result.returncode}): {result.stderr.strip() or result.stdout.strip()}"
    return None


def compare(a: dict[str, Path], b: dict[str, Path], label: str, extra_ok: bool) -> list[str]:
    problems = [f"{rel}: {label}: missing" for rel in sorted(a.keys() - b.keys())]
    if not extra_ok:
        problems += [f"{rel}: {label}: only in one run" for rel in sorted(b.keys() - a.keys())]
    problems += [f"{rel}: {label}: bytes differ" for rel in sorted(a.keys() & b.keys())
                 if not filecmp.cmp(a[rel], b[rel], shallow=False)]
    return problems


def check_generator(generator: Path, site: Path) -> list[str]:
    with tempfile.TemporaryDirectory(prefix="demo-course-") as tmp:
        one, two = Path(tmp, "one"), Path(tmp, "two")
        for out in (one, two):
            error = run_generator(generator, out)
            if error:
                return [error]
        problems = compare(tree(one), tree(two), "generator output differs between two runs", extra_ok=False)
        problems += [f"fresh output: {p}" for p in Checker(one).run()]
        # SITE may hold more (files other tools add later), but what the
        # generator writes must be there unchanged.
        problems += compare(tree(one), tree(site), "site is stale, rebuild the demo-course target",
                            extra_ok=True)
        return problems


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description="Check a generated demo course site.")
    parser.add_argument("site", type=Path, help="web root holding kq_cbt/ and practicestudent/")
    parser.add_argument("--generator", type=Path, help="generate.py; also check it is deterministic")
    args = parser.parse_args(argv)

    checker = Checker(args.site)
    problems = checker.run()
    if args.generator:
        problems += check_generator(args.generator, args.site)
    for problem in problems:
        print(f"FAIL {problem}")
    if problems:
        print(f"check_site.py: {len(problems)} problem(s) in {args.site}", file=sys.stderr)
        return 1
    print(f"check_site.py: {args.site} is complete ({len(checker.pages)} pages checked)")
    return 0


if __name__ == "__main__":
    sys.exit(main())

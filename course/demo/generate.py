#!/usr/bin/env python3
"""Builds the bundled demo course site.

    generate.py --out DIR [--clean]

Reads the course text from content/, the page templates from templates/ and
the committed media from media/, and writes the web root the course server
serves:

    DIR/kq_cbt/kq/...                                   course pages and media
    DIR/practicestudent/exam/tamberlyn/<slug>/...       practice exams

The output depends only on the source files: no timestamps, sorted iteration,
"\\n" line endings, so two runs give identical bytes. Standard library only.
"""

from __future__ import annotations

import argparse
import html
import re
import shutil
import sys
from dataclasses import dataclass, field
from pathlib import Path
from string import Template

HERE = Path(__file__).resolve().parent
CONTENT = HERE / "content"
TEMPLATES = HERE / "templates"
MEDIA = HERE / "media"

PAGES_DIR = "kq_cbt/kq"                        # the viewer's base address
EXAMS_DIR = "practicestudent/exam/tamberlyn"    # one folder per exam slug

# Screen size classes: letter, class number, design width and height.
SIZES = (
    ("a", 1, 1024, 700),
    ("b", 2, 1366, 768),
    ("c", 3, 1280, 800),
    ("d", 4, 1280, 1024),
    ("e", 5, 1440, 900),
    ("f", 6, 1600, 900),
    ("g", 7, 1920, 1080),
    ("h", 8, 2160, 1440),
    ("i", 9, 2560, 1440),
    ("j", 10, 2560, 1600),
    ("k", 11, 3840, 2160),
)


class CourseError(Exception):
    """A problem in the course sources; reported with the file it came from."""


# --------------------------------------------------------------------------
# Course sources
# --------------------------------------------------------------------------

@dataclass
class Block:
    kind: str                 # "para", "list", "picture", "video", "sound"
    text: str = ""
    items: list[str] = field(default_factory=list)
    name: str = ""            # media file name (without extension for video/sound)


@dataclass
class ContentPage:
    title: str
    blocks: list[Block]
    file: str = ""            # kqMMPPPP.vxp, filled in once the module is known


@dataclass
class Question:
    text: str
    options: list[tuple[str, bool]]
    why: str


@dataclass
class Module:
    num: str                  # "01".."07"
    title: str
    intro: str
    objectives: list[str]
    pages: list[ContentPage]
    quiz: list[Question]

    @property
    def n(self) -> int:
        return int(self.num)

    @property
    def slug(self) -> str:
        # "Solar PV panels & arrays" -> "solar-pv-panels--arrays": drop anything
        # that is not a letter, digit, space or hyphen, then spaces become hyphens.
        kept = re.sub(r"[^a-z0-9 -]", "", self.title.lower())
        return kept.replace(" ", "-")

    @property
    def opening(self) -> str:
        return f"kq{self.num}0001.vxp"

    @property
    def objectives_stub(self) -> str:
        return f"kq{self.num}0002.vxp"


def _sections(path: Path) -> list[tuple[str, str, list[str]]]:
    """Splits a content file into (section, argument, body lines)."""
    sections: list[tuple[str, str, list[str]]] = []
    for raw in path.read_text(encoding="utf-8").splitlines():
        line = raw.rstrip()
        if line.startswith("#"):
            continue
        m = re.fullmatch(r"\[(\w[\w-]*)\]\s*(.*)", line)
        if m:
            sections.append((m.group(1), m.group(2).strip(), []))
        elif sections:
            sections[-1][2].append(line)
        elif line:
            raise CourseError(f"{path.name}: text before the first [section]: {line!r}")
    return sections


def _key_values(path: Path, lines: list[str]) -> dict[str, str]:
    """"key: value" lines; indented lines continue the previous value."""
    values: dict[str, str] = {}
    key = None
    for line in lines:
        if not line:
            key = None
        elif line.startswith("  ") and key:
            values[key] += " " + line.strip()
        else:
            m = re.fullmatch(r"([\w-]+):\s*(.*)", line)
            if not m:
                raise CourseError(f"{path.name}: expected 'key: value', got {line!r}")
            key = m.group(1)
            values[key] = m.group(2)
    return values


def _paragraphs(lines: list[str]) -> list[list[str]]:
    groups: list[list[str]] = [[]]
    for line in lines:
        if line.strip():
            groups[-1].append(line)
        elif groups[-1]:
            groups.append([])
    return [g for g in groups if g]


def _page_blocks(path: Path, title: str, lines: list[str]) -> list[Block]:
    blocks: list[Block] = []
    media = re.compile(r"(video|sound|picture):\s*(\S+)\s*\|\s*(.+)")
    for group in _paragraphs(lines):
        # Media lines may sit directly above the paragraph they belong with.
        while group and (m := media.fullmatch(group[0])):
            blocks.append(Block(m.group(1), text=m.group(3), name=m.group(2)))
            group = group[1:]
        if not group:
            continue
        if any(media.fullmatch(line) for line in group):
            raise CourseError(f"{path.name}: page {title!r}: media lines go above a paragraph, not inside it")
        # A list may follow its lead-in sentence without a blank line.
        starts = [i for i, line in enumerate(group) if line.startswith("- ")]
        if starts and starts[0] > 0:
            blocks.append(Block("para", text=" ".join(l.strip() for l in group[:starts[0]])))
            group = group[starts[0]:]
        if group[0].startswith("- "):
            items: list[str] = []
            for line in group:
                if line.startswith("- "):
                    items.append(line[2:].strip())
                elif line.startswith("  ") and items:
                    items[-1] += " " + line.strip()
                else:
                    raise CourseError(f"{path.name}: page {title!r}: stray line in list: {line!r}")
            blocks.append(Block("list", items=items))
        else:
            blocks.append(Block("para", text=" ".join(l.strip() for l in group)))
    return blocks


def _quiz(path: Path, lines: list[str]) -> list[Question]:
    questions: list[Question] = []
    for group in _paragraphs(lines):
        if not group[0].startswith("Q: "):
            raise CourseError(f"{path.name}: quiz entry must start with 'Q: ': {group[0]!r}")
        options: list[tuple[str, bool]] = []
        why = ""
        for line in group[1:]:
            if line.startswith(("+ ", "- ")):
                options.append((line[2:].strip(), line[0] == "+"))
            elif line.startswith("why: "):
                why = line[5:].strip()
            else:
                raise CourseError(f"{path.name}: unexpected quiz line {line!r}")
        if sum(correct for _, correct in options) != 1 or len(options) < 2:
            raise CourseError(f"{path.name}: question {group[0]!r} needs one '+' answer and at least one '-'")
        if not why:
            raise CourseError(f"{path.name}: question {group[0]!r} has no 'why:' line")
        questions.append(Question(group[0][3:].strip(), options, why))
    return questions


def load_module(path: Path) -> Module:
    num = path.name[:2]
    if not re.fullmatch(r"0[1-9]", num):
        raise CourseError(f"{path.name}: module files are named NN-<name>.txt")
    info: dict[str, str] = {}
    objectives: list[str] = []
    pages: list[ContentPage] = []
    quiz: list[Question] = []
    for name, arg, lines in _sections(path):
        if name == "module":
            info = _key_values(path, lines)
        elif name == "objectives":
            objectives = [l[2:].strip() for l in lines if l.startswith("- ")]
        elif name == "page":
            if not arg:
                raise CourseError(f"{path.name}: [page] needs a title")
            pages.append(ContentPage(arg, _page_blocks(path, arg, lines)))
        elif name == "quiz":
            quiz = _quiz(path, lines)
        else:
            raise CourseError(f"{path.name}: unknown section [{name}]")
    for key in ("title", "intro"):
        if key not in info:
            raise CourseError(f"{path.name}: [module] has no '{key}:'")
    if len(pages) < 3:
        raise CourseError(f"{path.name}: a module needs at least three pages, found {len(pages)}")
    if not objectives or not quiz:
        raise CourseError(f"{path.name}: a module needs [objectives] and [quiz]")
    for i, page in enumerate(pages):
        page.file = f"kq{num}{i + 3:04d}.vxp"
    return Module(num, info["title"], info["intro"], objectives, pages, quiz)


def load_course() -> tuple[dict[str, str], list[Module]]:
    course_file = CONTENT / "course.txt"
    sections = _sections(course_file)
    if [s[0] for s in sections] != ["course"]:
        raise CourseError("course.txt: expected a single [course] section")
    course = _key_values(course_file, sections[0][2])
    modules = [load_module(p) for p in sorted(CONTENT.glob("[0-9][0-9]-*.txt"))]
    nums = [m.num for m in modules]
    if nums != [f"{i:02d}" for i in range(1, len(modules) + 1)]:
        raise CourseError(f"modules must be numbered 01, 02, ... without gaps, found {nums}")
    return course, modules


# --------------------------------------------------------------------------
# Media addresses, as the viewer computes them from a trigger page name
# --------------------------------------------------------------------------

def video_path(page: str) -> str:
    """fig01a.vxp -> c01/fig01a.avi (folder from characters 4 and 5)."""
    return f"c{page[3:5]}/{page[:-4]}.avi"


def sound_path(page: str) -> str:
    """v0101.vxp -> c01/v0101.wav (folder from characters 2 and 3)."""
    return f"c{page[1:3]}/{page[:-4]}.wav"


TITLE_VIDEO = "kq/title.avi"


# --------------------------------------------------------------------------
# Rendering
# --------------------------------------------------------------------------

def esc(text: str) -> str:
    return html.escape(text, quote=False)


def attr(text: str) -> str:
    return html.escape(text, quote=True)


class Templates:
    def __init__(self) -> None:
        self._cache: dict[str, Template] = {}

    def __call__(self, name: str, **values: object) -> str:
        if name not in self._cache:
            self._cache[name] = Template((TEMPLATES / name).read_text(encoding="utf-8"))
        try:
            return self._cache[name].substitute({k: str(v) for k, v in values.items()})
        except KeyError as err:
            raise CourseError(f"templates/{name}: no value for ${err.args[0]}") from None


def _round_div(num: int, den: int) -> int:
    return (2 * num + den) // (2 * den)


def sized_layout(letter: str, size_class: int, width: int, height: int) -> dict[str, str]:
    """CSS numbers for one size class: everything scales with the design size."""
    font = _round_div(16 * height, 768)
    return {
        "font_px": f"{font}px",
        "page_width": f"{_round_div(94 * width, 100)}px",
        "page_min_height": f"{_round_div(80 * height, 100)}px",
        "pad_px": f"{_round_div(12 * font, 10)}px",
        "pic_px": f"{_round_div(30 * width, 100)}px",
    }


PLAIN_LAYOUT = {
    "font_px": "16px",
    "page_width": "min(832px, 96vw)",
    "page_min_height": "0",
    "pad_px": "20px",
    "pic_px": "480px",
}


class Site:
    def __init__(self, course: dict[str, str], modules: list[Module]) -> None:
        self.course = course
        self.modules = modules
        self.t = Templates()
        self.files: dict[str, bytes] = {}

    # -- helpers -----------------------------------------------------------

    def add(self, relpath: str, data: bytes | str) -> None:
        if relpath in self.files:
            raise CourseError(f"two pages would be written to {relpath}")
        self.files[relpath] = data.encode("utf-8") if isinstance(data, str) else data

    def nav(self, section: str, prev: str, next_: str) -> str:
        return self.t("nav.html", section=attr(section), prev=attr(prev), next=attr(next_),
                      course=esc(self.course["name"]))

    def page(self, *, title: str, kind: str, main: str, nav: str = "",
             size: tuple[str, int, int, int] | None = None) -> str:
        if size:
            letter, size_class, width, height = size
            layout = sized_layout(*size)
            body_class = f"sized size-{letter}"
            size_attrs = (f' data-size="{letter}" data-size-class="{size_class}"'
                          f' data-design-width="{width}" data-design-height="{height}"')
            corner = self.t("corner.html", letter=letter, size_class=size_class,
                            width=width, height=height)
        else:
            layout, body_class, size_attrs, corner = PLAIN_LAYOUT, "plain", "", ""
        return self.t("page.html", title=esc(title), kind=kind, body_class=body_class,
                      size_attrs=size_attrs, style=self.t("style.css", **layout),
                      nav=nav, main=main, corner=corner)

    def add_page(self, name: str, html_text: str) -> None:
        self.add(f"{PAGES_DIR}/{name}", html_text)

    def module_before(self, module: Module, contents: str) -> str:
        """Where Prev goes from a module's opening: the previous module's last page."""
        if module.n == 1:
            return contents
        return self.modules[module.n - 2].pages[-1].file

    def module_after(self, module: Module) -> str:
        """Where Next goes from a module's last page."""
        if module.n == len(self.modules):
            return "kqa.vxp"
        return self.modules[module.n].opening

    # -- page families -----------------------------------------------------

    def build(self) -> None:
        for size in SIZES:
            self.contents_page(size)
            self.alt_contents_page(size)
            self.practice_page(size)
            for module in self.modules:
                self.module_page(module, size)
                self.objectives_page(module, size)
        for module in self.modules:
            self.stub_pages(module)
            for i, page in enumerate(module.pages):
                self.content_page(module, i, page)
            self.exam_pages(module)
        self.trigger_pages()
        self.media()

    def contents_page(self, size: tuple[str, int, int, int]) -> None:
        letter = size[0]
        name = f"kq{letter}.vxp"
        items = "".join(
            f'<li><a href="{m.opening}">Module {m.n} - {esc(m.title)}</a></li>\n'
            for m in self.modules)
        main = self.t("contents.html", course=esc(self.course["name"]),
                      intro=esc(self.course["contents-intro"]), modules=items,
                      practice=f"kqprac{letter}.vxp", alt_contents=f"kqcr{letter}.vxp")
        self.add_page(name, self.page(
            title=f"{self.course['name']} - Contents", kind="contents", size=size,
            nav=self.nav(name, "title.vxp", self.modules[0].opening), main=main))

    def alt_contents_page(self, size: tuple[str, int, int, int]) -> None:
        letter = size[0]
        name = f"kqcr{letter}.vxp"
        parts = []
        for m in self.modules:
            pages = "".join(f'<li><a href="{p.file}">{esc(p.title)}</a></li>\n' for p in m.pages)
            parts.append(f'<h2><a href="{m.opening}">Module {m.n} - {esc(m.title)}</a></h2>\n'
                         f'<ol class="pages">\n{pages}</ol>\n')
        main = self.t("altcontents.html", course=esc(self.course["name"]),
                      intro=esc(self.course["alt-contents-intro"]), modules="".join(parts))
        self.add_page(name, self.page(
            title=f"{self.course['name']} - Course map", kind="altcontents", size=size,
            nav=self.nav(name, f"kq{letter}.vxp", self.modules[0].opening), main=main))

    def practice_page(self, size: tuple[str, int, int, int]) -> None:
        letter = size[0]
        name = f"kqprac{letter}.vxp"
        exams = "".join(
            f'<li><a href="pe{m.num}.vxp">Module {m.n} - {esc(m.title)}</a></li>\n'
            for m in self.modules)
        main = self.t("practice.html", course=esc(self.course["name"]),
                      intro=esc(self.course["practice-intro"]), exams=exams)
        contents = f"kq{letter}.vxp"
        self.add_page(name, self.page(
            title=f"{self.course['name']} - Practice exams", kind="practice", size=size,
            nav=self.nav(contents, contents, f"pe{self.modules[0].num}.vxp"), main=main))

    def module_page(self, module: Module, size: tuple[str, int, int, int]) -> None:
        letter = size[0]
        contents = f"kq{letter}.vxp"
        pages = "".join(f'<li><a href="{p.file}">{esc(p.title)}</a></li>\n' for p in module.pages)
        main = self.t("module.html", n=module.n, count=len(self.modules),
                      module_title=esc(module.title), intro=esc(module.intro),
                      objectives=module.objectives_stub, pages=pages)
        self.add_page(f"mod{module.num}{letter}.vxp", self.page(
            title=f"Module {module.n} - {module.title}", kind="module", size=size,
            nav=self.nav(contents, self.module_before(module, contents), module.objectives_stub),
            main=main))

    def objectives_page(self, module: Module, size: tuple[str, int, int, int]) -> None:
        letter = size[0]
        first = module.pages[0]
        items = "".join(f"<li>{esc(o)}</li>\n" for o in module.objectives)
        main = self.t("objectives.html", n=module.n, module_title=esc(module.title),
                      objectives=items, first=first.file, first_title=esc(first.title),
                      exam=f"pe{module.num}.vxp")
        self.add_page(f"obj{module.num}{letter}.vxp", self.page(
            title=f"Module {module.n} - Objectives", kind="objectives", size=size,
            nav=self.nav(f"kq{letter}.vxp", module.opening, first.file), main=main))

    def stub_pages(self, module: Module) -> None:
        # The viewer swaps these for the sized page at once; they still work in
        # a plain browser.
        opening = self.course["opening"]
        self.add_page(module.opening, self.page(
            title=f"Module {module.n} - {module.title}", kind="stub",
            nav=self.nav("kqa.vxp", self.module_before(module, "kqa.vxp"), module.objectives_stub),
            main=self.t("stub.html", n=module.n, module_title=esc(module.title),
                        heading=f"{esc(opening)} {module.n}…", text=esc(module.intro))))
        self.add_page(module.objectives_stub, self.page(
            title=f"Module {module.n} - Objectives", kind="stub",
            nav=self.nav(module.opening, module.opening, module.pages[0].file),
            main=self.t("stub.html", n=module.n, module_title=esc(module.title),
                        heading=f"{esc(opening)} {module.n}…",
                        text="Loading the objectives of this module.")))

    def content_page(self, module: Module, i: int, page: ContentPage) -> None:
        prev = module.objectives_stub if i == 0 else module.pages[i - 1].file
        next_ = module.pages[i + 1].file if i + 1 < len(module.pages) else self.module_after(module)
        blocks = "".join(self.block(b) for b in page.blocks)
        main = self.t("content.html", n=module.n, module_title=esc(module.title),
                      page_no=i + 1, page_count=len(module.pages),
                      page_title=esc(page.title), blocks=blocks)
        self.add_page(page.file, self.page(
            title=f"Module {module.n} - {page.title}", kind="content",
            nav=self.nav(module.opening, prev, next_), main=main))

    def block(self, b: Block) -> str:
        if b.kind == "para":
            return f"<p>{esc(b.text)}</p>\n"
        if b.kind == "list":
            return "<ul>\n" + "".join(f"<li>{esc(i)}</li>\n" for i in b.items) + "</ul>\n"
        if b.kind == "picture":
            src = f"pics/{b.name}"
            return (f'<figure class="picture"><a class="picture-link" href="{attr(src)}">'
                    f'<img src="{attr(src)}" alt="{attr(b.text)}"></a>'
                    f"<figcaption>{esc(b.text)}</figcaption></figure>\n")
        label = {"video": "Watch", "sound": "Listen"}[b.kind]
        return (f'<aside class="media"><a class="media-{b.kind}" href="{attr(b.name)}.vxp">'
                f"{label}: {esc(b.text)}</a></aside>\n")

    def exam_pages(self, module: Module) -> None:
        folder = f"/{EXAMS_DIR}/{module.slug}"
        heading = f"Module {module.n} - {module.title}"
        # Exam pages may be opened as ".../slug" without a trailing slash, so
        # their links are root-relative rather than relative.
        questions, answers = [], []
        for qi, q in enumerate(module.quiz, start=1):
            options = "".join(
                f'<label><input type="radio" name="q{qi}" value="{chr(97 + oi)}"> {esc(text)}</label>\n'
                for oi, (text, _) in enumerate(q.options))
            questions.append(f"<fieldset>\n<legend>{qi}. {esc(q.text)}</legend>\n{options}</fieldset>\n")
            right = next(f"{chr(97 + oi)}) {text}" for oi, (text, ok) in enumerate(q.options) if ok)
            answers.append(f'<li><p>{esc(q.text)}</p><p class="answer">{esc(right)}</p>'
                           f"<p>{esc(q.why)}</p></li>\n")
        back = f"/{PAGES_DIR}/kqa.vxp"
        self.add(f"{EXAMS_DIR}/{module.slug}/index.html", self.page(
            title=f"Practice exam - {module.title}", kind="exam",
            main=self.t("exam.html", course=esc(self.course["name"]), heading=esc(heading),
                        action=f"{folder}/answers.html", questions="".join(questions), back=back)))
        self.add(f"{EXAMS_DIR}/{module.slug}/answers.html", self.page(
            title=f"Practice exam answers - {module.title}", kind="answers",
            main=self.t("answers.html", course=esc(self.course["name"]), heading=esc(heading),
                        answers="".join(answers), retry=f"{folder}/", back=back)))

    def trigger_pages(self) -> None:
        c = self.course

        def trigger(name: str, heading: str, text: str, back: str, back_label: str) -> None:
            self.add_page(name, self.page(
                title=heading, kind="trigger",
                main=self.t("trigger.html", heading=esc(heading), text=esc(text),
                            back=attr(back), back_label=esc(back_label))))

        trigger("title.vxp", c["name"], c["title-video"], "kqa.vxp", "Go to the contents")
        trigger("search.vxp", "Search", c["search"], "kqa.vxp", "Back to contents")
        trigger("index.vxp", "Word index", c["index"], "kqa.vxp", "Back to contents")
        trigger("hist.vxp", "History", c["hist"], "kqa.vxp", "Back to contents")
        for m in self.modules:
            trigger(f"pe{m.num}.vxp", f"Practice exam - {m.title}",
                    f"{c['exam-trigger']} {m.n}: {m.title}.",
                    f"../../{EXAMS_DIR}/{m.slug}/", "Open the exam in this window")
        for m in self.modules:
            for p in m.pages:
                for b in p.blocks:
                    if b.kind in ("video", "sound"):
                        trigger(f"{b.name}.vxp", b.text, f"From module {m.n}, {m.title}: {p.title}.",
                                p.file, f"Back to {p.title}")

    def media(self) -> None:
        def copy(src: Path, dest: str) -> None:
            if not src.is_file():
                raise CourseError(f"missing media file {src.relative_to(HERE)}")
            self.add(f"{PAGES_DIR}/{dest}", src.read_bytes())

        copy(MEDIA / "title.avi", TITLE_VIDEO)
        for m in self.modules:
            for p in m.pages:
                for b in p.blocks:
                    if b.kind == "video":
                        if not re.fullmatch(r"fig\d\d\w*", b.name):
                            raise CourseError(f"video {b.name!r}: names start with 'fig' and the module number")
                        copy(MEDIA / f"{b.name}.avi", video_path(f"{b.name}.vxp"))
                    elif b.kind == "sound":
                        if not re.fullmatch(r"v\d\d\w*", b.name):
                            raise CourseError(f"sound {b.name!r}: names start with 'v' and the module number")
                        copy(MEDIA / f"{b.name}.wav", sound_path(f"{b.name}.vxp"))
        # Every picture is shipped, referenced or not: the contents and module
        # pages use panel.jpg directly from their templates.
        for pic in sorted((MEDIA / "pics").iterdir()):
            if pic.suffix.lower() in (".png", ".jpg", ".jpeg"):
                copy(pic, f"pics/{pic.name}")


def generate(out: Path, clean: bool = False) -> int:
    course, modules = load_course()
    site = Site(course, modules)
    site.build()
    if clean:
        for top in (PAGES_DIR.split("/")[0], EXAMS_DIR.split("/")[0]):
            shutil.rmtree(out / top, ignore_errors=True)
    for rel in sorted(site.files):
        dest = out / rel
        dest.parent.mkdir(parents=True, exist_ok=True)
        dest.write_bytes(site.files[rel])
    return len(site.files)


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description="Build the demo course site.")
    parser.add_argument("--out", required=True, type=Path, help="web root to write into")
    parser.add_argument("--clean", action="store_true",
                        help="remove kq_cbt/ and practicestudent/ under --out first")
    args = parser.parse_args(argv)
    try:
        count = generate(args.out, args.clean)
    except CourseError as err:
        print(f"generate.py: error: {err}", file=sys.stderr)
        return 1
    print(f"generate.py: wrote {count} files into {args.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

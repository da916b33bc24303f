#!/usr/bin/python3
"""Holds the Search's results on a real course against an independent reference.

    eval_search.py --tool BUILD/bin/tamberlyn-index --course COURSE_DIR --index INDEX_DIR
                   [--per-class N] [--seed S] [--jobs J] [--show-misses K]

The reference reads every indexed page (kqMMNNNN.vxp) with html5lib, a
second, independent HTML5 parser, takes the text a browser shows by the rules
tools/index/README.md gives (what is never shown, the page furniture, the
data-noindex marker, inline elements that do not end a word), and decides by
plain string search whether a page's text holds a query word: the word must
start where a word starts (after a character that is no letter, accent or
digit), letter case aside, the typographic apostrophes and hyphens read as
the plain ones. A two-word query is held when both words are (that is what
the Search promises: pages with both words, not the phrase).

Queries are taken from the pages themselves, typed as the pages show them, in
classes: hyphenated words, their parts, apostrophes of both kinds, elisions,
numbers, one letter, two words, accents, upper case. Each is run through
`tamberlyn-index search`, which prints exactly what the Search window lists.
The table gives per class the queries, the (query, page) pairs the reference
holds, how many of those the Search listed (recall), and the pages the
Search listed that the reference does not hold.

Needs python3-html5lib (Debian). Words the index's code page (Windows-1252)
cannot hold are never queried: the stored format cannot carry them; their
number is printed.
"""

from __future__ import annotations

import argparse
import random
import re
import subprocess
import sys
import unicodedata
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import html5lib

NEVER_SHOWN = {"head", "script", "style", "template", "noscript", "title"}
FURNITURE = {"header", "footer", "aside"}
SECTIONING = {"article", "aside", "main", "nav", "section"}
INLINE = {"a", "abbr", "acronym", "b", "bdi", "bdo", "big", "blink", "cite", "code", "data", "del", "dfn", "em",
          "font", "i", "ins", "kbd", "label", "mark", "nobr", "q", "rb", "rp", "rt", "rtc", "ruby", "s", "samp",
          "small", "span", "strike", "strong", "sub", "sup", "time", "tt", "u", "var", "wbr"}
# Every element HTML knows; any other is a custom or unknown one, shown inline.
KNOWN = INLINE | NEVER_SHOWN | FURNITURE | SECTIONING | {
    "html", "body", "address", "blockquote", "center", "dialog", "div", "figure", "figcaption", "form", "hr",
    "legend", "listing", "p", "plaintext", "pre", "search", "xmp", "h1", "h2", "h3", "h4", "h5", "h6", "hgroup",
    "dir", "dd", "dl", "dt", "menu", "ol", "ul", "li", "table", "caption", "colgroup", "col", "thead", "tbody",
    "tfoot", "tr", "td", "th", "fieldset", "details", "summary", "optgroup", "option", "select", "textarea",
    "input", "button", "img", "br", "iframe", "embed", "object", "param", "video", "audio", "source", "track",
    "canvas", "map", "area", "svg", "math", "picture", "meter", "progress", "output", "datalist", "marquee",
    "frameset", "frame", "noframes", "noembed", "image", "isindex", "keygen", "applet", "basefont", "bgsound",
    "link", "meta", "base", "slot", "menuitem"}

APOSTROPHES = {"\u2019": "'", "\u2018": "'", "\u02bc": "'"}
HYPHENS = {"\u2010": "-", "\u2011": "-"}
FOLD = str.maketrans({**APOSTROPHES, **HYPHENS})


def is_word_char(c: str) -> bool:
    category = unicodedata.category(c)
    return category[0] in "LM" or category in ("Nd", "Nl")


def upper(text: str) -> str:
    # One character for one, as the viewer compares ("ß" stays "ß").
    return "".join(u if len(u := c.upper()) == 1 else c for c in text)


def normalise(text: str) -> str:
    return upper("".join(c for c in text if unicodedata.category(c) != "Cf").translate(FOLD))


def decode(data: bytes) -> str:
    try:
        text = data.decode("utf-8")
        return text[1:] if text.startswith("\ufeff") else text
    except UnicodeDecodeError:
        return data.decode("cp1252", errors="replace")


def visible_text(document: str) -> str:
    root = html5lib.parse(document, treebuilder="etree", namespaceHTMLElements=False)
    out: list[str] = []

    def left_out(element, tag: str, in_section: bool) -> bool:
        if tag in NEVER_SHOWN or tag == "nav" or "hidden" in element.attrib or "data-noindex" in element.attrib:
            return True
        if "noindex" in element.attrib.get("class", "").split():
            return True
        return tag in FURNITURE and not in_section

    def walk(element, in_section: bool) -> None:
        tag = element.tag if isinstance(element.tag, str) else None
        if tag is None:  # a comment
            return
        tag = tag.lower()
        if left_out(element, tag, in_section):
            return
        breaks = tag not in INLINE and tag in KNOWN
        if breaks:
            out.append(" ")
        if element.text:
            out.append(element.text)
        for child in element:
            walk(child, in_section or tag in SECTIONING)
            if child.tail:
                out.append(child.tail)
        if breaks:
            out.append(" ")

    walk(root, False)
    return "".join(out)


def holds(text: str, word: str) -> bool:
    start = text.find(word)
    while start >= 0:
        if start == 0 or not is_word_char(text[start - 1]):
            return True
        start = text.find(word, start + 1)
    return False


def compounds(text: str) -> list[str]:
    """The words of the text as shown, hyphens and apostrophes kept inside."""
    text = "".join(c for c in text if unicodedata.category(c) != "Cf")
    return re.findall(r"[^\W_]+(?:['\u2019\u2018\u02bc\-\u2010\u2011][^\W_]+)*", text)


def cp1252(text: str) -> bool:
    try:
        text.encode("cp1252")
        return True
    except UnicodeEncodeError:
        return False


def search(tool: str, index: str, query: str) -> set[str]:
    run = subprocess.run([tool, "search", index, query], capture_output=True, text=True, check=True)
    lines = run.stdout.splitlines()
    return {line.rsplit("\t", 1)[1] for line in lines[1:]}


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--course", required=True, type=Path)
    parser.add_argument("--index", required=True)
    parser.add_argument("--per-class", type=int, default=300, help="most queries per class (default 300)")
    parser.add_argument("--seed", type=int, default=14)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--show-misses", type=int, default=5)
    args = parser.parse_args()

    folder = args.course / "kq_cbt" / "kq"
    if not folder.is_dir():
        folder = args.course
    pages = sorted(p for p in folder.iterdir() if re.fullmatch(r"kq[0-9]{6}\.vxp", p.name))
    texts = {p.name: visible_text(decode(p.read_bytes())) for p in pages}
    keys = {name: normalise(text) for name, text in texts.items()}

    shown: list[str] = []
    for text in texts.values():
        shown.extend(compounds(text))
    distinct = sorted(set(shown))
    unwritable = {w for w in distinct if not cp1252(w)}
    words = [w for w in distinct if w not in unwritable]
    rng = random.Random(args.seed)

    def sample(items) -> list[str]:
        items = sorted(set(items))
        return items if len(items) <= args.per_class else sorted(rng.sample(items, args.per_class))

    hyphenated = [w for w in words if re.search(r"[-\u2010\u2011]", w)]
    parts = [p for w in hyphenated for p in re.split(r"[-\u2010\u2011]", w)[1:] if p]
    plain_apostrophe = [w for w in words if "'" in w]
    typographic_shown = [w for w in words if re.search("[\u2019\u2018\u02bc]", w)]
    typographic_typed = [w.replace("'", "\u2019") for w in plain_apostrophe]
    elisions = [m.group(1) for w in words for m in [re.fullmatch(r"(?i)(?:[dljmnstc]|qu)['\u2019](\w{3,})", w)] if m]
    numbers = [w for w in words if w.isdecimal()]
    letters = [w for w in words if len(w) == 1 and w.isalpha()]
    pairs = []
    for text in texts.values():
        seq = [w for w in compounds(text) if w not in unwritable]
        pairs.extend(f"{a} {b}" for a, b in zip(seq, seq[1:]))
    split_compounds = [re.sub(r"[-\u2010\u2011]", " ", w) for w in hyphenated if w.count("-") == 1]
    accented = [w for w in words if any(ord(c) > 127 and c.isalpha() for c in w)]
    upper_typed = [w.upper() for w in words if len(w) > 1 and not w.isdecimal()]

    classes = {
        "hyphenated, whole (apt-get)": sample(hyphenated),
        "hyphenated, a part (get)": sample(parts),
        "apostrophe ' as shown (user's)": sample(plain_apostrophe),
        "apostrophe \u2019 typed for ' (user\u2019s)": sample(typographic_typed),
        "apostrophe \u2019 as shown": sample(typographic_shown),
        "elision, the word (\u00eatre)": sample(elisions),
        "numbers (8, 64, 2023)": sample(numbers),
        "one letter (x)": sample(letters),
        "two words, compound split (utf 8)": sample(split_compounds),
        "two words, adjacent (apt-get install)": sample(pairs),
        "accents (r\u00e9sum\u00e9)": sample(accented),
        "upper case (APT-GET)": sample(upper_typed),
    }

    queries = sorted({q for qs in classes.values() for q in qs})
    with ThreadPoolExecutor(max_workers=args.jobs) as pool:
        found = dict(zip(queries, pool.map(lambda q: search(args.tool, args.index, q), queries)))

    def reference(query: str) -> set[str]:
        query_words = normalise(query).split()[:2]
        return {name for name, key in keys.items() if all(holds(key, w) for w in query_words)}

    print(f"{len(pages)} pages, {len(words)} distinct words as shown "
          f"({len(unwritable)} more that Windows-1252 cannot hold, never queried)\n")
    print("| Query class | Queries | Pages holding them | Listed by the Search | Recall | Listed, not held |")
    print("|---|---:|---:|---:|---:|---:|")
    all_ok = True
    misses: list[str] = []
    for name, qs in classes.items():
        held = listed = wrong = 0
        for q in qs:
            ref = reference(q)
            got = found[q]
            held += len(ref)
            listed += len(ref & got)
            wrong += len(got - ref)
            for page in sorted(ref - got)[: args.show_misses]:
                misses.append(f"  missed: {q!r} on {page}")
            for page in sorted(got - ref)[: args.show_misses]:
                misses.append(f"  not held: {q!r} on {page}")
        recall = 100.0 * listed / held if held else 100.0
        all_ok = all_ok and recall >= 98.0 and wrong == 0
        print(f"| {name} | {len(qs)} | {held} | {listed} | {recall:.1f}% | {wrong} |")
    if misses:
        print("\nExamples:")
        print("\n".join(misses[: 40]))
    return 0 if all_ok else 1


if __name__ == "__main__":
    sys.exit(main())

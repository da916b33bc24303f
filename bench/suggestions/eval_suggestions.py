#!/usr/bin/python3
"""Measures the Search's suggestions on a real course's learner queries.

    eval_suggestions.py --answer BUILD/bin/suggest_queries --course COURSE_DIR --index INDEX_DIR
                        [--per-class N] [--seed S] [--examples K]

A learner looking for a page types a word seen on it, but not as the page
shows it: copied with the punctuation around it ("apt-get," "(apt-get)"),
without its accents ("systeme", "ecran"), without them and with a capital
("Etre"), with one slip of the fingers, or as two words that way ("cle
ssh"). Queries of those kinds are made from the pages' own words (the text a
browser shows, read as bench/index/eval_search.py reads it), each with the
page it came from: the page the learner wanted.

Each query goes through the viewer's own search and suggestions
(bench/suggestions/suggest_queries). Before the suggestions, a query that
found nothing ended there, "Found:  0 pages" and nothing else: the wanted
page was never one click away. Now the table says, per kind of query, how
many found nothing, and of those how many show a suggestion whose pages
include the wanted one (one more click), how many the first suggestion
already does, and how far down that suggestion's list the wanted page
comes. Queries that still find pages as typed show no suggestions;
they are counted apart, with whether the wanted page is among what they
found.

Needs python3-html5lib (Debian). Words the index's code page (Windows-1252)
cannot hold are never used. Same course and seed, same queries.
"""

from __future__ import annotations

import argparse
import json
import random
import re
import statistics
import subprocess
import sys
import unicodedata
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "index"))
from eval_search import compounds, cp1252, decode, visible_text  # noqa: E402

WRAPPERS = ["{},", "({})", "{}.", '"{}"', "{}:", "\u00ab{}\u00bb", "{};", "'{}'", "{}?"]
QWERTY_NEIGHBOURS = {
    "a": "qswz", "b": "vghn", "c": "xdfv", "d": "serfcx", "e": "wsdr", "f": "drtgvc", "g": "ftyhbv",
    "h": "gyujnb", "i": "ujko", "j": "huikmn", "k": "jiolm", "l": "kop", "m": "njk", "n": "bhjm",
    "o": "iklp", "p": "ol", "q": "wa", "r": "edft", "s": "awedxz", "t": "rfgy", "u": "yhji",
    "v": "cfgb", "w": "qase", "x": "zsdc", "y": "tghu", "z": "asx"}


def unaccented(word: str) -> str:
    return "".join(c for c in unicodedata.normalize("NFD", word) if not unicodedata.combining(c))


def slip(word: str, rng: random.Random) -> str:
    """One slip of the fingers: two letters swapped, one left out, one doubled or one wrong."""
    i = rng.randrange(1, len(word) - 1)  # the first letter is rarely wrong
    kind = rng.choice(["swap", "drop", "double", "wrong"])
    if kind == "swap":
        return word[:i] + word[i + 1] + word[i] + word[i + 2:]
    if kind == "drop":
        return word[:i] + word[i + 1:]
    if kind == "double":
        return word[:i] + word[i] + word[i:]
    near = QWERTY_NEIGHBOURS.get(word[i].lower(), "e")
    return word[:i] + rng.choice(near) + word[i + 1:]


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--answer", required=True, help="the suggest_queries program")
    parser.add_argument("--course", required=True, type=Path)
    parser.add_argument("--index", required=True)
    parser.add_argument("--per-class", type=int, default=300, help="queries per kind (default 300)")
    parser.add_argument("--seed", type=int, default=22)
    parser.add_argument("--examples", type=int, default=3, help="examples shown per kind")
    args = parser.parse_args()

    folder = args.course / "kq_cbt" / "kq"
    if not folder.is_dir():
        folder = args.course
    pages = sorted(p for p in folder.iterdir() if re.fullmatch(r"kq[0-9]{6}\.vxp", p.name))
    words_on = {p.name: [w for w in compounds(visible_text(decode(p.read_bytes()))) if cp1252(w)] for p in pages}
    rng = random.Random(args.seed)

    # (word as shown, page) once each, in a fixed order.
    occurrences = sorted({(w, page) for page, ws in words_on.items() for w in ws})
    pairs = sorted({(a, b, page) for page, ws in words_on.items() for a, b in zip(ws, ws[1:])})

    def accented(word: str) -> bool:
        return unaccented(word) != word

    def sample(items: list, make) -> list[tuple[str, str]]:
        chosen = items if len(items) <= args.per_class else rng.sample(items, args.per_class)
        return [make(item) for item in chosen]

    letters_only = [(w, p) for w, p in occurrences if w.isalpha() and len(w) >= 5]
    kinds = {
        "punctuation copied (apt-get, / (apt-get))":
            sample([o for o in occurrences if len(o[0]) >= 3],
                   lambda o: (rng.choice(WRAPPERS).format(o[0]), o[1])),
        "accents left out (systeme)":
            sample([o for o in occurrences if accented(o[0])], lambda o: (unaccented(o[0]), o[1])),
        "accents left out, capital first (Etre)":
            sample([o for o in occurrences if accented(o[0]) and o[0][0].islower()],
                   lambda o: (unaccented(o[0])[0].upper() + unaccented(o[0])[1:], o[1])),
        "one slip (a letter swapped, left out, doubled, wrong)":
            sample(letters_only, lambda o: (slip(o[0], rng), o[1])),
        "two words, accents left out (cle ssh)":
            sample([q for q in pairs if accented(q[0]) or accented(q[1])],
                   lambda q: (unaccented(q[0]) + " " + unaccented(q[1]), q[2])),
        "two words, punctuation copied (sudo, apt-get)":
            sample(pairs, lambda q: (q[0] + ", " + q[1], q[2])),
    }

    queries = sorted({q for made in kinds.values() for q, _ in made})
    run = subprocess.run([args.answer, args.index], input="\n".join(queries) + "\n", capture_output=True,
                         text=True, check=True)
    answers = {a["query"]: a for a in map(json.loads, run.stdout.splitlines())}
    missing = [q for q in queries if q not in answers]
    if missing:
        print(f"eval_suggestions.py: no answer for {len(missing)} queries, e.g. {missing[:3]}", file=sys.stderr)
        return 1

    print(f"{len(pages)} pages; {len(queries)} distinct queries, each with the page it was made from\n")
    print("| Kind of query | Queries | Found pages as typed (wanted one among them) | Found nothing "
          "| Now one click away (share of found nothing) | By the first suggestion | No suggestion "
          "| Suggestions shown (mean) | Place of the wanted page in what that suggestion lists (median) |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    examples: list[str] = []
    total_nothing = total_reached = 0
    for name, made in kinds.items():
        found = found_wanted = nothing = reached = first = none = shown = 0
        places: list[int] = []
        kind_examples = 0
        for query, page in made:
            answer = answers[query]
            if answer["pages"]:
                found += 1
                found_wanted += page in answer["pages"]
                continue
            nothing += 1
            offered = answer["suggestions"]
            shown += len(offered)
            if not offered:
                none += 1
            hits = [k for k, s in enumerate(offered) if page in s["pages"]]
            if hits:
                reached += 1
                first += hits[0] == 0
                places.append(offered[hits[0]]["pages"].index(page) + 1)
            if kind_examples < args.examples and offered:
                kind_examples += 1
                listed = ", ".join(f"{s['query']} ({len(s['pages'])})" for s in offered[:4])
                verdict = f"wanted page by suggestion {hits[0] + 1}" if hits else "wanted page not reached"
                examples.append(f"  {query!r} -> {listed}; {verdict}")
        total_nothing += nothing
        total_reached += reached
        share = f"{reached} ({100.0 * reached / nothing:.1f}%)" if nothing else "0"
        mean = f"{shown / nothing:.1f}" if nothing else "-"
        place = f"{statistics.median(places):g}" if places else "-"
        print(f"| {name} | {len(made)} | {found} ({found_wanted}) | {nothing} | {share} | {first} | {none} "
              f"| {mean} | {place} |")
    overall = 100.0 * total_reached / total_nothing if total_nothing else 0.0
    print(f"\nAll kinds: {total_reached} of {total_nothing} queries that found nothing now reach the wanted page "
          f"in one more click ({overall:.1f}%); before the suggestions: 0.")
    if examples:
        print("\nExamples (query -> first suggestions with their page counts):")
        print("\n".join(examples))
    return 0


if __name__ == "__main__":
    sys.exit(main())

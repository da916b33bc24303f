#!/usr/bin/env python3
"""Build time and peak memory of tamberlyn-index, beside a baseline tool, in one run.

    bench_index.py --tool NEW/bin/tamberlyn-index --baseline OLD/bin/tamberlyn-index
                   [--runs 3] [--pages 1000] [--work DIR] [--skip-cap]

1. build: a generated course at the table limit, 12400 different words
   (letters only, two or more, so both tools count the same words) over
   --pages content pages of about 800 words each, with the markup of real
   pages (paragraphs, lists, inline elements, references, a navigation bar).
   Each tool builds it --runs times, in turn; the table gives the median
   wall time and the median peak resident memory of the build process.
2. the table reader at its cap: "words.vxp" files one byte under and one
   byte over 256 MiB, read by `tamberlyn-index words DIR zz` (the Index
   window's loading: the reader, then the word list). Peak resident memory
   of each tool, and the time.

Peak memory is the child's own ru_maxrss (os.wait4), in MiB. Timings on a
shared machine are noisy: compare the two columns of one run, not runs.
"""

from __future__ import annotations

import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

WORDS = 12400
CAP = 256 * 1024 * 1024


def measure(command: list[str]) -> tuple[float, float, int]:
    """Wall seconds, peak RSS in MiB, exit code."""
    start = time.monotonic()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    process.returncode = os.waitstatus_to_exitcode(status)
    return time.monotonic() - start, usage.ru_maxrss / 1024.0, process.returncode


def vocabulary(rng: random.Random) -> list[str]:
    letters = "abcdefghijklmnopqrstuvwxyz"
    words: set[str] = set()
    while len(words) < WORDS:
        words.add("".join(rng.choice(letters) for _ in range(rng.randint(3, 9))))
    return sorted(words)


def generate_course(root: Path, pages: int, rng: random.Random) -> None:
    folder = root / "kq_cbt" / "kq"
    folder.mkdir(parents=True)
    vocab = vocabulary(rng)
    # Every word somewhere, the rest drawn with a skew, as real text is.
    order = vocab[:]
    rng.shuffle(order)
    weights = [1.0 / (rank + 10) for rank in range(len(vocab))]
    per_page = 800
    for n in range(pages):
        module, page = divmod(n, 900)
        name = f"kq{module + 1:02d}{page + 3:04d}.vxp"
        words = order[n::pages] + rng.choices(vocab, weights, k=per_page)
        rng.shuffle(words)
        paragraphs = []
        for start in range(0, len(words), 60):
            chunk = words[start:start + 60]
            chunk[3] = f"<b>{chunk[3]}</b>"
            chunk[7] = f'<a href="kq010003.vxp">{chunk[7]}</a>'
            chunk[11] = f"{chunk[11]}&nbsp;&amp;"
            paragraphs.append("<p>" + " ".join(chunk) + ".</p>")
        body = "\n".join(paragraphs)
        (folder / name).write_text(
            '<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8">'
            f"<title>Page {n + 1} &ndash; {words[0]}</title><style>p {{ margin: 0 }}</style></head>\n"
            '<body><nav><a href="kqa.vxp">Section</a><a href="x">Prev</a><a href="y">Next</a></nav>\n'
            f'<main><h1>{words[1]} {words[2]}</h1>\n{body}\n<ul><li>{words[4]}</li><li>{words[5]}</li></ul></main>\n'
            "</body></html>\n", encoding="utf-8")


def write_words_file(path: Path, size: int) -> None:
    """A "words.vxp" of exactly `size` bytes: 12400 lines, long file lists."""
    line_size = size // WORDS
    with path.open("wb") as out:
        written = 0
        for n in range(WORDS):
            head = f"w{n:05d}\t".encode()
            want = (size - written) if n == WORDS - 1 else line_size
            body_len = want - len(head) - 2
            fill = (b"1\t" * (body_len // 2 + 1))[:body_len]
            out.write(head + fill + b"\r\n")
            written += len(head) + len(fill) + 2
    assert path.stat().st_size == size, path


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--baseline", required=True)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--pages", type=int, default=1000)
    parser.add_argument("--work", type=Path)
    parser.add_argument("--skip-cap", action="store_true", help="leave out the 256 MiB reader files")
    args = parser.parse_args()

    tools = {"baseline": args.baseline, "this build": args.tool}
    work = args.work or Path(tempfile.mkdtemp(prefix="bench-index-"))
    work.mkdir(parents=True, exist_ok=True)
    try:
        course = work / "course"
        if course.exists():
            shutil.rmtree(course)
        generate_course(course, args.pages, random.Random(12400))
        results: dict[str, list[tuple[float, float]]] = {name: [] for name in tools}
        counts: dict[str, str] = {}
        for _ in range(args.runs):
            for name, tool in tools.items():
                out = work / f"index-{name.replace(' ', '-')}"
                seconds, peak, code = measure([tool, "build", str(course), str(out)])
                if code != 0:
                    print(f"{name}: build failed ({code})", file=sys.stderr)
                    return 1
                results[name].append((seconds, peak))
                counts[name] = (out / "words.vxp").read_bytes().count(b"\r\n")
        print(f"build: {args.pages} generated pages, {WORDS} different words, {args.runs} runs each, medians\n")
        print("| Tool | Words written | Build time (s) | Peak memory (MiB) |")
        print("|---|---:|---:|---:|")
        for name in tools:
            times = [s for s, _ in results[name]]
            peaks = [p for _, p in results[name]]
            print(f"| {name} | {counts[name]} | {statistics.median(times):.2f} | {statistics.median(peaks):.1f} |")

        if not args.skip_cap:
            print("\ntable reader at its cap: `words DIR zz`, peak memory of the whole process\n")
            print("| words.vxp | Tool | Time (s) | Peak memory (MiB) |")
            print("|---|---|---:|---:|")
            for label, size in (("256 MiB - 1 byte (under the cap)", CAP - 1), ("256 MiB + 1 byte (over the cap)", CAP + 1)):
                folder = work / "cap"
                if folder.exists():
                    shutil.rmtree(folder)
                folder.mkdir()
                write_words_file(folder / "words.vxp", size)
                for name, tool in tools.items():
                    seconds, peak, _ = measure([tool, "words", str(folder), "zz"])
                    print(f"| {label} | {name} | {seconds:.2f} | {peak:.1f} |")
                shutil.rmtree(folder)
    finally:
        if not args.work:
            shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())

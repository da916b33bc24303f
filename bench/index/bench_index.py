#!/usr/bin/env python3
"""Build time and peak memory of tamberlyn-index, beside a baseline tool, in one run.

    bench_index.py --tool NEW/bin/tamberlyn-index --baseline OLD/bin/tamberlyn-index
                   [--runs 3] [--pages 1000] [--work DIR] [--skip-build] [--skip-cap] [--skip-check]
                   [--check-limit-gib 4]

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
3. the check at the cap: `tamberlyn-index check DIR` on a "files.vxp" of
   255 MiB of CR LF alone (a blank line, so a problem, on every line), on a
   "words.vxp" of 255 MiB of one broken line repeated (two problems a line),
   and on a valid pair of 12400 lines each. Each tool runs under an
   address-space limit (--check-limit-gib), so one that would need more
   memory than the machine has stops there instead of taking it; the table
   says so, with the peak it had reached.
4. hostile pages: a build of a course whose one page holds a compound of
   thousands of parts ("a-a-a-...", 32 KiB and 128 KiB of it), which the
   tool before stored whole and from each part on, and a page of 8 MiB of
   it (the largest page read). Under the same address-space limit.
5. the History list at the cap: `tamberlyn-index history DIR FILE` (the
   History window's LoadHist) with a "files.vxp" just under 256 MiB whose
   12400 page files are 20 KiB long each, and one whose page files hold 16
   MiB in all; the matcher over them is what the History window builds at
   its first showing. Under the same address-space limit.

Peak memory is the child's own ru_maxrss (os.wait4), in MiB. Timings on a
shared machine are noisy: compare the two columns of one run, not runs.
"""

from __future__ import annotations

import argparse
import os
import resource
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


def measure_limited(command: list[str], limit: int, stderr: Path) -> tuple[float, float, int]:
    """measure() under an address-space limit of `limit` bytes, standard error kept."""
    def limit_memory() -> None:
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))

    start = time.monotonic()
    with stderr.open("wb") as err:
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=err, preexec_fn=limit_memory)
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


def write_check_folders(work: Path) -> list[tuple[str, Path]]:
    """The three folders `check` is measured on, each with what it holds."""
    size = 255 * 1024 * 1024
    for name in ("check-crlf", "check-broken", "check-valid"):
        shutil.rmtree(work / name, ignore_errors=True)
    line_breaks = work / "check-crlf"
    line_breaks.mkdir()
    (line_breaks / "files.vxp").write_bytes(b"\r\n" * (size // 2))
    broken = work / "check-broken"
    broken.mkdir()
    # A TAB, a file number 0 and a letter: out of range and not decimal.
    line = b"w\t0\tx\t\r\n"
    with (broken / "words.vxp").open("wb") as out:
        block = line * 100_000
        for _ in range(size // len(block)):
            out.write(block)
        out.write(line * ((size % len(block)) // len(line)))
    valid = work / "check-valid"
    valid.mkdir()
    (valid / "files.vxp").write_bytes(b"".join(
        b"%d\tkq%02d%04d.vxp\tPage %d\r\n" % (n, n // 900 + 1, n % 900 + 3, n) for n in range(1, WORDS + 1)))
    (valid / "words.vxp").write_bytes(b"".join(
        b"w%05d\t%d\t%d\t\r\n" % (n, n + 1, (n * 7) % WORDS + 1) for n in range(WORDS)))
    return [("255 MiB files.vxp, CR LF only", line_breaks),
            ("255 MiB words.vxp, one broken line repeated", broken),
            ("valid pair, 12400 lines each", valid)]


def check_outcome(code: int, stderr: Path) -> str:
    if code < 0:
        tail = stderr.read_bytes()[-2000:].decode(errors="replace")
        reason = "out of memory" if "bad_alloc" in tail else f"signal {-code}"
        return f"stopped: {reason}, no report"
    lines = stderr.read_text(errors="replace").splitlines()
    return f"exit {code}" + (f", {lines[-1].removeprefix('tamberlyn-index: ')}" if lines else ", no problems")


def bench_build(tools: dict[str, str], work: Path, pages: int, runs: int) -> int:
    """Part 1: each tool builds a generated course at the table limit."""
    course = work / "course"
    if course.exists():
        shutil.rmtree(course)
    generate_course(course, pages, random.Random(12400))
    results: dict[str, list[tuple[float, float]]] = {name: [] for name in tools}
    counts: dict[str, str] = {}
    for _ in range(runs):
        for name, tool in tools.items():
            out = work / f"index-{name.replace(' ', '-')}"
            seconds, peak, code = measure([tool, "build", str(course), str(out)])
            if code != 0:
                print(f"{name}: build failed ({code})", file=sys.stderr)
                return 1
            results[name].append((seconds, peak))
            counts[name] = (out / "words.vxp").read_bytes().count(b"\r\n")
    print(f"build: {pages} generated pages, {WORDS} different words, {runs} runs each, medians\n")
    print("| Tool | Words written | Build time (s) | Peak memory (MiB) |")
    print("|---|---:|---:|---:|")
    for name in tools:
        times = [s for s, _ in results[name]]
        peaks = [p for _, p in results[name]]
        print(f"| {name} | {counts[name]} | {statistics.median(times):.2f} | {statistics.median(peaks):.1f} |")
    return 0


def bench_hostile_pages(tools: dict[str, str], work: Path, limit: int) -> None:
    """Step 4: pages whose compounds cost the square of their length before."""
    print(f"\nhostile pages: `build` of a course with one such page, each run limited to {limit / 1024 ** 3:g} GiB "
          "of address space\n")
    print("| Page | Tool | Time (s) | Peak memory (MiB) | Outcome |")
    print("|---|---|---:|---:|---|")
    for label, length in (("32 KiB of a-a-a-...", 32 * 1024), ("128 KiB of a-a-a-...", 128 * 1024),
                          ("8 MiB of a-a-a-... (the page cap)", 8 * 1024 * 1024 - 64)):
        course = work / "hostile" / "kq_cbt" / "kq"
        shutil.rmtree(work / "hostile", ignore_errors=True)
        course.mkdir(parents=True)
        run = ("a-" * (length // 2))[:length].rstrip("-")
        (course / "kq010003.vxp").write_text(f"<title>Filler</title><p>{run} inverter</p>")
        for name, tool in tools.items():
            stderr = work / "hostile-stderr"
            seconds, peak, code = measure_limited([tool, "build", str(work / "hostile"), str(work / "hostile-out")],
                                                  limit, stderr)
            print(f"| {label} | {name} | {seconds:.2f} | {peak:.1f} | {check_outcome(code, stderr)} |")
    shutil.rmtree(work / "hostile", ignore_errors=True)
    shutil.rmtree(work / "hostile-out", ignore_errors=True)


def bench_history_at_cap(tools: dict[str, str], work: Path, limit: int) -> None:
    """Step 5: the History window's matcher over long page files."""
    print(f"\nHistory list: `history DIR FILE` over long page files, each run limited to {limit / 1024 ** 3:g} GiB "
          "of address space\n")
    print("| files.vxp | Tool | Time (s) | Peak memory (MiB) | Outcome |")
    print("|---|---|---:|---:|---|")
    folder = work / "history-cap"
    history = work / "history.vxp"
    history.write_bytes(b'"kq010003.vxp"\r\n"kqb.vxp"\r\n' * 20)
    for label, name_length in (("16 MiB of page files (12400 x 1350)", 1350),
                               ("255 MiB of page files (12400 x 21500)", 21500)):
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir()
        with open(folder / "files.vxp", "wb") as files:
            for n in range(1, WORDS + 1):
                stem = f"{n:05d}".encode()
                files.write(str(n).encode() + b"\t" + (stem * (name_length // 5 + 1))[:name_length] + b".vxp\tT\r\n")
        for name, tool in tools.items():
            stderr = work / "history-stderr"
            seconds, peak, code = measure_limited([tool, "history", str(folder), str(history)], limit, stderr)
            said = stderr.read_text(errors="replace").strip().splitlines()
            outcome = check_outcome(code, stderr) if code != 0 else "exit 0" + (f", {said[-1]}" if said else "")
            print(f"| {label} | {name} | {seconds:.2f} | {peak:.1f} | {outcome} |")
    shutil.rmtree(folder, ignore_errors=True)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--baseline", required=True)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--pages", type=int, default=1000)
    parser.add_argument("--work", type=Path)
    parser.add_argument("--skip-build", action="store_true", help="leave out the build of a generated course")
    parser.add_argument("--skip-cap", action="store_true", help="leave out the 256 MiB reader files")
    parser.add_argument("--skip-check", action="store_true", help="leave out the check at the cap")
    parser.add_argument("--skip-hostile", action="store_true", help="leave out the hostile pages")
    parser.add_argument("--skip-history", action="store_true", help="leave out the History list at the cap")
    parser.add_argument("--check-limit-gib", type=float, default=4.0,
                        help="address-space limit of each check run, in GiB (default 4)")
    args = parser.parse_args()

    tools = {"baseline": args.baseline, "this build": args.tool}
    work = args.work or Path(tempfile.mkdtemp(prefix="bench-index-"))
    work.mkdir(parents=True, exist_ok=True)
    try:
        if not args.skip_build and bench_build(tools, work, args.pages, args.runs) != 0:
            return 1

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

        if not args.skip_check:
            limit = int(args.check_limit_gib * 1024 ** 3)
            print(f"\n`check DIR` at the cap, each run limited to {args.check_limit_gib:g} GiB of address space, "
                  "peak memory of the whole process\n")
            print("| Folder | Tool | Time (s) | Peak memory (MiB) | Outcome |")
            print("|---|---|---:|---:|---|")
            folders = write_check_folders(work)
            try:
                for label, folder in folders:
                    for name, tool in tools.items():
                        stderr = work / "check-stderr"
                        seconds, peak, code = measure_limited([tool, "check", str(folder)], limit, stderr)
                        print(f"| {label} | {name} | {seconds:.2f} | {peak:.1f} | {check_outcome(code, stderr)} |")
            finally:
                for _, folder in folders:
                    shutil.rmtree(folder, ignore_errors=True)

        limit = int(args.check_limit_gib * 1024 ** 3)
        if not args.skip_hostile:
            bench_hostile_pages(tools, work, limit)
        if not args.skip_history:
            bench_history_at_cap(tools, work, limit)
    finally:
        if not args.work:
            shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""The looks' contrast report: every page rendered in the real engine, in
each look, and every visible text run read against the ground it stands on.

    contrast_report.py [--build build/dev] [--sets demo,book,book-styled]
                       [--looks today,light,dark,contrast] [--limit N]
                       [--batch 25] [--out DIR] [--shots]

Page sets:
  demo         every page of the demo course (build/<preset>/course/demo/site)
  book         the Debian Reference (debian-reference-en), split into course
               pages as the index benchmark splits it (bench/index/split_book.py):
               a book no one here wrote, in a plain course frame
  book-styled  the same pages with the book's own style sheet and pictures
               (the admonition icons: pictures with transparent grounds)

Looks: "today" is the page with no look script at all, as the viewer showed
pages before it had looks; "light" must read the same on every page.

Each set is served by tamberlyn-course-server over HTTPS and measured by
lookprobe (bench/looks/lookprobe.cpp), which loads every page with the
viewer's own browser pane and page look, under a private Xvfb when there is
no display. The JSON lines it prints are kept in OUT/<set>.jsonl, and the
report (a Markdown table per set, and the worst runs) is printed and kept in
OUT/report.md. Exit status 1 when a look breaks its promise anywhere: a run
below 4.5:1 in dark or 7:1 in high contrast on a page the look darkened or
forced, a picture drawn inverted, or a page whose light reading is worse
than today's.
"""

from __future__ import annotations

import argparse
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BOOK = Path("/usr/share/debian-reference")
PROMISE = {"dark": 4.5, "contrast": 7.0}


def demo_pages(site: Path) -> list[str]:
    pages = sorted(p.name for p in (site / "kq_cbt" / "kq").glob("*.vxp"))
    return pages


def split_book(work: Path) -> Path:
    course = work / "book"
    subprocess.run([sys.executable, str(ROOT / "bench" / "index" / "split_book.py"), str(BOOK), str(course)],
                   check=True, stdout=subprocess.DEVNULL)
    return course


def style_book(book: Path, work: Path) -> Path:
    """The split pages with the book's own style sheet and pictures."""
    styled = work / "book-styled"
    shutil.copytree(book, styled)
    pages = styled / "kq_cbt" / "kq"
    shutil.copy(BOOK / "debian-reference.css", pages / "debian-reference.css")
    shutil.copytree(BOOK / "images", pages / "images")
    link = '<link rel="stylesheet" type="text/css" href="debian-reference.css"/>\n</head>'
    for page in pages.glob("*.vxp"):
        text = page.read_text(encoding="utf-8")
        page.write_text(text.replace("</head>", link, 1), encoding="utf-8")
    return styled


class Server:
    def __init__(self, build: Path, root: Path, certs: Path):
        self.process = subprocess.Popen(
            [str(build / "bin" / "tamberlyn-course-server"), "--root", str(root), "--port", "0",
             "--cert-dir", str(certs)], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.pin = self.port = None
        for line in self.process.stdout:
            found = re.search(r"fingerprint: ([0-9A-F:]+)", line)
            if found:
                self.pin = found.group(1)
            found = re.search(r"listening on https://127\.0\.0\.1:(\d+)/", line)
            if found:
                self.port = int(found.group(1))
                break
        if not (self.pin and self.port):
            raise SystemExit("contrast_report.py: the course server did not start")
        # Its request log is not needed; keep the pipe from filling up.
        self.process.stdout.close()

    def stop(self):
        self.process.terminate()
        self.process.wait(10)


def probe(build: Path, server: Server, pages: list[str], looks: str, batch: int, out: Path, shots: Path | None):
    env = dict(os.environ)
    env.setdefault("QTWEBENGINE_DISABLE_SANDBOX", "1")
    env.setdefault("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu")
    env["QT_LOGGING_RULES"] = "*.debug=false;qt.*=false"
    command = [str(build / "bin" / "lookprobe"), "--base", f"https://127.0.0.1:{server.port}/kq_cbt/kq/",
               "--pin", server.pin, "--looks", looks]
    if shots:
        shots.mkdir(parents=True, exist_ok=True)
        command += ["--shots", str(shots)]
    if not env.get("DISPLAY"):
        command = ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24 -nolisten tcp"] + command
    with out.open("w") as lines:
        for start in range(0, len(pages), batch):
            part = pages[start:start + batch]
            done = subprocess.run(command + part, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                  text=True, timeout=3600)
            lines.write(done.stdout)
            if done.returncode != 0:
                # A probe that died leaves the rest of its pages out; they
                # count as pages that did not load, never as pages that passed.
                seen = set()
                for line in done.stdout.splitlines():
                    try:
                        seen.add(json.loads(line)["page"])
                    except (ValueError, KeyError, TypeError):
                        pass
                for page in part:
                    if page not in seen:
                        lines.write(json.dumps({"page": page, "look": "probe",
                                                "error": f"the probe exited with {done.returncode}"}) + "\n")
            lines.flush()
            print(f"  {min(start + batch, len(pages))}/{len(pages)} pages", file=sys.stderr)


def summarise(name: str, rows: list[dict]) -> tuple[list[str], bool]:
    report = [f"### {name}", ""]
    ok = True
    by_look: dict[str, list[dict]] = {}
    for row in rows:
        by_look.setdefault(row["look"], []).append(row)
    errors = [r for r in rows if "error" in r]
    report.append("| look | pages | text runs | lowest ratio | runs < 4.5:1 | runs < 7:1 | pages by mode "
                  "| pictures | inverted | altered | look applied in the page, ms (median / max) |")
    report.append("|---|---|---|---|---|---|---|---|---|---|---|")
    for look, found in by_look.items():
        good = [r for r in found if "error" not in r]
        if not good:
            continue
        modes: dict[str, int] = {}
        for r in good:
            modes[r["mode"]] = modes.get(r["mode"], 0) + 1
        lowest = min((r["min"] for r in good if r["runs"]), default=0)
        applied = [r["applyMs"] for r in good]
        report.append(
            f"| {look} | {len(good)} | {sum(r['runs'] for r in good)} | {lowest:.2f} "
            f"| {sum(r['below4_5'] for r in good)} | {sum(r['below7'] for r in good)} "
            f"| {', '.join(f'{m} {n}' for m, n in sorted(modes.items()))} | {sum(r['pictures'] for r in good)} "
            f"| {sum(r['inverted'] for r in good)} | {sum(r['altered'] for r in good)} "
            f"| {statistics.median(applied):.1f} / {max(applied):.1f} |")
        if sum(r["inverted"] for r in good):
            ok = False
        if look in PROMISE:
            promise = PROMISE[look]
            broken = [r for r in good if r["mode"] != "as-made" and r["runs"] and r["min"] < promise]
            if broken:
                ok = False
    report.append("")
    switches = sorted(r["switchMs"] for r in rows if "switchMs" in r)
    if switches:
        p95 = switches[min(len(switches) - 1, int(len(switches) * 0.95))]
        report.append(f"Light to dark on the page shown, request to answer: median {statistics.median(switches):.0f} ms, "
                      f"95th percentile {p95:.0f} ms, max {max(switches):.0f} ms over {len(switches)} pages "
                      f"({sum(s > 1000 for s in switches)} over a second).")
        trips = sorted(r["roundTripMs"] for r in rows if "roundTripMs" in r)
        if trips:
            report.append(f"A script that does nothing, on the same pages: median {statistics.median(trips):.0f} ms, "
                          f"max {max(trips):.0f} ms (the engine's own round trip on this machine at the time).")
    today = {r["page"]: r for r in by_look.get("today", []) if "error" not in r}
    light = {r["page"]: r for r in by_look.get("light", []) if "error" not in r}
    if today and light:
        worse = [p for p in light if p in today and light[p]["runs"] and light[p]["min"] < today[p]["min"] - 0.005]
        differ = [p for p in light if p in today and (light[p]["runs"], light[p]["min"], light[p]["below4_5"])
                  != (today[p]["runs"], today[p]["min"], today[p]["below4_5"])]
        report.append(f"Light against today: {len(worse)} pages read worse, {len(differ)} read differently "
                      f"(of {len(light)}).")
        ok = ok and not worse
    if errors:
        report.append(f"Pages that did not load: {len(errors)} ({', '.join(sorted({e['page'] for e in errors})[:5])}).")
        ok = False
    for look in PROMISE:
        worst = sorted((w | {"page": r["page"], "mode": r["mode"]} for r in by_look.get(look, []) if "error" not in r
                        for w in r.get("worst", [])), key=lambda w: w["ratio"])[:3]
        if worst:
            report.append(f"Lowest runs in {look}: " + "; ".join(
                f"{w['ratio']:.2f} \"{w['text']}\" {w['fg']} on {w['bg']} ({w['page']}, {w['mode']})" for w in worst))
    report.append("")
    return report, ok


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", type=Path, default=ROOT / "build" / "dev")
    parser.add_argument("--sets", default="demo,book,book-styled")
    parser.add_argument("--looks", default="today,light,dark,contrast")
    parser.add_argument("--limit", type=int, default=0, help="at most this many pages of each set (0: all)")
    parser.add_argument("--batch", type=int, default=25, help="pages per probe process")
    parser.add_argument("--out", type=Path, default=None)
    parser.add_argument("--shots", action="store_true", help="keep a picture of each page's first window")
    args = parser.parse_args()

    build = args.build.resolve()
    for program in ("lookprobe", "tamberlyn-course-server"):
        if not (build / "bin" / program).exists():
            print(f"contrast_report.py: no {program} in {build}/bin; build the target first", file=sys.stderr)
            return 2
    out = (args.out or build / "looks").resolve()
    out.mkdir(parents=True, exist_ok=True)
    work = Path(tempfile.mkdtemp(prefix="tamberlyn-looks-"))
    report = ["# Contrast report", "",
              f"Looks {args.looks}; WCAG contrast of each visible text run's colour against the ground read from "
              "the screen; pictures compared with the light look's rendering.", ""]
    ok = True
    try:
        roots = {}
        sets = args.sets.split(",")
        if "demo" in sets:
            roots["demo"] = build / "course" / "demo" / "site"
        if "book" in sets or "book-styled" in sets:
            if not BOOK.exists():
                print("contrast_report.py: debian-reference-en is not installed", file=sys.stderr)
                return 2
            book = split_book(work)
            if "book" in sets:
                roots["book"] = book
            if "book-styled" in sets:
                roots["book-styled"] = style_book(book, work)
        for name, root in roots.items():
            pages = demo_pages(root)
            if args.limit:
                pages = pages[:args.limit]
            print(f"{name}: {len(pages)} pages", file=sys.stderr)
            server = Server(build, root, work / "certs")
            try:
                probe(build, server, pages, args.looks, args.batch, out / f"{name}.jsonl",
                      out / "shots" / name if args.shots else None)
            finally:
                server.stop()
            rows = [json.loads(line) for line in (out / f"{name}.jsonl").read_text().splitlines() if line.strip()]
            part, good = summarise(name, rows)
            report += part
            ok = ok and good
    finally:
        shutil.rmtree(work, ignore_errors=True)
    text = "\n".join(report)
    (out / "report.md").write_text(text + "\n")
    print(text)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())

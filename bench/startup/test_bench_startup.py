#!/usr/bin/env python3
"""The start-up benchmark's own machinery: finding a program's whole process
tree, summing its memory and its main process's, reading the load and
on-screen lines, killing what it started and judging the table. No timing
is checked here; only that the harness measures what it says."""

import io
import os
import sys
import tempfile
import textwrap
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import bench_startup as bs  # noqa: E402


class ParseStat(unittest.TestCase):
    def test_fields_are_counted_after_the_last_parenthesis(self):
        cases = [
            ("42 (QtWebEngineProc) S 41 40 40 0 -1", (41, 40)),
            # A command name may hold spaces and parentheses of its own.
            ("42 (a) b (c) R 7 8 9 0 -1", (7, 9)),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                self.assertEqual(bs.parse_stat(text), expected)


class ProcessTree(unittest.TestCase):
    # pid: (ppid, session). 100 is the program, started in its own session.
    TABLE = {pid: bs.ProcInfo(pid, ppid, sid) for pid, (ppid, sid) in {
        1: (0, 1),
        50: (1, 50),      # the harness
        100: (50, 100),   # the program
        101: (100, 100),  # GPU process
        102: (100, 100),  # zygote
        103: (102, 100),  # renderer, a grandchild
        104: (1, 100),    # double-forked: parent gone, still in the session
        105: (103, 105),  # started a session of its own, but descends
        200: (50, 200),   # another program of the harness
        201: (1, 1),      # unrelated
    }.items()}

    def test_descendants_and_session_orphans_only(self):
        self.assertEqual(bs.process_tree(100, self.TABLE), [100, 101, 102, 103, 104, 105])

    def test_a_root_outside_its_own_session_takes_no_strangers(self):
        # The harness's session holds the harness itself and its other
        # children; they are not part of a program that was not its leader.
        table = dict(self.TABLE)
        table[300] = bs.ProcInfo(300, 50, 50)
        table[301] = bs.ProcInfo(301, 1, 50)
        self.assertEqual(bs.process_tree(300, table), [300])

    def test_a_gone_root_has_no_tree(self):
        self.assertEqual(bs.process_tree(999, self.TABLE), [])

    def test_the_real_table_holds_this_process(self):
        table = bs.process_table()
        self.assertEqual(table[os.getpid()].ppid, os.getppid())
        self.assertIn(os.getpid(), bs.process_tree(os.getppid(), table))


class TreeMemory(unittest.TestCase):
    def setUp(self):
        self.proc = tempfile.TemporaryDirectory()
        self.addCleanup(self.proc.cleanup)

    def fake(self, pid, rss=None, pss=None, state="S (sleeping)"):
        folder = Path(self.proc.name, str(pid))
        folder.mkdir()
        vmrss = "" if rss is None else (f"VmRSS:\t {rss} kB\nRssAnon:\t {rss // 2} kB\n"
                                        f"RssFile:\t {rss // 4} kB\nRssShmem:\t {rss // 4} kB\n")
        (folder / "status").write_text(f"Name:\tx\nState:\t{state}\nVmPeak:\t 999 kB\n{vmrss}VmSwap:\t 0 kB\n")
        if pss is not None:
            (folder / "smaps_rollup").write_text(
                f"00400000-7ffc [rollup]\nRss: {rss} kB\nPss: {pss} kB\nPss_Anon: 1 kB\n"
                f"Shared_Clean: 5 kB\nPrivate_Clean: {pss // 4} kB\nPrivate_Dirty: {pss // 2} kB\n")

    def test_sums_the_tree_and_keeps_the_main_process_apart(self):
        self.fake(10, rss=1000, pss=400)
        self.fake(11, rss=2000, pss=1500)
        self.fake(13, state="Z (zombie)")
        # 12 ended between listing and reading, 13 waits to be reaped: both
        # hold no memory, and neither is an error.
        total, main = bs.tree_memory([10, 11, 12, 13], 11, self.proc.name)
        self.assertEqual((total.rss_kib, total.pss_kib, total.uss_kib, total.processes),
                         (3000, 1900, 100 + 200 + 375 + 750, 2))
        self.assertEqual((main.rss_kib, main.anon_kib, main.file_kib, main.shmem_kib, main.pss_kib, main.uss_kib),
                         (2000, 1000, 500, 500, 1500, 375 + 750))
        # A main process gone meanwhile has nothing to show.
        self.assertEqual(bs.tree_memory([10, 11], 12, self.proc.name)[1].rss_kib, 0)

    def test_cpu_time_counts_reaped_children_and_skips_the_gone(self):
        for pid, ticks in ((10, "3 4 5 6"), (11, "100 0 0 0")):
            folder = Path(self.proc.name, str(pid))
            folder.mkdir()
            # Fields 14 to 17 after a command name with a ") " of its own.
            (folder / "stat").write_text(f"{pid} (a) b) S 1 1 1 0 -1 0 0 0 0 0 {ticks} 20 0 1 0 0\n")
        tick_ms = 1000 / os.sysconf("SC_CLK_TCK")
        self.assertAlmostEqual(bs.tree_cpu_ms([10, 11, 12], self.proc.name), 118 * tick_ms)

    def test_an_unreadable_pss_is_an_error_not_a_zero(self):
        self.fake(10, rss=1000, pss=None)
        with self.assertRaises(bs.BenchError):
            bs.tree_memory([10], 10, self.proc.name)


class LoadLines(unittest.TestCase):
    URL = "https://127.0.0.1:4433/kq_cbt/kq/kqd.vxp"

    def test_patterns(self):
        cases = [
            (bs.VIEWER_LINE, f"   412.057 tamberlyn.pane: document complete: {self.URL}", ("412.057", self.URL)),
            (bs.VIEWER_LINE, f"123456.789 tamberlyn.pane: document complete: {self.URL}", ("123456.789", self.URL)),
            (bs.VIEWER_LINE, f"   412.057 tamberlyn.navigation: page kqd.vxp", None),
            (bs.VIEWER_LINE, f"tamberlyn.pane: document complete: {self.URL}", None),  # no stamp
            (bs.VIEWER_ENGINE_LINE, f"   411.002 tamberlyn.pane: load finished: {self.URL}", ("411.002", self.URL)),
            (bs.VIEWER_ENGINE_LINE, f"   412.057 tamberlyn.pane: document complete: {self.URL}", None),
            (bs.MINIMAL_LINE, f"loaded 98765.432 {self.URL}", ("98765.432", self.URL)),
            (bs.MINIMAL_LINE, f"minimalview: load failed: {self.URL}", None),
            (bs.VIEWER_SHOWN_LINE, "   413.100 tamberlyn.main: window on screen 1280x1005", ("413.100", "1280x1005")),
            (bs.VIEWER_SHOWN_LINE, "   413.100 tamberlyn.main: window on screen", None),
            (bs.MINIMAL_SHOWN_LINE, "shown 98766.001 1280x1005", ("98766.001", "1280x1005")),
            (bs.MINIMAL_SHOWN_LINE, f"loaded 98765.432 {self.URL}", None),
        ]
        for pattern, line, expected in cases:
            with self.subTest(line=line):
                match = pattern.match(line)
                self.assertEqual(match.groups() if match else None, expected)


# A stand-in program: two children, one of which double-forks a grandchild
# away from it, then the load and on-screen lines with the stamps it is told
# to print, in the order it is told.
FAKE_PROGRAM = textwrap.dedent("""
    import os, sys, time
    children = []
    for _ in range(2):
        pid = os.fork()
        if pid == 0:
            time.sleep(600); os._exit(0)
        children.append(pid)
    if os.fork() == 0:
        if os.fork() == 0:
            time.sleep(600); os._exit(0)
        os._exit(0)
    time.sleep(0.05)
    lines = {{
        "loaded": lambda stamp: f"loaded {{stamp:.3f}} https://x/kqd.vxp",
        "shown": lambda stamp: f"shown {{stamp:.3f}} 800x600",
    }}
    print("noise before the lines")
    for name, clock in {moments}:
        time.sleep(0.05)
        print(lines[name](clock()), flush=True)
    {after}
""")


class Measure(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        bs.become_subreaper()

    def run_fake(self, moments='[("loaded", time.monotonic), ("shown", time.monotonic)]',
                 after="time.sleep(600)", url="https://x/kqd.vxp", timeout_s=20, settle_s=0.2):
        command = [sys.executable, "-c", FAKE_PROGRAM.format(moments=moments, after=after)]
        return bs.measure("fake", command, dict(os.environ), bs.MINIMAL_LINES, url, settle_s=settle_s,
                          timeout_s=timeout_s)

    def test_measures_the_whole_tree_and_leaves_nothing_behind(self):
        run = self.run_fake()
        self.assertGreater(run.startup_ms, 0)
        self.assertLess(run.startup_ms, 20000)
        # The program, its two children and the double-forked grandchild
        # (the child between them may still be listed, as a zombie).
        self.assertEqual(run.memory.processes, 4)
        self.assertGreater(run.memory.uss_kib, 0)
        self.assertGreaterEqual(run.memory.pss_kib, run.memory.uss_kib)
        self.assertGreaterEqual(run.memory.rss_kib, run.memory.pss_kib)
        # The main process is one of the four, and the smallest part of them.
        self.assertGreater(run.main.rss_kib, 0)
        self.assertLess(run.main.rss_kib, run.memory.rss_kib)
        self.assertEqual(run.window, "800x600")
        # Without a separate load-finished line the two moments are one.
        self.assertEqual(run.engine_ms, run.loaded_ms)
        self.assertIn("noise before the lines", run.log)
        self.assertEqual([pid for pid in run.pids if bs.alive(pid)], [])

    def test_the_first_page_is_on_screen_at_the_later_of_load_and_exposure(self):
        cases = [
            ("shown after the load", '[("loaded", time.monotonic), ("shown", time.monotonic)]', "shown_ms"),
            ("shown before the load", '[("shown", time.monotonic), ("loaded", time.monotonic)]', "loaded_ms"),
        ]
        for name, moments, last in cases:
            with self.subTest(name):
                run = self.run_fake(moments=moments)
                self.assertLess(min(run.loaded_ms, run.shown_ms), max(run.loaded_ms, run.shown_ms))
                self.assertEqual(run.startup_ms, getattr(run, last))

    def test_failures(self):
        cases = [
            ("ended before the load", dict(moments="[]", after="sys.exit(3)"), "ended (status 3) before loading"),
            ("ended before the window", dict(moments='[("loaded", time.monotonic)]', after="sys.exit(3)"),
             "ended (status 3) before showing its window"),
            ("window never shown", dict(moments='[("loaded", time.monotonic)]', timeout_s=1),
             "no window on the screen within 1 s"),
            ("load stamp on another clock", dict(moments='[("loaded", time.time), ("shown", time.monotonic)]'),
             "not CLOCK_MONOTONIC"),
            ("window stamp on another clock", dict(moments='[("shown", time.time), ("loaded", time.monotonic)]'),
             "not CLOCK_MONOTONIC"),
            ("another page loaded", dict(url="https://x/kqa.vxp", after="sys.exit(0)"), "before loading"),
            # Long enough for its end to come within the settle on a busy machine.
            ("died while settling", dict(after="sys.exit(4)", settle_s=3), "while settling"),
        ]
        for name, kwargs, message in cases:
            with self.subTest(name):
                with self.assertRaises(bs.BenchError) as caught:
                    self.run_fake(**kwargs)
                self.assertIn(message, str(caught.exception))


class Report(unittest.TestCase):
    def runs(self, program, times, memory_mib, pss_mib=(100, 100, 100), window="1280x1005"):
        # RSS three times the USS, as a tree sharing its libraries has it;
        # the main process holds half the tree.
        def run(t, m, p):
            tree = bs.Memory(rss_kib=int(m * 3072), pss_kib=int(p * 1024), uss_kib=int(m * 1024), processes=4)
            main = bs.Memory(rss_kib=tree.rss_kib // 2, processes=1)
            return bs.Run(program, t, t * 0.8, t, t * 0.7, tree, main=main, window=window, cpu_ms=900)
        return [run(t, m, p) for t, m, p in zip(times, memory_mib, pss_mib)]

    def test_the_viewer_is_judged_against_the_show_first_program(self):
        same = [100, 100, 100]
        cases = [
            # name, viewer times, show-first times, viewer memory, show-first memory, viewer PSS, goal met
            ("1.10 exactly", [1100, 1000, 5000], [1000, 900, 1100], same, same, same, True),
            ("start-up 1.12", [1120, 1000, 1200], [1000, 900, 1100], same, same, same, False),
            ("memory 1.12", [1000] * 3, [1000] * 3, [112, 112, 50], same, same, False),
            ("PSS alone is not judged", [1000] * 3, [1000] * 3, same, same, [150, 150, 150], True),
            ("a yardstick of zero", [1000] * 3, [1000] * 3, same, [0, 0, 0], same, False),
        ]
        for name, viewer_t, first_t, viewer_memory, first_memory, viewer_pss, met in cases:
            with self.subTest(name):
                out = io.StringIO()
                # The show-after program is far off both ways; it is shown,
                # never judged.
                runs = (self.runs(bs.VIEWER, viewer_t, viewer_memory, viewer_pss)
                        + self.runs(bs.SHOW_FIRST, first_t, first_memory)
                        + self.runs(bs.SHOW_AFTER, [300] * 3, [500] * 3))
                self.assertEqual(bs.report(runs, out), met)
                self.assertEqual("MISSED" not in out.getvalue(), met)

    def test_windows_of_different_sizes_compare_nothing(self):
        maximised = self.runs(bs.VIEWER, [1000] * 2, [100] * 2) + self.runs(bs.SHOW_AFTER, [1000] * 2, [100] * 2)
        self.assertEqual(bs.same_window(maximised), "1280x1005")
        with self.assertRaises(bs.BenchError) as caught:
            bs.same_window(maximised + self.runs(bs.SHOW_FIRST, [1000], [100], window="1280x800"))
        self.assertIn("1280x800: show-first", str(caught.exception))


if __name__ == "__main__":
    unittest.main()

#!/usr/bin/env python3
"""The start-up benchmark's own machinery: finding a program's whole process
tree, summing its memory, reading the load lines and killing what it started.
No timing is checked here; only that the harness measures what it says."""

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
        vmrss = "" if rss is None else f"VmRSS:\t {rss} kB\n"
        (folder / "status").write_text(f"Name:\tx\nState:\t{state}\nVmPeak:\t 999 kB\n{vmrss}VmSwap:\t 0 kB\n")
        if pss is not None:
            (folder / "smaps_rollup").write_text(
                f"00400000-7ffc [rollup]\nRss: {rss} kB\nPss: {pss} kB\nPss_Anon: 1 kB\n"
                f"Shared_Clean: 5 kB\nPrivate_Clean: {pss // 4} kB\nPrivate_Dirty: {pss // 2} kB\n")

    def test_sums_rss_and_pss_over_the_tree(self):
        self.fake(10, rss=1000, pss=400)
        self.fake(11, rss=2000, pss=1500)
        self.fake(13, state="Z (zombie)")
        # 12 ended between listing and reading, 13 waits to be reaped: both
        # hold no memory, and neither is an error.
        memory = bs.tree_memory([10, 11, 12, 13], self.proc.name)
        self.assertEqual((memory.rss_kib, memory.pss_kib, memory.uss_kib, memory.processes),
                         (3000, 1900, 100 + 200 + 375 + 750, 2))

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
            bs.tree_memory([10], self.proc.name)


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
        ]
        for pattern, line, expected in cases:
            with self.subTest(line=line):
                match = pattern.match(line)
                self.assertEqual(match.groups() if match else None, expected)


# A stand-in program: two children, one of which double-forks a grandchild
# away from it, then the load line with the stamp it is told to print.
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
    stamp = {stamp}
    if stamp is not None:
        print("noise before the line")
        print(f"loaded {{stamp:.3f}} https://x/kqd.vxp", flush=True)
    {after}
""")


class Measure(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        bs.become_subreaper()

    def run_fake(self, stamp="time.monotonic()", after="time.sleep(600)", url="https://x/kqd.vxp"):
        command = [sys.executable, "-c", FAKE_PROGRAM.format(stamp=stamp, after=after)]
        return bs.measure("fake", command, dict(os.environ), bs.MINIMAL_LINE, url, settle_s=0.2, timeout_s=20)

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
        # Without a separate load-finished line the two moments are one.
        self.assertEqual(run.engine_ms, run.startup_ms)
        self.assertIn("noise before the line", run.log)
        self.assertEqual([pid for pid in run.pids if bs.alive(pid)], [])

    def test_failures(self):
        cases = [
            ("ended before the line", dict(stamp="None", after="sys.exit(3)"), "ended (status 3) before loading"),
            ("stamp on another clock", dict(stamp="time.time()"), "not CLOCK_MONOTONIC"),
            ("another page loaded", dict(url="https://x/kqa.vxp", after="sys.exit(0)"), "before loading"),
            ("died while settling", dict(after="sys.exit(4)"), "while settling"),
        ]
        for name, kwargs, message in cases:
            with self.subTest(name):
                with self.assertRaises(bs.BenchError) as caught:
                    self.run_fake(**kwargs)
                self.assertIn(message, str(caught.exception))


class Report(unittest.TestCase):
    def runs(self, program, times, memory_mib, pss_mib=(100, 100, 100), cpu_ms=(900, 900, 900)):
        # RSS three times the USS, as a tree sharing its libraries has it.
        return [bs.Run(program, t, t * 0.9, bs.Memory(rss_kib=int(m * 3072), pss_kib=int(p * 1024),
                                                      uss_kib=int(m * 1024), processes=4), cpu_ms=cpu)
                for t, m, p, cpu in zip(times, memory_mib, pss_mib, cpu_ms)]

    def test_ratio_of_medians_against_the_goal(self):
        same = [100, 100, 100]
        cases = [
            # name, viewer times, minimal times, viewer memory, minimal memory, viewer PSS, goal met
            ("1.10 exactly", [1100, 1000, 5000], [1000, 900, 1100], same, same, same, True),
            ("start-up 1.12", [1120, 1000, 1200], [1000, 900, 1100], same, same, same, False),
            ("memory 1.12", [1000] * 3, [1000] * 3, [112, 112, 50], same, same, False),
            ("PSS alone is not judged", [1000] * 3, [1000] * 3, same, same, [150, 150, 150], True),
            ("a yardstick of zero", [1000] * 3, [1000] * 3, same, [0, 0, 0], same, False),
        ]
        for name, viewer_t, minimal_t, viewer_memory, minimal_memory, viewer_pss, met in cases:
            with self.subTest(name):
                out = io.StringIO()
                runs = (self.runs("tamberlyn", viewer_t, viewer_memory, viewer_pss)
                        + self.runs("minimalview", minimal_t, minimal_memory))
                self.assertEqual(bs.report(runs, out), met)
                self.assertEqual("MISSED" not in out.getvalue(), met)


if __name__ == "__main__":
    unittest.main()

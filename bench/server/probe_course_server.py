#!/usr/bin/python3
"""Hostile-client probes against tamberlyn-course-server, side by side with
the one before (--baseline) and with nginx running the documented
configuration (docs/nginx), all under the same probe in one run.

    probe_course_server.py --server BUILD/bin/tamberlyn-course-server
                           [--baseline OLD/bin/tamberlyn-course-server] [--no-nginx]
                           [--probes idle,slowhead,pipeline,closenotify] [--learners 20]

Probes (each on a fresh server):

idle N       N plain TCP connections that never send a byte; from 3 s on, a
             learner asks for a page every second (each with 15 s to be
             answered). Reported: learners served, and how long they waited.
slowhead N   the same with N connections that finish TLS and then send a
             request head one byte a second.
pipeline     one client pipelines 1,000,000 HEAD requests and reads nothing;
             the server's resident memory every 2 s for 30 s, and when (if)
             it drops the client.
closenotify  a client ends its TLS session (close_notify) and keeps TCP open:
             how long until the server closes the connection.

nginx runs in one process (master_process off) with Debian's default of 768
connections per worker, and again with 256, the course server's own cap.
Nothing here is a test: these are figures, printed as a table.
"""

from __future__ import annotations

import argparse
import os
import shutil
import socket
import ssl
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

HERE = Path(__file__).resolve().parent
DOCUMENTED = HERE.parent.parent / "docs" / "nginx" / "tamberlyn-course.conf"
PAGE = b"<!DOCTYPE html><title>Probe</title><p>a course page</p>\n"


def free_port() -> int:
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def resident_mib(pid: int) -> float:
    try:
        for line in Path(f"/proc/{pid}/status").read_text().splitlines():
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    except OSError:
        pass
    return float("nan")


class Target:
    """One server under probe: started fresh for each probe."""

    def __init__(self, name: str, work: Path):
        self.name = name
        self.work = work
        self.process: subprocess.Popen | None = None
        self.port = 0

    def stop(self) -> None:
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def wait_listening(self) -> None:
        deadline = time.time() + 15
        while time.time() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError(f"{self.name} ended at start")
            try:
                socket.create_connection(("127.0.0.1", self.port), 0.2).close()
                return
            except OSError:
                time.sleep(0.05)
        raise RuntimeError(f"{self.name} did not listen")


class CourseServer(Target):
    def __init__(self, name: str, work: Path, binary: str, extra: list[str]):
        super().__init__(name, work)
        self.binary = binary
        self.extra = extra

    def start(self, root: Path) -> None:
        self.port = free_port()
        self.process = subprocess.Popen(
            [self.binary, "--root", str(root), "--port", str(self.port), "--cert-dir", str(self.work / "certs")]
            + self.extra, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wait_listening()


class Nginx(Target):
    def __init__(self, name: str, work: Path, connections: int):
        super().__init__(name, work)
        self.connections = connections

    def start(self, root: Path) -> None:
        dir_ = self.work / f"nginx-{self.connections}"
        shutil.rmtree(dir_, ignore_errors=True)
        dir_.mkdir(parents=True)
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                        "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                        "-keyout", str(dir_ / "key.pem"), "-out", str(dir_ / "cert.pem")],
                       check=True, capture_output=True)
        self.port = free_port()
        site = DOCUMENTED.read_text()
        for old, new in [("listen 443 ssl http2;", f"listen 127.0.0.1:{self.port} ssl http2;"),
                         ("listen [::]:443 ssl http2;", ""),
                         ("/etc/ssl/tamberlyn/course.crt", f'"{dir_}/cert.pem"'),
                         ("/etc/ssl/tamberlyn/course.key", f'"{dir_}/key.pem"'),
                         ("/var/log/nginx/tamberlyn-course.access.log", f'"{dir_}/access.log"'),
                         ("root /srv/tamberlyn/course;", f'root "{root}";')]:
            assert site.count(old) == 1, old
            site = site.replace(old, new)
        (dir_ / "site.conf").write_text(site)
        # Relative includes are read beside nginx.conf.
        shutil.copy("/etc/nginx/mime.types", dir_ / "mime.types")
        (dir_ / "nginx.conf").write_text(
            f'master_process off;\npid "{dir_}/nginx.pid";\nerror_log "{dir_}/error.log" notice;\n'
            f"worker_rlimit_nofile 4096;\nevents {{ worker_connections {self.connections}; }}\n"
            f'http {{\n    client_body_temp_path "{dir_}/body";\n    proxy_temp_path "{dir_}/proxy";\n'
            f'    fastcgi_temp_path "{dir_}/fastcgi";\n    uwsgi_temp_path "{dir_}/uwsgi";\n'
            f'    scgi_temp_path "{dir_}/scgi";\n    include "{dir_}/site.conf";\n}}\n')
        nginx = shutil.which("nginx") or "/usr/sbin/nginx"
        self.process = subprocess.Popen([nginx, "-p", f"{dir_}/", "-c", str(dir_ / "nginx.conf"), "-e",
                                         str(dir_ / "error.log"), "-g", "daemon off;"],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wait_listening()


def client_context() -> ssl.SSLContext:
    context = ssl.create_default_context()
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    return context


def learner_get(port: int, timeout: float) -> float | None:
    """Seconds until a page came, or None."""
    start = time.monotonic()
    try:
        with socket.create_connection(("127.0.0.1", port), timeout) as raw:
            raw.settimeout(max(0.1, timeout - (time.monotonic() - start)))
            with client_context().wrap_socket(raw) as tls:
                tls.sendall(b"GET /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n")
                answer = b""
                while len(answer) < 12:
                    chunk = tls.recv(4096)
                    if not chunk:
                        break
                    answer += chunk
                if answer.startswith(b"HTTP/1.1 200"):
                    return time.monotonic() - start
    except (OSError, ssl.SSLError):
        pass
    return None


def learners(port: int, count: int) -> tuple[int, list[float]]:
    """A learner every second from now on, each with 15 s."""
    results: list[float | None] = [None] * count
    threads = []
    for i in range(count):
        def ask(i: int = i) -> None:
            results[i] = learner_get(port, 15)
        thread = threading.Thread(target=ask, daemon=True)
        thread.start()
        threads.append(thread)
        time.sleep(1)
    for thread in threads:
        thread.join(20)
    served = [r for r in results if r is not None]
    return len(served), served


def probe_idle(target: Target, count: int, learner_count: int, slow_head: bool) -> str:
    holders: list[socket.socket] = []
    stop = threading.Event()

    def hold() -> socket.socket | None:
        try:
            raw = socket.create_connection(("127.0.0.1", target.port), 10)
        except OSError:
            return None
        if not slow_head:
            return raw
        try:
            raw.settimeout(10)
            tls = client_context().wrap_socket(raw)
            tls.sendall(b"GET /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: a\r\nX-Slow: ")
            return tls
        except (OSError, ssl.SSLError):
            raw.close()
            return None

    # Many at once: one after another, TLS handshakes on a busy machine take
    # long enough for the first to reach their header deadline.
    started = time.monotonic()
    with ThreadPoolExecutor(32) as pool:
        holders = [h for h in pool.map(lambda _: hold(), range(count)) if h is not None]
    setup = time.monotonic() - started

    def trickle() -> None:
        while not stop.is_set():
            for holder in list(holders):
                try:
                    holder.sendall(b"x")
                except (OSError, ssl.SSLError):
                    pass
            stop.wait(1)

    if slow_head:
        threading.Thread(target=trickle, daemon=True).start()
    time.sleep(3)
    served, waits = learners(target.port, learner_count)
    stop.set()
    for holder in holders:
        holder.close()
    wait = f", median {statistics.median(waits) * 1000:.0f} ms, most {max(waits) * 1000:.0f} ms" if waits else ""
    return f"{len(holders)} held (opened in {setup:.1f} s); learners served {served} of {learner_count}{wait}"


def probe_pipeline(target: Target) -> str:
    raw = socket.create_connection(("127.0.0.1", target.port), 5)
    raw.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)  # reads nothing, keeps nothing
    tls = client_context().wrap_socket(raw)
    tls.settimeout(None)  # an error while writing is the server's doing, never a time-out of ours
    request = b"HEAD /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
    sent = [0]
    ended: list[float] = []
    start = time.monotonic()

    def push() -> None:
        try:
            while sent[0] < 1_000_000:
                tls.sendall(request * 1000)
                sent[0] += 1000
        except (OSError, ssl.SSLError):
            ended.append(time.monotonic() - start)

    threading.Thread(target=push, daemon=True).start()
    samples = []
    for _ in range(15):
        time.sleep(2)
        samples.append(f"{resident_mib(target.process.pid):.0f}")
    dropped = f"dropped after {ended[0]:.1f} s" if ended else "still connected after 30 s"
    tls.close()
    return f"RSS MiB every 2 s: {' '.join(samples)}; {sent[0]} requests written; {dropped}"


def probe_close_notify(target: Target) -> str:
    times = []
    for version in (ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.TLSv1_3):
        context = client_context()
        context.maximum_version = version
        raw = socket.create_connection(("127.0.0.1", target.port), 5)
        tls = context.wrap_socket(raw)
        tls.sendall(b"GET /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        tls.settimeout(5)
        tls.recv(4096)
        start = time.monotonic()
        tls.settimeout(30)
        try:
            tls.unwrap().close()  # sends close_notify, waits for the server's
            times.append(f"{version.name}: {(time.monotonic() - start) * 1000:.0f} ms (its close_notify)")
        except socket.timeout:
            times.append(f"{version.name}: still open after 30 s")
        except (OSError, ssl.SSLError) as error:
            # SSLEOFError: the server closed TCP without a close_notify of
            # its own; a reset: it aborted the connection.
            how = "TCP closed" if isinstance(error, ssl.SSLEOFError) else type(error).__name__
            times.append(f"{version.name}: {(time.monotonic() - start) * 1000:.0f} ms ({how})")
        raw.close()
    return "; ".join(times)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--server", required=True)
    parser.add_argument("--baseline")
    parser.add_argument("--no-nginx", action="store_true")
    parser.add_argument("--probes", default="idle,slowhead,pipeline,closenotify")
    parser.add_argument("--learners", type=int, default=20)
    args = parser.parse_args()

    work = Path(tempfile.mkdtemp(prefix="probe-course-server-"))
    root = work / "root"
    (root / "kq_cbt" / "kq").mkdir(parents=True)
    (root / "kq_cbt" / "kq" / "kqd.vxp").write_bytes(PAGE)
    targets: list[Target] = [CourseServer("course server", work, args.server, [])]
    if args.baseline:
        targets.append(CourseServer("course server before", work, args.baseline, []))
    if not args.no_nginx and (shutil.which("nginx") or Path("/usr/sbin/nginx").exists()):
        targets += [Nginx("nginx, 768 connections", work, 768), Nginx("nginx, 256 connections", work, 256)]

    runs = []
    wanted = args.probes.split(",")
    if "idle" in wanted:
        runs += [(f"idle {n}", lambda t, n=n: probe_idle(t, n, args.learners, False)) for n in (256, 300)]
    if "slowhead" in wanted:
        runs += [(f"slowhead {n}", lambda t, n=n: probe_idle(t, n, args.learners, True)) for n in (256, 300)]
    if "pipeline" in wanted:
        runs.append(("pipeline", probe_pipeline))
    if "closenotify" in wanted:
        runs.append(("closenotify", probe_close_notify))

    try:
        for probe, run in runs:
            for target in targets:
                target.start(root)
                try:
                    result = run(target)
                finally:
                    target.stop()
                print(f"{probe:12} {target.name:24} {result}", flush=True)
    finally:
        for target in targets:
            target.stop()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())

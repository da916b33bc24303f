#!/usr/bin/env python3
"""Holds each program's manual page to what the program itself says.

For every program given, runs PROGRAM --help and PROGRAM --version and reads
its manual page, MAN_DIR/NAME.1 or NAME.1.gz, and fails when:
- an option, a command or an exit code is listed in one and not the other
  (both ways: a new option in --help needs its entry in the page, and an
  entry in the page needs the option);
- --help or --version needs a display (they run without one) or does not
  exit with 0, or --version does not print "NAME VERSION";
- man(1) warns about the page as it formats it (lintian's check), or its
  NAME line is not one that whatis and apropos can read.

Usage: check-manpages.py VERSION MAN_DIR PROGRAM...
"""

import gzip
import os
import re
import subprocess
import sys

OPTION = re.compile(r"(?<![\w-])(--?[A-Za-z0-9][\w-]*)")
# Headings of --help's lists ("Options:", "Options (alone on the command
# line):", "Commands:", "Exit status:").
HELP_HEADING = re.compile(r"^(Options|Commands|Exit status)\b.*:$")
# The manual page's sections whose .TP tags are compared.
PAGE_SECTIONS = {"OPTIONS": "Options", "COMMANDS": "Commands", "EXIT STATUS": "Exit status"}


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=60, **kwargs)


def program_command(path):
    """The command that runs PATH: a script built but not yet installed
    has no execute bit, so its #! line names the interpreter."""
    if os.access(path, os.X_OK):
        return [path]
    with open(path, "rb") as script:
        first = script.readline().decode("ascii", "replace")
    if not first.startswith("#!"):
        raise SystemExit(f"{path} cannot be run")
    return first[2:].split() + [path]


def entries(kind, column):
    """What one line of a list names: option names, a command, an exit code."""
    if kind == "Options":
        return set(OPTION.findall(column))
    words = column.split()
    if not words:
        return set()
    if kind == "Exit status":
        return {words[0]} if words[0].isdigit() else set()
    return {words[0]}


def help_lists(text):
    """{kind: set} from --help: the lines of each list whose text starts
    within four columns (wrapped descriptions start further right)."""
    found = {kind: set() for kind in PAGE_SECTIONS.values()}
    kind = None
    for line in text.splitlines():
        heading = HELP_HEADING.match(line)
        if heading:
            kind = heading.group(1)
            continue
        if not line.strip() or not line.startswith(" "):
            kind = None
            continue
        indent = len(line) - len(line.lstrip())
        if kind and indent <= 4:
            # The entry's own column ends at the first run of two spaces.
            column = re.split(r"\s{2,}", line.strip())[0]
            found[kind] |= entries(kind, column)
    return found


def plain(roff_line):
    """A roff line as text: no macro name, fonts, quotes or escapes."""
    text = re.sub(r"^\.[A-Z]{1,2}\b\s*", "", roff_line)
    text = re.sub(r"\\f[BIRP]|\\%|\\&", "", text)
    text = text.replace("\\-", "-").replace('"', "")
    return text


def page_lists(source):
    """{kind: set} from the .TP tags of the page's OPTIONS, COMMANDS and
    EXIT STATUS sections."""
    found = {kind: set() for kind in PAGE_SECTIONS.values()}
    kind = None
    lines = source.splitlines()
    for number, line in enumerate(lines):
        if line.startswith(".SH"):
            kind = PAGE_SECTIONS.get(line[3:].strip().strip('"'))
        elif line.startswith(".SS"):
            kind = None
        elif kind and line.strip() == ".TP" and number + 1 < len(lines):
            found[kind] |= entries(kind, plain(lines[number + 1]))
    return found


def page_path(man_dir, name):
    for candidate in (f"{name}.1", f"{name}.1.gz"):
        path = os.path.join(man_dir, candidate)
        if os.path.isfile(path):
            return path
    return None


def read_page(path):
    if path.endswith(".gz"):
        with gzip.open(path, "rt", encoding="utf-8") as page:
            return page.read()
    with open(path, encoding="utf-8") as page:
        return page.read()


def check(program, version, man_dir):
    name = os.path.basename(program)
    problems = []
    command = program_command(program)
    # Without a display: --help and --version must need none, and must
    # start nothing that would.
    env = {key: value for key, value in os.environ.items() if key not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["LC_ALL"] = "C.UTF-8"

    helped = run(command + ["--help"], env=env)
    if helped.returncode != 0:
        return [f"{name} --help exits with {helped.returncode}: {helped.stderr.strip()}"]
    said = help_lists(helped.stdout)
    if not said["Exit status"]:
        problems.append(f"{name} --help lists no exit codes")

    versioned = run(command + ["--version"], env=env)
    if versioned.returncode != 0 or versioned.stdout.strip() != f"{name} {version}":
        problems.append(f"{name} --version says {versioned.stdout.strip()!r} (exit {versioned.returncode}), "
                        f"not {name} {version!r}")

    path = page_path(man_dir, name)
    if path is None:
        return problems + [f"no manual page {name}.1 in {man_dir}"]
    written = page_lists(read_page(path))
    for kind, in_help in said.items():
        in_page = written[kind]
        for entry in sorted(in_help - in_page):
            problems.append(f"{name}: {kind.lower()} entry {entry} is in --help but not in {path}")
        for entry in sorted(in_page - in_help):
            problems.append(f"{name}: {kind.lower()} entry {entry} is in {path} but not in --help")

    # As lintian formats it: any warning from groff is a fault of the page.
    formatted = run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", path],
                    env=dict(env, MANWIDTH="80"))
    if formatted.returncode != 0 or formatted.stderr.strip():
        problems.append(f"man warns about {path}: {formatted.stderr.strip()}")
    whatis = run(["lexgrog", path], env=env)
    if f'"{name} - ' not in whatis.stdout:
        problems.append(f"{path}: NAME is not \"{name} \\- what it does\": {whatis.stdout.strip()}")
    return problems


def main():
    if len(sys.argv) < 4:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    version, man_dir, programs = sys.argv[1], sys.argv[2], sys.argv[3:]
    problems = []
    for program in programs:
        found = check(program, version, man_dir)
        problems += found
        if not found:
            print(f"{os.path.basename(program)}: the manual page lists what --help lists")
    for problem in problems:
        print(f"FAIL: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Holds the package's copyright file to the machine-readable format
(copyright-format 1.0, "DEP-5"), which lintian does not check in a binary
package: a header naming the format; Files paragraphs, "Files: *" first,
each with Copyright and License; a licence text for every licence named;
every Files pattern matching something in the source tree; every file of
/usr/share/common-licenses it points to there.

Usage: check-copyright.py COPYRIGHT SOURCE_DIR
"""

import glob
import os
import re
import sys

FORMAT = "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"


def paragraphs(text):
    """[(first line number, {field: (first line, continuation lines)})]"""
    found = []
    fields = None
    name = None
    for number, line in enumerate(text.splitlines(), 1):
        if not line.strip():
            fields = None
            continue
        if fields is None:
            fields = {}
            found.append((number, fields))
        if line[0] in " \t":
            if name is None:
                raise ValueError(f"line {number}: a continuation line without a field")
            fields[name][1].append(line.strip())
            continue
        match = re.match(r"^([!-9;-~][!-9;-~]*):(.*)$", line)
        if not match:
            raise ValueError(f"line {number}: not \"Field: value\": {line}")
        name = match.group(1)
        if name in fields:
            raise ValueError(f"line {number}: {name} twice in one paragraph")
        fields[name] = (match.group(2).strip(), [])
    return found


def check(path, source_dir):
    with open(path, encoding="utf-8") as copyright_file:
        text = copyright_file.read()
    try:
        found = paragraphs(text)
    except ValueError as error:
        return [str(error)]
    if not found:
        return ["the file is empty"]
    problems = []
    header_line, header = found[0]
    if header.get("Format", ("",))[0] != FORMAT:
        problems.append(f"line {header_line}: the header's Format is not {FORMAT}")

    named = {}  # licence short name -> the line that names it without its text
    texts = set()
    files_seen = 0
    for line, fields in found[1:]:
        if "Files" in fields:
            files_seen += 1
            for required in ("Copyright", "License"):
                if not fields.get(required, ("",))[0]:
                    problems.append(f"line {line}: a Files paragraph without {required}")
            patterns = fields["Files"][0].split() + [p for more in fields["Files"][1] for p in more.split()]
            if files_seen == 1 and patterns != ["*"]:
                problems.append(f"line {line}: the first Files paragraph must be \"Files: *\"")
            for pattern in patterns:
                if not glob.glob(os.path.join(source_dir, pattern)):
                    problems.append(f"line {line}: Files pattern {pattern} matches nothing in {source_dir}")
        elif "License" not in fields:
            problems.append(f"line {line}: a paragraph with neither Files nor License")
        if "License" in fields:
            short, body = fields["License"]
            if body:
                texts.add(short)
            elif short:
                named.setdefault(short, line)
            for common in re.findall(r"/usr/share/common-licenses/[\w.+-]+", " ".join(body)):
                if not os.path.isfile(common):
                    problems.append(f"line {line}: {common} does not exist")
    if files_seen == 0:
        problems.append("no Files paragraph")
    for short, line in named.items():
        if short not in texts:
            problems.append(f"line {line}: licence {short} has no text in a License paragraph")
    return problems


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    problems = check(sys.argv[1], sys.argv[2])
    for problem in problems:
        print(f"FAIL: {sys.argv[1]}: {problem}", file=sys.stderr)
    if not problems:
        print(f"{sys.argv[1]}: machine-readable, every licence with its text")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

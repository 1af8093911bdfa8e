#!/usr/bin/env python3
"""Writes the status tables of the user guide from the public headers.

Each service's table comes from its status list (X(NAME, value, "message") rows, expanded
by the C preprocessor) when the header has one, otherwise from the status enum of the
header with its trailing comments. The tables sit between <!-- statuses:SERVICE --> and
<!-- /statuses --> in the guide pages.

Usage: status_doc.py SOURCE_DIR [--check] [--cc CC]
"""
import re
import subprocess
import sys
from pathlib import Path

SERVICES = [  # service, header, list macro, guide page, enum name pattern
    ("vm", "zar.h", "NRX_ZAR_STATUS_LIST", "guide-vm.md", r"ZAR_ST_\w+"),
    ("rng", "rng.h", "NRX_RNG_STATUS_LIST", "guide-rng.md", r"DRU_(?:OK|E_\w+)"),
    ("stats", "stats.h", "NRX_SS_STATUS_LIST", "guide-stats.md", r"NRX_SS_STATUS_\w+"),
    ("fit", "fit.h", "NRX_DF_STATUS_LIST", "guide-fit.md", r"DFK_(?:OK|ERR_\w+)"),
]


def from_list(src, header, macro, cc):
    code = f'#include "nrx/{header}"\n#ifdef {macro}\n#define R(N, v, m) @ROW@ N @@ (v) @@ m @END@\n{macro}(R)\n#endif\n'
    out = subprocess.run([cc, "-E", "-P", "-x", "c", "-I", str(src / "include"), "-"], input=code, text=True,
                         capture_output=True, check=True).stdout
    rows = []
    for m in re.finditer(r"@ROW@(.*?)@END@", out, re.S):
        name, value, message = (p.strip() for p in m.group(1).split("@@"))
        value = eval(value.replace("(int32_t)", ""), {})  # an integer constant expression
        text = "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', message))
        rows.append((int(value), name, re.sub(r"\\(.)", r"\1", text)))
    return rows


def from_enum(src, header, pattern):
    text = (src / "include" / "nrx" / header).read_text()
    rows = []
    for m in re.finditer(rf"^[ \t]*({pattern})[ \t]*=[ \t]*(-?\d+)[ \t]*,?[ \t]*(?:/\*[ \t]*(.*?)[ \t]*\*/)?", text, re.M):
        rows.append((int(m.group(2)), m.group(1), m.group(3) or ""))
    return rows


def table(rows):
    lines = ["| Code | Name | Meaning |", "|---:|---|---|"]
    for value, name, message in sorted(rows, key=lambda r: (0 if r[0] == 0 else 1 if r[0] > 0 else 2, abs(r[0]))):
        lines.append(f"| {value} | `{name}` | {message.replace('|', '/')} |")
    return "\n".join(lines)


def main():
    src = Path(sys.argv[1])
    check = "--check" in sys.argv
    cc = sys.argv[sys.argv.index("--cc") + 1] if "--cc" in sys.argv else "cc"
    stale = []
    for service, header, macro, page, pattern in SERVICES:
        rows = from_list(src, header, macro, cc) or from_enum(src, header, pattern)
        path = src / "docs" / page
        text = path.read_text()
        begin, end = f"<!-- statuses:{service} -->", "<!-- /statuses -->"
        i = text.index(begin) + len(begin)
        j = text.index(end, i)
        new = text[:i] + "\n" + table(rows) + "\n" + text[j:]
        if new != text:
            stale.append(page)
            if not check:
                path.write_text(new)
    if check and stale:
        print("status tables out of date in", ", ".join(stale), "- run tools/status_doc.py", src)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

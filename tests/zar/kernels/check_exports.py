#!/usr/bin/env python3
"""Fails unless the dynamic symbols a library defines are exactly the names in a list file."""
import subprocess
import sys

lib, listing = sys.argv[1], sys.argv[2]
out = subprocess.run(["nm", "-D", "--defined-only", lib], check=True, capture_output=True, text=True).stdout
have = {line.split()[-1].split("@")[0] for line in out.splitlines() if line.strip()}
want = {line.strip() for line in open(listing) if line.strip()}
missing, extra = sorted(want - have), sorted(have - want)
for name in missing[:20]:
    print("missing:", name)
for name in extra[:20]:
    print("unexpected:", name)
print("%d exported, %d listed, %d missing, %d unexpected" % (len(have), len(want), len(missing), len(extra)))
sys.exit(1 if missing or extra else 0)

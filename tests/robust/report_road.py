#!/usr/bin/env python3
"""report_road.py BEX BEXFORGE BEXDAMAGE

The recovery report of the damaged-database road. The unload scenario is
forged, damaged (bit flips, a cut file) and run through SCAN DATABASE and
every UNLOAD, once through the scan's extent listing and once through the
segment headers. Its oracle is the undamaged copy with the damaged blocks
on the CORRUPT list; a SKIP run and the undamaged run complete the picture.
Every line of BEXDICT/BEXREPORT.JSONL must be JSON, and:

- rows and files of each record are those the unload wrote;
- the damaged copy gives the rows its oracle gives (every sound row);
- the blocks an unload names as rejected or unreadable are the damaged
  blocks of its object, as its oracle names them, and the scan names the
  checksum failures with the object they claim;
- the rows the oracle's rejected blocks held are exactly the rows lost;
- SKIP: the rows a skipped block held are the rows missing;
- THREADS 4: the same rows, walked by more than one worker, as the report
  and its page show.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

BEX, FORGE, DAMAGE = sys.argv[1:4]
BS = 8192

UNLOADS = [
    "81001 COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER",
    "81002 COLUMN NUMBER COLUMN VARCHAR2",
    "81003 COLUMN NUMBER COLUMN VARCHAR2",
    "81010 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER",
    "81020 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER",
    "81030 CLUSTER 1 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER",
    "81030 CLUSTER 2 COLUMN NUMBER COLUMN VARCHAR2",
    "81040 COLUMN VARCHAR2 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER",
    "81050 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER",
    "81060 COLUMN NUMBER COLUMN VARCHAR2",
]
failures = []


def fail(msg):
    failures.append(msg)
    print("FAIL:", msg)


def road(directory, prelude=(), env=None):
    """Runs the road in directory; returns the report's records in order."""
    lines = ["SET BLOCK_CHECK 1", "SET EMPTY_FILES YES", *prelude, "OPEN unload.cfg", "SCAN DATABASE"]
    for way in ("ext", "hdr"):
        if way == "hdr":
            lines.append("! rm -f BEXDICT/BEXEXT.TXT")
        for i, u in enumerate(UNLOADS):
            lines.append(f"UNLOAD OBJECT {u} TO {way}{i}.txt;")
    with open(os.path.join(directory, "road.sql"), "w") as f:
        f.write("\n".join(lines) + "\n")
    with open(os.path.join(directory, "road.out"), "w") as out:
        subprocess.run([BEX, "-f", "road.sql"], cwd=directory, stdout=out, stderr=subprocess.STDOUT, timeout=300,
                       env={**os.environ, **(env or {})})
    records = []
    with open(os.path.join(directory, "BEXDICT", "BEXREPORT.JSONL")) as f:
        for n, line in enumerate(f, 1):
            try:
                records.append(json.loads(line))
            except ValueError as e:
                fail(f"{directory}: report line {n} is not JSON: {e}")
    if len(records) != 1 + 2 * len(UNLOADS):
        fail(f"{directory}: {len(records)} report lines for {1 + 2 * len(UNLOADS)} reported statements")
    return records


def blocks(ranges):
    """The (file, block) pairs of a ranges object."""
    return {(r["file"], r["block"] + k) for r in ranges["ranges"] for k in range(r["count"])}


def check_files(directory, records):
    """Rows and file sizes of each unload record are those written."""
    for rec in records[1:]:
        names = {f["name"]: f["bytes"] for f in rec["files"]}
        data = rec["command"].split(" TO ")[1]
        path = os.path.join(directory, data)
        if names.get(data) != os.path.getsize(path):
            fail(f"{directory}: {rec['command']}: files {names} but {data} has {os.path.getsize(path)} bytes")
        with open(path, "rb") as f:
            written = f.read().count(b"\r\n")
        if written != rec["rows"]:
            fail(f"{directory}: {rec['command']}: {rec['rows']} rows reported, {written} written")


def forge(name, damage=None):
    directory = os.path.join(work, name)
    shutil.copytree(os.path.join(work, "pristine"), directory)
    damaged = set()
    if damage:
        out = subprocess.run([DAMAGE, damage[0], "u07.dbf", str(BS), *damage[1:]], cwd=directory, check=True,
                             capture_output=True, text=True).stdout
        damaged = {(7, int(b)) for b in out.split()}
    return directory, damaged


def oracle(name, damaged):
    directory = os.path.join(work, name)
    shutil.copytree(os.path.join(work, "pristine"), directory)
    with open(os.path.join(directory, "damaged.rdba"), "w") as f:
        f.writelines(f"{(fl << 22) | b}\n" for fl, b in sorted(damaged))
    return road(directory, ["CORRUPT LOAD damaged.rdba"])


def objd_of(rec):
    return int(rec["command"].split()[2])


def check_kind(name, damage, full):
    directory, damaged = forge(name, damage)
    got = road(directory)
    want = oracle(name + "-oracle", damaged)
    check_files(directory, got)
    scan_lost = {}
    for r in got[0]["blocks_rejected"]["ranges"]:
        for k in range(r["count"]):
            scan_lost.setdefault(r.get("objd", 0), set()).add((r["file"], r["block"] + k))
    # A cut file: the blocks its header gives that cannot be read.
    scan_unreadable = blocks(got[0]["blocks_unreadable"])
    if not set().union(*scan_lost.values(), scan_unreadable) <= damaged:
        fail(f"{name}: the scan names sound blocks")
    for i, (g, w, f) in enumerate(zip(got[1:], want[1:], full[1:])):
        way = "listing" if i < len(UNLOADS) else "segment header"
        if g["rows"] != w["rows"]:
            fail(f"{name}: {g['command']} ({way}): {g['rows']} rows, its oracle {w['rows']}")
        named = blocks(g["blocks_rejected"]) | blocks(g["blocks_unreadable"])
        oracle_named = blocks(w["blocks_rejected"])
        if not named <= damaged:
            fail(f"{name}: {g['command']} ({way}): names sound blocks {sorted(named - damaged)}")
        if damage[0] == "flip" and named != oracle_named:
            fail(f"{name}: {g['command']} ({way}): names {sorted(named)}, its oracle {sorted(oracle_named)}")
        # A cut file loses its end: the scan names those blocks.
        named |= scan_unreadable
        if not oracle_named <= named:
            fail(f"{name}: {g['command']} ({way}): oracle blocks {sorted(oracle_named - named)} not named")
        if f["rows"] - w["rows"] != w["rows_rejected"]:
            fail(f"{name}: {g['command']} ({way}): {f['rows'] - w['rows']} rows lost, "
                 f"the rejected blocks held {w['rows_rejected']}")
    lost = sum(f["rows"] - g["rows"] for g, f in zip(got[1:], full[1:]))
    print(f"{name:10s} damaged blocks {len(damaged):3d}  rows lost {lost:4d}  "
          f"scan rejected {got[0]['blocks_rejected']['blocks']}")


def check_skip(full):
    # The first block of 81001 that holds rows, from the undamaged scan's map.
    with open(os.path.join(work, "full", "BEXDICT", "BEXMAP.TXT")) as f:
        runs = [line.split(",") for line in f]
    rfn, block = next((int(r[0]), int(r[1])) for r in runs if r[3] == "T" and r[4] == "81001")
    directory = os.path.join(work, "skip")
    shutil.copytree(os.path.join(work, "pristine"), directory)
    got = road(directory, [f"SKIP FILE {rfn} BLOCK {block}"])
    for g, f in ((got[1], full[1]), (got[1 + len(UNLOADS)], full[1 + len(UNLOADS)])):
        if blocks(g["blocks_skipped"]) != {(rfn, block)}:
            fail(f"skip: {g['command']} names {g['blocks_skipped']}")
        if f["rows"] - g["rows"] != g["rows_skipped"] or g["rows_skipped"] == 0:
            fail(f"skip: {g['command']}: {f['rows'] - g['rows']} rows missing, {g['rows_skipped']} skipped")


def check_names():
    """File names with quotes, backslashes and bytes that are not UTF-8 still
    give JSON."""
    directory = os.path.join(work, "full")
    name = b'q"b\\s\xff.txt'
    subprocess.run([BEX.encode(), b"-e", b"OPEN unload.cfg; UNLOAD OBJECT 81002 COLUMN NUMBER TO " + name],
                   cwd=directory, stdout=subprocess.DEVNULL, timeout=60)
    with open(os.path.join(directory, "BEXDICT", "BEXREPORT.JSONL"), "rb") as f:
        last = f.read().splitlines()[-1]
    try:
        rec = json.loads(last)
        if rec["files"][0]["name"] != name.decode("latin-1") or rec["rows"] != 4:
            fail(f"names: {rec['files']}, {rec['rows']} rows")
    except (ValueError, IndexError) as e:
        fail(f"names: {last!r}: {e}")


def page_of(directory):
    """The report page REPORT writes from the directory's report."""
    subprocess.run([BEX, "-e", "REPORT TO page.html"], cwd=directory, stdout=subprocess.DEVNULL, timeout=60)
    with open(os.path.join(directory, "page.html")) as f:
        return f.read()


def check_threads(full):
    """One thread walks alone; with THREADS 4 the same road gives the same
    rows, workers take the parts of the scan and of every unload of more than
    one block, more than one of them somewhere, and the page says so."""
    for rec in full:
        if rec["workers"] != 1 or rec["chunks"] != 0:
            fail(f"one thread: {rec['command']} names {rec['workers']} workers, {rec['chunks']} chunks")
    if "<td>1 thread</td>" not in page_of(os.path.join(work, "full")):
        fail("one thread: the page shows no unload walked by one thread")
    directory = os.path.join(work, "threads")
    shutil.copytree(os.path.join(work, "pristine"), directory)
    # Chunks of one block, so that the small objects are several chunks (a
    # walk of one chunk stays with the main walk).
    many = road(directory, ["SET THREADS 4"], {"BEX_TEST_CHUNK_BLOCKS": "1"})
    if [r["rows"] for r in many] != [r["rows"] for r in full]:
        fail(f"threads: rows {[r['rows'] for r in many]} against one thread's {[r['rows'] for r in full]}")
    alone = [r["command"] for r in many if r["chunks"] == 0 and r["blocks_read"] > 1]
    if alone:
        fail(f"threads: walked without workers: {alone}")
    if max(r["workers"] for r in many[1:]) < 2:
        fail(f"threads: workers {[r['workers'] for r in many]}")
    page = page_of(directory)
    if not re.search(r"blocks read by [1-4] threads?, \d+ parts", page) or \
            not re.search(r"<td>[2-4] threads, \d+ chunks</td>", page):
        fail("threads: the page does not show the workers of the scan and the unloads")


with tempfile.TemporaryDirectory(prefix="bex-report.") as work:
    os.mkdir(os.path.join(work, "pristine"))
    subprocess.run([FORGE, "unload", "."], cwd=os.path.join(work, "pristine"), check=True, stdout=subprocess.DEVNULL)
    shutil.copytree(os.path.join(work, "pristine"), os.path.join(work, "full"))
    full = road(os.path.join(work, "full"))
    check_files(os.path.join(work, "full"), full)
    check_kind("flip", ["flip", "7", "10"], full)
    check_kind("truncate", ["truncate", "60"], full)
    check_skip(full)
    check_names()
    check_threads(full)

print(f"report road: {len(failures)} failed")
sys.exit(1 if failures else 0)

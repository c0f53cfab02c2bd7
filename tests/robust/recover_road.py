#!/usr/bin/env python3
"""recover_road.py BEX BEXFORGE BEXDAMAGE

bex recover on forged databases, in a temporary directory:
- the dict database (and its AL32UTF8 twin with national columns, no SET
  at all): every user table's data and LOB file exactly as the forge
  stored them, under DIR/<owner>/, with its load scripts; exit 0;
- the users' file alone (no SYSTEM file): every object guessed and
  unloaded into DIR/NODICT/ with the forge's row count;
- the truncated scenario (8 KB little-endian, 32 KB big-endian; one table
  truncated twice, both old incarnations back) and the dropped one: the old incarnations under DIR/truncated/, the dropped and
  recycle-bin tables under DIR/dropped/, each old incarnation's and dropped
  table's rows exactly as the forge stored them, counted in the summary
  and marked in the report;
- blocks damaged by bexdamage: counted, the tables that lost them named,
  exit 1;
- bad command lines and files that cannot be read: exit 2.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

bex, forge, damage = sys.argv[1:4]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def forged(work, name, *options, scenario="dict"):
    d = os.path.join(work, name)
    os.makedirs(d)
    subprocess.run([forge, scenario, ".", *options], cwd=d, check=True, stdout=subprocess.DEVNULL)
    return d


def same_file(got, want, what):
    check(os.path.exists(got) and open(got, "rb").read() == open(want, "rb").read(), what)


def lost_tables(work, name, scenario, prefix, folder, want, *options):
    """Recovers a forged database with truncated or dropped tables; want:
    the files of expect/rows/ that must come back into DIR/folder/."""
    db = forged(work, name, *options, scenario=scenario)
    out = os.path.join(work, "out-" + name)
    status, text = recover(work, out, os.path.join(db, prefix + "_system01.dbf"), os.path.join(db, prefix + "_users04.dbf"))
    check(status == 0, f"{name}: exit 0, got {status}\n{text}")
    for f in want:
        same_file(os.path.join(out, folder, f), os.path.join(db, "expect", "rows", f), f"{name}: {folder}/{f} as forged")
    m = re.search(r"^  %s +(\d+) of (\d+) [a-z ]+, (\d+) rows" % folder, text, re.M)
    check(m is not None and m.group(1) == m.group(2), f"{name}: the {folder} tables in the summary\n{text}")
    return db, out, text


def recover(work, out, *args, cwd=None):
    r = subprocess.run([bex, "recover", "-o", out, *args], cwd=cwd or work, capture_output=True, text=True, timeout=300)
    return r.returncode, r.stdout + r.stderr


def user_rows(db):
    rows = os.path.join(db, "expect", "rows")
    return [f for f in sorted(os.listdir(rows)) if not f.startswith("SYS_")]


def same_rows(db, out, label):
    for f in user_rows(db):
        got = os.path.join(out, f.split("_")[0], f)
        want = os.path.join(db, "expect", "rows", f)
        check(os.path.exists(got) and open(got, "rb").read() == open(want, "rb").read(), f"{label}: {f} as forged")


def summary_value(text, key):
    m = re.search(r"^  %s +(\d+)" % key, text, re.M)
    return int(m.group(1)) if m else None


with tempfile.TemporaryDirectory() as work:
    db = forged(work, "dict")
    files = [os.path.join(db, "dict_system01.dbf"), os.path.join(db, "dict_users04.dbf")]
    tables = len([f for f in user_rows(db) if f.endswith(".txt")])

    out = os.path.join(work, "out")
    status, text = recover(work, out, *files)
    check(status == 0, f"dict: exit 0, got {status}\n{text}")
    same_rows(db, out, "dict")
    check(summary_value(text, "tables") == tables, f"dict: {tables} tables in the summary")
    check(summary_value(text, "damaged blocks") == 0, "dict: no damaged blocks")
    check("(SCOTT, HR)" in text, "dict: the users SCOTT and HR, and no SYS")
    for owner in ("SCOTT", "HR"):
        for script in ("loadall.bat", "loadall.sh", "loadall_pg.sql"):
            check(os.path.exists(os.path.join(out, owner, script)), f"dict: {owner}/{script}")
    check(os.path.exists(os.path.join(out, "bexreport.html")), "dict: the report page")
    check(sorted(os.listdir(work)) == ["dict", "out"], "dict: nothing written beside DIR")

    utf = forged(work, "utf8", "--charset", "873", "--nls-charset", "2000")
    out = os.path.join(work, "out-utf8")
    status, text = recover(work, out, os.path.join(utf, "dict_system01.dbf"), os.path.join(utf, "dict_users04.dbf"))
    check(status == 0, f"utf8: exit 0, got {status}")
    same_rows(utf, out, "utf8")

    # No SYSTEM file: each object guessed; a row is a record of the data file.
    out = os.path.join(work, "out-nodict")
    status, text = recover(work, out, files[1])
    check(status == 0, f"nodict: exit 0, got {status}\n{text}")
    for f in user_rows(db):
        m = re.search(r"_(\d+)\.txt$", f)
        if not m:
            continue
        want = open(os.path.join(db, "expect", "rows", f), "rb").read().count(b"\r\n")
        got = 0
        for g in os.listdir(os.path.join(out, "NODICT")):
            if g.startswith("OBJD%010d" % int(m.group(1))) and g.endswith(".txt"):
                got += open(os.path.join(out, "NODICT", g), "rb").read().count(b"\r\n")
        if "_C_" not in f:  # the tables of one cluster share their objd
            check(got == want, f"nodict: {f}: {want} rows, got {got}")

    # Truncated tables: their old incarnations into truncated/, beside the
    # live tables; the report tells the old incarnations from the live ones.
    old = ["SCOTT_ORDERS_73400.txt", "SCOTT_ITEMS_73440.txt", "SCOTT_LEDGER_73450.txt", "SCOTT_LEDGER_73451.txt"]
    for name, options in (("trunc", ()), ("trunc-be32k", ("--big", "--block-size", "32768"))):
        tdb, out, text = lost_tables(work, name, "truncated", "trunc", "truncated", old, *options)
        check(re.search(r"^  dropped +none found", text, re.M) is not None, f"{name}: no dropped table\n{text}")
        page = open(os.path.join(out, "bexreport.html"), encoding="utf-8").read()
        for f in old:
            owner, table, objd = f[:-4].split("_")
            check(f"{owner}.{table} (old incarnation, truncated: OBJECT {objd})" in page,
                  f"{name}: the report marks {owner}.{table} {objd} as an old incarnation")
        check("<td>SCOTT.ORDERS</td>" in page, f"{name}: the live SCOTT.ORDERS in the report as a live table")

    # Dropped tables: the purged ones (one with no rows left) rebuilt from the deleted dictionary
    # rows and the one in the recycle bin, into dropped/.
    ddb, out, text = lost_tables(work, "dropped", "dropped", "dict", "dropped",
                                ["SCOTT_OLD_ORDERS_73251.txt", "SCOTT_OLD_SALES_73280.txt", "SCOTT_OLD_ITEMS_73290.txt"])
    check(re.search(r"^  dropped +6 of 6 tables", text, re.M) is not None, f"dropped: 6 tables\n{text}")
    dropped = os.listdir(os.path.join(out, "dropped"))
    for f in ("SCOTT_OLD_NOTES_73260.txt", "SCOTT_OLD_PRICES_73190.txt"):
        check(f in dropped, f"dropped: dropped/{f}")
    check(not any("OLD_" in f or "BIN$" in f for f in os.listdir(os.path.join(out, "SCOTT"))),
          "dropped: no dropped table among the live ones")
    check(not os.path.exists(os.path.join(out, "truncated")), "dropped: no truncated/ when nothing was truncated")

    # Damaged blocks: counted, their tables named, exit 1.
    bad = os.path.join(work, "bad")
    shutil.copytree(db, bad)
    hit = subprocess.run([damage, "flip", os.path.join(bad, "dict_users04.dbf"), "8192", "7", "20"],
                         capture_output=True, text=True, check=True).stdout.split()
    out = os.path.join(work, "out-bad")
    status, text = recover(work, out, os.path.join(bad, "dict_system01.dbf"), os.path.join(bad, "dict_users04.dbf"))
    check(status == 1, f"damaged: exit 1, got {status}")
    check(summary_value(text, "damaged blocks") == len(hit), f"damaged: {len(hit)} damaged blocks\n{text}")
    check("Not recovered:" in text and "damaged blocks" in text.split("Not recovered:")[-1],
          "damaged: the tables that lost blocks named")

    # -l: the OPEN configuration file of the forge (its paths read from
    # where bex runs, as OPEN reads them).
    status, text = recover(work, os.path.join(work, "out-list"), "-l", "dict.cfg", cwd=db)
    check(status == 0, f"list: exit 0, got {status}\n{text}")

    for args in ([], ["-o"], ["--threads", "0", files[0]], ["--bogus", files[0]], ["-l", "x.cfg", files[0]],
                 [os.path.join(work, "missing.dbf")]):
        r = subprocess.run([bex, "recover", *args], cwd=work, capture_output=True, text=True, timeout=60)
        check(r.returncode == 2, f"bex recover {' '.join(args)}: exit 2, got {r.returncode}")

sys.exit(1 if failures else 0)

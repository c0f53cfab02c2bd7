#!/usr/bin/env python3
"""pg_load_test.py BEX BEXFORGE

Unloads forged databases in OUTPUT_STYLE CSV, loads them into a real
PostgreSQL through the script LOAD SCRIPT writes, and compares every row and
value of every table with what the forge stored (expect/load/, the format is
in tools/forge/load_oracle.h): the bundled sample database (bexforge dict)
and the CSV schema (bexforge csv, with every scalar type and LOBs). Values are
compared in PostgreSQL by the column's own type: numbers and times exactly,
text byte for byte in UTF-8 (without NUL bytes, which PostgreSQL text cannot
hold), bytea byte for byte.

The cluster is made for the run and removed after it: initdb into a
temporary directory with the Unix socket there, the server run as nobody
when the test runs as root. Exits 77 (skipped) when PostgreSQL is not
installed.
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77
USER = "bex"
DB = "postgres"  # each scenario's owners are schemas of their own

# The statements of each road; the scenario's users are unloaded with the
# UNLOAD lines of LIST TABLE.
ROADS = {
    "dict": (["OPEN dict.cfg"], ["SCOTT", "HR"]),
    "csv": (["SET ICONV_CLOB UTF-16BE UTF-8", "SET ICONV_NCLOB UTF-16BE UTF-8", "OPEN csv.cfg"], ["APP"]),
}


def postgres_bin():
    dirs = sorted(glob.glob("/usr/lib/postgresql/*/bin"), key=lambda d: int(d.split("/")[-2]))
    for d in reversed(dirs):
        if os.access(os.path.join(d, "initdb"), os.X_OK):
            return d
    initdb = shutil.which("initdb")
    return os.path.dirname(initdb) if initdb else None


def pg_name(name):
    """A name as the script creates it: lower case without small letters."""
    if not any("a" <= c <= "z" for c in name):
        name = "".join(chr(ord(c) + 32) if "A" <= c <= "Z" else c for c in name)
    return '"' + name.replace('"', '""') + '"'


class Cluster:
    def __init__(self, bindir, top):
        self.bindir, self.top = bindir, top
        self.data = os.path.join(top, "data")
        self.prefix = []
        if os.geteuid() == 0:
            os.chmod(top, 0o777)
            self.prefix = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        self.started = False
        self.init = None

    def server(self, *args):
        return subprocess.run(self.prefix + [os.path.join(self.bindir, args[0])] + list(args[1:]),
                              capture_output=True, text=True)

    def initdb(self):
        """Starts initdb; start() waits for it."""
        self.init = subprocess.Popen(self.prefix + [os.path.join(self.bindir, "initdb"), "-D", self.data, "-N",
                                                    "-A", "trust", "-E", "UTF8", "--locale=C", "-U", USER],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)

    def start(self):
        _, err = self.init.communicate()
        if self.init.returncode != 0:
            return "initdb failed: " + err
        return self.start_server()

    def start_server(self):
        """Starts the server of the cluster made; an error text or None."""
        opts = "-c listen_addresses= -c unix_socket_directories=%s -c fsync=off -c full_page_writes=off" % self.top
        r = self.server("pg_ctl", "-D", self.data, "-w", "-s", "-l", os.path.join(self.top, "log"), "-o", opts, "start")
        if r.returncode != 0:
            return "pg_ctl start failed: " + r.stderr + open(os.path.join(self.top, "log")).read()
        self.started = True
        return None

    def stop(self):
        if self.init and self.init.poll() is None:
            self.init.kill()
            self.init.wait()
        if self.started:
            self.server("pg_ctl", "-D", self.data, "-w", "-s", "-m", "immediate", "stop")

    def psql(self, db, sql=None, script=None, cwd=None):
        cmd = [os.path.join(self.bindir, "psql"), "-X", "-q", "-At", "-h", self.top, "-U", USER, "-d", db]
        if script:
            cmd += ["-f", script]
        return subprocess.run(cmd, input=sql, capture_output=True, text=True, cwd=cwd)


def read_oracle(path):
    rows = []
    for line in open(path):
        if line.startswith("row"):
            rows.append([None if v == "-" else bytes.fromhex(v[1:]) for v in line.split()[1:]])
    return rows


def literal(value, pgtype):
    if value is None:
        return "NULL::" + pgtype
    if pgtype == "bytea":
        return "'\\x%s'::bytea" % value.hex()
    text = value.replace(b"\0", b"")  # text cannot hold NUL bytes
    if pgtype.startswith("timestamp") and text.startswith(b"-"):  # years before 1
        text = text[1:] + b" BC"
    return "convert_from('\\x%s'::bytea, 'UTF8')::%s" % (text.hex(), pgtype)


def column_types(cluster):
    r = cluster.psql(DB, """SELECT n.nspname || '.' || c.relname, format_type(a.atttypid, a.atttypmod)
        FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace
        WHERE c.relkind = 'r' AND n.nspname NOT IN ('pg_catalog', 'information_schema')
          AND n.nspname NOT LIKE 'pg\\_%' AND a.attnum > 0 AND NOT a.attisdropped
        ORDER BY 1, a.attnum;""")
    types = {}
    for line in r.stdout.splitlines():
        table, pgtype = line.split("|", 1)
        types.setdefault(table, []).append(pgtype)
    return types


def compare(cluster, load_dir):
    """Problems found, one line each; the tables and the rows compared, and
    the rows compared by owner."""
    types = column_types(cluster)
    problems, sql, rows_total, by_owner = [], [], 0, {}
    oracles = sorted(os.listdir(load_dir))
    expected_tables, schemas = set(), set()
    for name in oracles:
        owner, table = name.split(".", 1)
        key = pg_name(owner).strip('"') + "." + pg_name(table).strip('"')
        expected_tables.add(key)
        schemas.add(pg_name(owner).strip('"'))
        if key not in types:
            problems.append("%s: no such table in PostgreSQL" % name)
            continue
        rows = read_oracle(os.path.join(load_dir, name))
        rows_total += len(rows)
        by_owner[owner] = by_owner.get(owner, 0) + len(rows)
        cols = types[key]
        if any(len(r) != len(cols) for r in rows):
            problems.append("%s: %d columns in PostgreSQL, rows of the forge differ" % (name, len(cols)))
            continue
        qualified = pg_name(owner) + "." + pg_name(table)
        sql.append("CREATE TEMP TABLE expected AS SELECT * FROM %s LIMIT 0;" % qualified)
        for r in rows:
            sql.append("INSERT INTO expected VALUES (%s);" % ", ".join(literal(v, t) for v, t in zip(r, cols)))
        sql.append("SELECT '%s missing', e::text FROM (TABLE expected EXCEPT ALL TABLE %s) e "
                   "UNION ALL SELECT '%s unexpected', a::text FROM (TABLE %s EXCEPT ALL TABLE expected) a;"
                   % (name, qualified, name, qualified))
        sql.append("DROP TABLE expected;")
    for table in sorted(t for t in set(types) - expected_tables if t.split(".")[0] in schemas):
        problems.append("%s: created, but the forge holds no such table" % table)
    r = cluster.psql(DB, "\\set ON_ERROR_STOP on\n" + "\n".join(sql))
    if r.returncode != 0:
        problems.append("comparison failed: " + r.stderr.strip())
    problems += [line for line in r.stdout.splitlines() if line]
    return problems, len(oracles), rows_total, by_owner


def unload(scenario, work, bex, bexforge):
    """Forges the scenario and unloads its users in CSV style; problems found."""
    os.makedirs(work)
    r = subprocess.run([bexforge, scenario, "."], cwd=work, capture_output=True, text=True)
    if r.returncode != 0:
        return ["bexforge %s failed: %s" % (scenario, r.stderr)]
    settings, users = ROADS[scenario]
    statements = ["SET OUTPUT_STYLE CSV"] + settings + ["UNLOAD TABLE DICT$;"]
    statements += ["LIST TABLE %s TO list_%s.sql" % (u, u) for u in users]
    statements += ["@list_%s.sql" % u for u in users] + ["LOAD SCRIPT loadall.bat", "EXIT"]
    r = subprocess.run([bex], input="\n".join(statements) + "\n", cwd=work, capture_output=True, text=True)
    return [] if r.returncode == 0 else ["bex exited with %d" % r.returncode]


def load(scenario, work, cluster):
    """Runs the scenario's PostgreSQL script and compares; problems found."""
    r = cluster.psql(DB, script="loadall_pg.sql", cwd=work)
    errors = [line for line in r.stderr.splitlines() if "ERROR" in line or "FATAL" in line]
    if r.returncode != 0 or errors:
        return ["loadall_pg.sql: " + e for e in errors] or ["psql exited with %d" % r.returncode]
    problems, tables, rows, by_owner = compare(cluster, os.path.join(work, "expect", "load"))
    # A comparison of no rows proves nothing: every user unloaded has rows.
    problems += ["%s: no rows compared" % u for u in ROADS[scenario][1] if not by_owner.get(u)]
    if not problems:
        print("%s: %d tables, %d rows as forged" % (scenario, tables, rows))
    return problems


def run_with_cluster(doc, prefix, prepare, check):
    """The frame of a test against a throwaway cluster: the arguments BEX
    BEXFORGE read, the cluster made in a temporary directory (prepare(top,
    bex, bexforge) runs while initdb does and returns problems), started,
    check(top, bex, bexforge, cluster, problems) returns more; the problems
    printed, the cluster stopped and removed. The exit status."""
    if len(sys.argv) != 3:
        print(doc)
        return 2
    bex, bexforge = (os.path.abspath(p) for p in sys.argv[1:])
    bindir = postgres_bin()
    if not bindir:
        print("PostgreSQL is not installed: skipped")
        return SKIPPED
    if os.geteuid() == 0 and not shutil.which("setpriv"):
        print("PostgreSQL cannot run as root and setpriv is missing: skipped")
        return SKIPPED
    top = tempfile.mkdtemp(prefix=prefix)
    cluster = Cluster(bindir, top)
    try:
        cluster.initdb()
        problems = prepare(top, bex, bexforge)
        error = cluster.start()
        if error:
            print(error)
            return 1
        problems += check(top, bex, bexforge, cluster, problems)
        for p in problems[:50]:
            print(p)
        return 1 if problems else 0
    finally:
        cluster.stop()
        shutil.rmtree(top, ignore_errors=True)


def main():
    def prepare(top, bex, bexforge):
        problems = []
        for scenario in ROADS:
            problems += ["%s: %s" % (scenario, p) for p in unload(scenario, os.path.join(top, scenario), bex, bexforge)]
        return problems

    def check(top, _bex, _bexforge, cluster, found):
        problems = []
        for scenario in ROADS:
            if not any(p.startswith(scenario + ":") for p in found):
                problems += ["%s: %s" % (scenario, p) for p in load(scenario, os.path.join(top, scenario), cluster)]
        return problems

    return run_with_cluster(__doc__, "bex-pg.", prepare, check)


if __name__ == "__main__":
    sys.exit(main())

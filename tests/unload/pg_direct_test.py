#!/usr/bin/env python3
"""pg_direct_test.py BEX BEXFORGE

UNLOAD TABLE ... TO 'postgresql://...' into a real, throwaway PostgreSQL
cluster (started as pg_load_test.py starts one), and every row and value
compared with what the forge stored, as the load script's test compares
them: the bundled sample database and the CSV schema (every scalar type,
awkward text bytes, NULL and empty values, LOBs, partitions, a cluster);
the CSV schema once more with COPY in text rather than binary.
The same through bex recover --to, with --threads 1 and 2 (two
tables at once, the same contents and summary). Then on the same tables:
- the connection string's password appears in no output and no file;
- a table that already holds rows is not appended to, unless APPEND;
- a row the server refuses goes to the reject file with the reason, the
  other rows are loaded and the summary counts it;
- a server stopped in the middle of a table leaves nothing of the table and
  the run says so, naming the tables loaded completely before, by this
  connection or, in bex recover --to --threads 2, by the other.
Exits 77 (skipped) when PostgreSQL is not installed.
"""
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pg_load_test as pgl  # noqa: E402

PASSWORD = "s3cr3t-pw"


def target(cluster):
    return "postgresql://%s:%s@/%s?host=%s" % (pgl.USER, PASSWORD, pgl.DB, cluster.top)


def run_bex(bex, work, statements, env=None):
    r = subprocess.run([bex], input="\n".join(statements + ["EXIT"]) + "\n", cwd=work, capture_output=True, text=True,
                       env=env)
    return r.stdout


def unload_lines(work, user, to):
    """The UNLOAD lines LIST TABLE wrote for user, each sending its rows to `to`."""
    lines = open(os.path.join(work, "list_%s.sql" % user)).read().splitlines()
    return [re.sub(r" TO \S+;$", " TO %s;" % to, line) for line in lines if "UNLOAD TABLE" in line]


def forge(scenario, work, bex, bexforge):
    os.makedirs(work)
    subprocess.run([bexforge, scenario, "."], cwd=work, check=True, capture_output=True)
    settings, users = pgl.ROADS[scenario]
    run_bex(bex, work, settings + ["UNLOAD TABLE DICT$;"] + ["LIST TABLE %s TO list_%s.sql" % (u, u) for u in users])


def secrets_in(work, out):
    """Where the password shows: the output, or a file of the working directory."""
    found = ["output"] if PASSWORD in out else []
    for top, _, files in os.walk(work):
        for f in files:
            with open(os.path.join(top, f), "rb") as fh:
                if PASSWORD.encode() in fh.read():
                    found.append(os.path.join(top, f))
    return found


def direct(scenario, work, bex, cluster, copy_format=None):
    """Every table of the scenario straight into PostgreSQL, through a script
    (its lines are echoed) and SET PG_TARGET, with COPY in its default
    format or the one given; problems found."""
    settings, users = pgl.ROADS[scenario]
    env = dict(os.environ, BEX_TEST_PG_COPY=copy_format) if copy_format else None
    if copy_format:
        cluster.psql(pgl.DB, "".join("DROP SCHEMA IF EXISTS %s CASCADE;" % pgl.pg_name(u) for u in users))
    lines = []
    for u in users:
        lines += unload_lines(work, u, "PG_TARGET")
    with open(os.path.join(work, "to_pg.sql"), "w") as f:
        f.write("\n".join(lines) + "\n")
    out = run_bex(bex, work, settings + ["SET PG_TARGET '%s'" % target(cluster), "LOG unload.log", "@to_pg.sql"], env)
    problems = ["password shown in %s" % w for w in secrets_in(work, out)]
    if "rows loaded into" not in out:
        problems.append("no table loaded:\n" + out[-3000:])
    problems += [line for line in out.splitlines() if "refused" in line or "Cannot" in line or "failed" in line]
    found, tables, rows, by_owner = pgl.compare(cluster, os.path.join(work, "expect", "load"))
    problems += found
    problems += ["%s: no rows compared" % u for u in users if not by_owner.get(u)]
    if not problems:
        print("%s: %d tables, %d rows as forged, straight into PostgreSQL%s" %
              (scenario, tables, rows, " (COPY in %s)" % copy_format if copy_format else ""))
    return problems


# At every CREATE TABLE (each table load creates its staging table): a
# moment's wait, then the number of connections in a transaction noted.
# The largest is the number of tables a recovery loaded at once.
BUSY = """CREATE TABLE public.bex_busy (loading bigint);
CREATE FUNCTION public.bex_note_busy() RETURNS event_trigger LANGUAGE plpgsql AS $$BEGIN
  PERFORM pg_sleep(0.05);
  INSERT INTO public.bex_busy SELECT count(*) FROM pg_stat_activity
    WHERE backend_type = 'client backend' AND xact_start IS NOT NULL AND pid <> pg_backend_pid();
END$$;
CREATE EVENT TRIGGER bex_busy ON ddl_command_end WHEN TAG IN ('CREATE TABLE') EXECUTE FUNCTION public.bex_note_busy();"""


def contents(cluster, users):
    """Every table of the users' schemas with a digest of its sorted rows."""
    schemas = ", ".join("'%s'" % pgl.pg_name(u).strip('"') for u in users)
    names = cluster.psql(pgl.DB, "SELECT format('%%I.%%I', n.nspname, c.relname) FROM pg_class c JOIN pg_namespace n "
                         "ON n.oid = c.relnamespace WHERE c.relkind = 'r' AND n.nspname IN (%s) ORDER BY 1" % schemas)
    return [(t, cluster.psql(pgl.DB, "SELECT count(*), md5(coalesce(string_agg(r::text, E'\\n' ORDER BY r::text), "
                             "'')) FROM %s r" % t).stdout.strip()) for t in names.stdout.split()]


def recovered(scenario, work, bex, cluster, threads=1):
    """bex recover --to --threads n: the scenario's schemas dropped, every
    table recovered straight into PostgreSQL; problems found, the summary
    and the tables' contents."""
    settings, users = pgl.ROADS[scenario]
    cluster.psql(pgl.DB, "".join("DROP SCHEMA IF EXISTS %s CASCADE;" % pgl.pg_name(u) for u in users) +
                 "TRUNCATE public.bex_busy;")
    out_dir = os.path.join(work, "recovered%d" % threads)
    cfg = settings[-1].split()[1]  # the OPEN of the road
    r = subprocess.run([bex, "recover", "-o", out_dir, "--to", target(cluster), "-l", cfg, "--threads", str(threads)],
                       cwd=work, capture_output=True, text=True)
    out = r.stdout + r.stderr
    summary = out[out.find("Into PostgreSQL"):out.find("\nReport: ")]
    print("-- bex recover --to --threads %d (%s):\n%s" % (threads, scenario, summary.strip()))
    at_once = cluster.psql(pgl.DB, "SELECT max(loading) + 1 FROM public.bex_busy").stdout.strip()
    problems = ["password shown in %s" % w for w in secrets_in(out_dir, out)]
    found, tables, rows, by_owner = pgl.compare(cluster, os.path.join(work, "expect", "load"))
    problems += found + ["%s: no rows compared" % u for u in users if not by_owner.get(u)]
    loaded = re.findall(r"^  \S+.*: (\d+) rows loaded, 0 rejected$", summary, re.M)
    if len(loaded) < tables or sum(int(n) for n in loaded) != rows:  # a line per partition
        problems.append("the summary does not say the %d rows of %d tables loaded:\n%s" % (rows, tables, out[-2000:]))
    if at_once != str(threads):
        problems.append("%s tables loaded at once, not %d" % (at_once, threads))
    return problems, summary, contents(cluster, users)


def in_parallel(scenario, work, bex, cluster):
    """--threads 2 against --threads 1: two tables at once, the same summary in
    the same order, the same tables with the same rows; problems found."""
    problems, summary, tables = recovered(scenario, work, bex, cluster)
    found, summary2, tables2 = recovered(scenario, work, bex, cluster, 2)
    problems += ["--threads 2: " + p for p in found]
    if summary2 != summary:
        problems.append("--threads 2 summary:\n%s\n--threads 1:\n%s" % (summary2, summary))
    if tables2 != tables or not tables:
        problems.append("--threads 2 left other contents than --threads 1:\n%s\n%s" % (tables2, tables))
    return problems


def count(cluster, table):
    r = cluster.psql(pgl.DB, "SELECT count(*) FROM %s" % table)
    return int(r.stdout.strip()) if r.returncode == 0 else -1


def first_table(work, user):
    """An UNLOAD line of a table with at least three rows, its PostgreSQL
    name, the forge's rows and the PostgreSQL types of its columns."""
    types = None
    for line in unload_lines(work, user, "X"):
        name = line.split()[2].rstrip(";")
        path = os.path.join(work, "expect", "load", name)
        if not os.path.exists(path):
            continue
        rows = pgl.read_oracle(path)
        if len(rows) >= 3 and rows[0][0] is not None:
            owner, table = name.split(".", 1)
            return line, pgl.pg_name(owner) + "." + pgl.pg_name(table), rows, types
    return None


def refusals(work, bex, cluster):
    """APPEND, a refused row and its reject file, on a table already loaded."""
    problems = []
    found = first_table(work, "SCOTT")
    if not found:
        return ["dict: no table of three rows"]
    line, qualified, rows, _ = found
    unload = line.replace(" TO X;", " TO '%s';" % target(cluster))
    before = count(cluster, qualified)
    out = run_bex(bex, work, ["OPEN dict.cfg", unload])
    if "already holds rows" not in out or count(cluster, qualified) != before:
        problems.append("a table with rows was appended to:\n" + out[-1500:])
    out = run_bex(bex, work, ["OPEN dict.cfg", unload.replace(";", " APPEND;")])
    if count(cluster, qualified) != 2 * before:
        problems.append("APPEND did not add the rows:\n" + out[-1500:])
    # A check the first row fails: that row is refused, the others load.
    col = cluster.psql(pgl.DB, "SELECT a.attname, format_type(a.atttypid, a.atttypmod) FROM pg_attribute a "
                       "WHERE a.attrelid = '%s'::regclass AND a.attnum = 1" % qualified).stdout.strip().split("|")
    check = "ALTER TABLE %s ADD CONSTRAINT bex_refuse CHECK (\"%s\" IS DISTINCT FROM %s)" % (
        qualified, col[0], pgl.literal(rows[0][0], col[1]))
    r = cluster.psql(pgl.DB, "TRUNCATE %s; %s;" % (qualified, check))
    if r.returncode != 0:
        return problems + ["cannot add the check: " + r.stderr]
    refused = sum(1 for row in rows if row[0] == rows[0][0])
    out = run_bex(bex, work, ["OPEN dict.cfg", unload])
    print("-- a refused row:\n" + "\n".join(l for l in out.splitlines() if l.startswith("  ") or "unload" in l))
    if count(cluster, qualified) != len(rows) - refused:
        problems.append("%d rows loaded, %d expected" % (count(cluster, qualified), len(rows) - refused))
    if "  %d rows refused by PostgreSQL" % refused not in out:
        problems.append("the summary does not count the refused row:\n" + out[-1500:])
    rejects = [f for f in os.listdir(work) if f.endswith("_pg.rej")]
    text = open(os.path.join(work, rejects[0])).read() if rejects else ""
    # The whole reason on the row's comment line, its detail included.
    if "bex_refuse" not in text or "Failing row contains" not in text or text.count("\n") != 2 * refused:
        problems.append("reject file %s: %r" % (rejects, text[:500]))
    cluster.psql(pgl.DB, "ALTER TABLE %s DROP CONSTRAINT bex_refuse" % qualified)
    problems += ["password shown in %s" % w for w in secrets_in(work, out)]
    return problems


def server_gone(work, bex, cluster):
    """The server stopped while a table loads: the table is rolled back."""
    found = first_table(work, "SCOTT")
    line, qualified, rows, _ = found
    # The insert waits long enough for the server to be stopped under it.
    cluster.psql(pgl.DB, "TRUNCATE %s; CREATE FUNCTION bex_wait() RETURNS trigger LANGUAGE plpgsql AS "
                 "$$BEGIN PERFORM pg_sleep(60); RETURN NEW; END$$; CREATE TRIGGER bex_wait BEFORE INSERT ON %s "
                 "FOR EACH STATEMENT EXECUTE FUNCTION bex_wait();" % (qualified, qualified))
    unload = line.replace(" TO X;", " TO '%s';" % target(cluster))
    # Another table loaded completely before, in the same run.
    other = next(l for l in unload_lines(work, "SCOTT", "'%s' APPEND" % target(cluster)) if l.split()[2] != line.split()[2])
    other_name = ".".join(pgl.pg_name(n) for n in other.split()[2].split(".", 1))
    p = subprocess.Popen([bex], stdin=subprocess.PIPE, stdout=subprocess.PIPE, cwd=work, text=True)
    p.stdin.write("OPEN dict.cfg\n%s\n%s\nEXIT\n" % (other, unload))
    p.stdin.close()
    for _ in range(300):
        r = cluster.psql(pgl.DB, "SELECT count(*) FROM pg_stat_activity WHERE wait_event = 'PgSleep'")
        if r.stdout.strip() not in ("", "0"):
            break
        time.sleep(0.1)
    cluster.server("pg_ctl", "-D", cluster.data, "-w", "-s", "-m", "fast", "stop")
    out = p.stdout.read()
    p.wait()
    print("-- the server stopped in the middle of a table:\n" +
          "\n".join(l for l in out.splitlines() if l.startswith("  ") or "unload" in l))
    cluster.started = False
    error = cluster.start_server()
    if error:
        return [error]
    problems = []
    if "the table is rolled back" not in out:
        problems.append("no word of the lost table:\n" + out[-1500:])
    if "Write error" in out or "incomplete" in out:
        problems.append("a misleading line after the rollback:\n" + out[-1500:])
    complete = [l for l in out.splitlines() if l.startswith("  Complete in PostgreSQL")]
    if not complete or other_name not in complete[0] or qualified in complete[0]:
        problems.append("the tables complete are not named:\n" + out[-1500:])
    if count(cluster, qualified) != 0:
        problems.append("rows of the lost table remain")
    return problems


HANG_FIRST = """CREATE SEQUENCE public.bex_hang_seq;
CREATE FUNCTION public.bex_hang_first() RETURNS event_trigger LANGUAGE plpgsql AS $$
DECLARE r record;
BEGIN
  FOR r IN SELECT * FROM pg_event_trigger_ddl_commands() WHERE command_tag = 'CREATE TABLE'
      AND schema_name NOT LIKE 'pg_temp%' LOOP
    IF nextval('public.bex_hang_seq') = 1 THEN
      EXECUTE format('CREATE TRIGGER bex_wait BEFORE INSERT ON %s FOR EACH STATEMENT '
                     'EXECUTE FUNCTION public.bex_wait()', r.object_identity);
    END IF;
  END LOOP;
END$$;
CREATE FUNCTION public.bex_wait() RETURNS trigger LANGUAGE plpgsql AS
  $$BEGIN PERFORM pg_sleep(60); RETURN NEW; END$$;
CREATE EVENT TRIGGER bex_hang_first ON ddl_command_end EXECUTE FUNCTION public.bex_hang_first();"""


def server_gone_in_parallel(scenario, work, bex, cluster):
    """bex recover --to --threads 2 with the server stopped while the first
    table created loads and the other connection has loaded every other
    table: the loss names those as complete."""
    settings, users = pgl.ROADS[scenario]
    cluster.psql(pgl.DB, "".join("DROP SCHEMA IF EXISTS %s CASCADE;" % pgl.pg_name(u) for u in users) + HANG_FIRST)
    out_dir = os.path.join(work, "gone2")
    cfg = settings[-1].split()[1]
    p = subprocess.Popen([bex, "recover", "-o", out_dir, "--to", target(cluster), "-l", cfg, "--threads", "2"],
                         cwd=work, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    others = "SELECT count(*) FROM pg_stat_activity WHERE backend_type = 'client backend' AND pid <> pg_backend_pid()"
    for _ in range(600):  # the hung table's connection alone is left
        sleeping = cluster.psql(pgl.DB, "SELECT count(*) FROM pg_stat_activity WHERE wait_event = 'PgSleep'")
        if sleeping.stdout.strip() == "1" and cluster.psql(pgl.DB, others).stdout.strip() == "1":
            break
        time.sleep(0.1)
    # Tables another session sees are committed: loaded completely.
    schemas = ", ".join("'%s'" % pgl.pg_name(u).strip('"') for u in users)
    loaded = cluster.psql(pgl.DB, "SELECT format('\"%%s\".\"%%s\"', schemaname, tablename) FROM pg_tables "
                          "WHERE schemaname IN (%s)" % schemas).stdout.split()
    cluster.server("pg_ctl", "-D", cluster.data, "-w", "-s", "-m", "fast", "stop")
    p.communicate()
    cluster.started = False
    error = cluster.start_server()
    if error:
        return [error]
    cluster.psql(pgl.DB, "DROP EVENT TRIGGER bex_hang_first")
    with open(os.path.join(out_dir, "bexrecover.log"), encoding="utf-8", errors="replace") as f:
        log = f.read()
    complete = [l for l in log.splitlines() if l.startswith("  Complete in PostgreSQL")]
    print("-- --threads 2, the server stopped under the first table:\n" + "\n".join(complete))
    if not loaded:
        return ["no table was loaded beside the hung one"]
    if not complete or not all(name in complete[0] for name in loaded):
        return ["the tables the other connection loaded are not named complete (%s):\n%s" % (loaded, log[-1500:])]
    return []


def main():
    def prepare(top, bex, bexforge):
        for scenario in pgl.ROADS:
            forge(scenario, os.path.join(top, scenario), bex, bexforge)
        return []

    def check(top, bex, _bexforge, cluster, _found):
        problems = []
        for scenario in pgl.ROADS:
            problems += ["%s: %s" % (scenario, p) for p in direct(scenario, os.path.join(top, scenario), bex, cluster)]
        # COPY in text, the other format: the CSV schema's awkward bytes.
        problems += ["csv, COPY in text: %s" % p for p in direct("csv", os.path.join(top, "csv"), bex, cluster, "text")]
        cluster.psql(pgl.DB, BUSY)
        for scenario in pgl.ROADS:
            problems += ["%s: %s" % (scenario, p) for p in in_parallel(scenario, os.path.join(top, scenario), bex, cluster)]
        cluster.psql(pgl.DB, "DROP EVENT TRIGGER bex_busy")
        if not problems:
            problems += refusals(os.path.join(top, "dict"), bex, cluster)
            problems += server_gone(os.path.join(top, "dict"), bex, cluster)
        if not problems:
            problems += server_gone_in_parallel("dict", os.path.join(top, "dict"), bex, cluster)
        return problems

    return pgl.run_with_cluster(__doc__, "bex-pgd.", prepare, check)


if __name__ == "__main__":
    sys.exit(main())

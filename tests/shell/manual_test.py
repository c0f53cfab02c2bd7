#!/usr/bin/env python3
"""manual_test.py BEX MANPAGE SOURCE_DIR

`bex --help` and the manual page bex.1 tell the same story and leave nothing
out: every statement keyword of the shell's dispatch table and every key
that `SET` lists is a term of the help's lists, and every term of those
lists is a term of the page. The page is then checked by man (groff) for
warnings; that part is skipped, and says so, without man."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

# Statements the command loop takes before the keyword table.
PREFIX_COMMANDS = ["@", "HOST", "!", "#"]


def help_terms(help_text, heading):
    """The indented terms under the line starting with heading."""
    lines = help_text.splitlines()
    start = next((i for i, line in enumerate(lines) if line.startswith(heading)), len(lines))
    terms = []
    for line in lines[start + 1:]:
        if not line.startswith("  "):
            break
        terms.append(line.strip())
    return terms


def page_terms(page):
    """The tagged-paragraph terms of a roff page, as plain text."""
    lines = page.splitlines()
    terms = [lines[i + 1] for i, line in enumerate(lines[:-1]) if line == ".TP"]
    plain = []
    for t in terms:
        for esc, ch in (("\\fB", ""), ("\\fR", ""), ("\\-", "-"), ("\\&", ""), ("\\e", "\\")):
            t = t.replace(esc, ch)
        plain.append(t)
    return plain


def starts_some(keyword, terms):
    """Whether one of the comma-separated forms of a term starts with keyword."""
    for term in terms:
        for form in term.split(", "):
            if form == keyword or form.startswith(keyword + " ") or (keyword == "@" and form.startswith("@")):
                return True
    return False


def main():
    bex, man_page, source = (os.path.abspath(a) for a in sys.argv[1:4])
    faults = []
    help_text = subprocess.run([bex, "--help"], capture_output=True, text=True, check=True).stdout
    statements = help_terms(help_text, "Statements")
    settings = help_terms(help_text, "Settings")
    with open(man_page, encoding="ascii") as f:
        page = f.read()
    in_page = set(page_terms(page))

    with open(os.path.join(source, "src/shell/commands.cc")) as f:
        keywords = re.findall(r'^\s*\{"([A-Z$]+)", cmd\w+\}', f.read(), re.M)
    if len(keywords) < 10:
        faults.append("the keyword table of src/shell/commands.cc was not found")
    for kw in keywords + PREFIX_COMMANDS:
        if not starts_some(kw, statements):
            faults.append(f"statement {kw} is not in the help's statement list")

    with tempfile.TemporaryDirectory() as scratch:  # bex makes BEXDICT where it runs
        listed = subprocess.run([bex, "-e", "SET"], capture_output=True, text=True, cwd=scratch).stdout
    keys = re.findall(r"^  SET (\w+)", listed, re.M)
    if len(keys) < 10:
        faults.append("SET listed no keys")
    for key in keys:
        if not starts_some(key, settings):
            faults.append(f"setting {key} is not in the help's settings list")

    for term in statements + settings:
        if term not in in_page:
            faults.append(f"help term '{term}' is no term of the manual page")
    for word in ("bex recover", "EXIT STATUS", "FILES", "BEXDICT"):
        if word not in page.replace("\\-", "-").replace("\\fB", "").replace("\\fR", ""):
            faults.append(f"the manual page does not mention {word}")

    if shutil.which("man") and shutil.which("groff"):
        lint = subprocess.run(["man", "--warnings", "-l", man_page], capture_output=True, text=True,
                              env=dict(os.environ, MANWIDTH="80", MANPAGER="cat", PAGER="cat"))
        if lint.returncode != 0 or lint.stderr.strip():
            faults.append("man --warnings: " + lint.stderr.strip())
    else:
        print("SKIPPED: the manual page lint (no man or groff here)")

    for f in faults:
        print("FAIL:", f)
    print(f"{len(statements)} statements, {len(settings)} settings, {len(keywords)} keywords checked")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

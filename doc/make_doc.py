#!/usr/bin/env python3
"""make_doc.py SOURCE VERSION OUTDIR: writes OUTDIR/bex.1 (the manual page)
and OUTDIR/help_text.h (kUsage, the text of `bex --help`) from SOURCE, whose
markup its own header describes. The same source gives the same bytes."""
import re
import sys
import textwrap

WIDTH = 76


def read_blocks(lines):
    """The page header and its sections: (heading, mode, help heading,
    blocks), a block being ("text", lines), ("verbatim", lines) or
    ("item", term, lines)."""
    page, sections, block = None, [], None
    for n, raw in enumerate(lines, 1):
        line = raw.rstrip("\n")
        if line.startswith("#"):
            continue
        if not line.strip():
            block = None
            continue
        if line.startswith("@page "):
            page = line.split(None, 3)[1:]
        elif line.startswith("@section "):
            words = line[len("@section "):].split(" ")
            heading = []
            while words and words[0].isupper():
                heading.append(words.pop(0))
            mode = words.pop(0) if words else ""
            if mode not in ("", "help", "usage", "terms"):
                sys.exit(f"line {n}: unknown mode '{mode}'")
            sections.append((" ".join(heading), mode, " ".join(words), []))
            block = None
        elif line.startswith("@item "):
            block = ("item", line[len("@item "):], [])
            sections[-1][3].append(block)
        elif line.startswith("|"):
            if block is None or block[0] != "verbatim":
                block = ("verbatim", [])
                sections[-1][3].append(block)
            block[1].append(line[2:])
        else:
            if block is None or block[0] == "verbatim":
                block = ("text", [])
                sections[-1][3].append(block)
            block[-1].append(line)
    if page is None:
        sys.exit("no @page line")
    return page, sections


# The page -----------------------------------------------------------------

def roff_escape(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text[:1] in (".", "'") else text


def roff_text(line):
    parts = line.split("`")
    if len(parts) % 2 == 0:
        sys.exit(f"unbalanced ` in: {line}")
    return "".join(roff_escape(p) if i % 2 == 0 else "\\fB" + roff_escape(p) + "\\fR" for i, p in enumerate(parts))


def man_page(page, sections, version):
    name, section, manual = page
    # Statement and file names are not hyphenated, and lines are not spread.
    out = [f'.TH {name.upper()} {section} "" "{name} {version}" "{manual}"', ".nh", ".ad l"]
    for heading, _, _, blocks in sections:
        out.append(f".SH {heading}")
        first = True
        for block in blocks:
            if block[0] == "item":
                out += [".TP", "\\fB" + roff_escape(block[1]) + "\\fR"]
                out += [roff_text(line) for line in block[2]]
            elif block[0] == "verbatim":
                out += ([] if first else [".PP"]) + [".nf"] + [roff_escape(line) for line in block[1]] + [".fi"]
            else:
                out += ([] if first else [".PP"]) + [roff_text(line) for line in block[1]]
            first = False
    return "\n".join(out) + "\n"


# The help text --------------------------------------------------------------

def plain(lines, indent=""):
    text = " ".join(lines).replace("`", "")
    return textwrap.fill(text, WIDTH, initial_indent=indent, subsequent_indent=indent,
                         break_on_hyphens=False, break_long_words=False)


def help_section(mode, help_heading, blocks):
    if mode == "usage":
        lines = [b for block in blocks if block[0] == "verbatim" for b in block[1]]
        return ["\n".join(("Usage: " if i == 0 else "       ") + line for i, line in enumerate(lines))]
    if mode == "terms":
        return ["\n".join([help_heading] + ["  " + block[1] for block in blocks if block[0] == "item"])]
    parts = []
    for block in blocks:
        if block[0] == "item":
            parts.append("  " + block[1] + "\n" + plain(block[2], "      "))
        elif block[0] == "verbatim":
            parts.append("\n".join(block[1]))
        else:
            parts.append(plain(block[1]))
    return parts


def help_text(sections):
    parts = []
    for _, mode, help_heading, blocks in sections:
        if mode:
            parts += help_section(mode, help_heading, blocks)
    return "\n\n".join(parts) + "\n"


def c_header(text):
    def literal(line):
        return '"' + line.replace("\\", "\\\\").replace('"', '\\"') + '\\n"'
    body = "\n".join("    " + literal(line) for line in text.rstrip("\n").split("\n"))
    return ("// Written by doc/make_doc.py from doc/bex.doc: edit that file.\n"
            "#pragma once\n\n"
            "// The text of bex --help.\n"
            f"constexpr char kUsage[] =\n{body};\n")


def write(path, text):
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write(text)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    source, version, outdir = sys.argv[1:]
    with open(source, encoding="ascii") as f:
        page, sections = read_blocks(f)
    write(f"{outdir}/bex.1", man_page(page, sections, version))
    write(f"{outdir}/help_text.h", c_header(help_text(sections)))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""report_page.py BEX BEXFORGE BEXDAMAGE

The REPORT page of a damaged forged database, rendered by headless
Chromium: bit flips in one data file, the other cut short. The page's text
(as the browser's DOM holds it) names the unloaded tables, their rows and
their rejected blocks; every damaged block is in a cell marked as failing
the checksum or unreadable; and the rendered picture shows both colours.
Skipped (exit 77) when Chromium is not installed.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib
from html.parser import HTMLParser

BEX, FORGE, DAMAGE = sys.argv[1:4]
BS = 8192
CHECKSUM_RGB = (0xD6, 0x27, 0x28)
UNREADABLE_RGB = (0x1B, 0x1B, 0x1B)
failures = []


def fail(msg):
    failures.append(msg)
    print("FAIL:", msg)


def browser():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        if shutil.which(name):
            return shutil.which(name)
    return None


class Cells(HTMLParser):
    """The map cells (class and title) and the page's text."""

    def __init__(self):
        super().__init__()
        self.cells, self.text = [], []

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "i" and "title" in a:
            self.cells.append((a.get("class", ""), a["title"]))

    def handle_data(self, data):
        self.text.append(data)


def pixels(png):
    """The RGB(A) rows of an 8-bit, non-interlaced PNG."""
    assert png[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat = 8, b""
    while pos < len(png):
        length, kind = struct.unpack(">I4s", png[pos:pos + 8])
        body = png[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, color = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and color in (2, 6)
            bpp = 3 if color == 2 else 4
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride, rows, prev = zlib.decompress(idat), width * bpp, [], bytearray(width * bpp)
    for y in range(height):
        f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - bpp] if x >= bpp else 0
            b, c = prev[x], prev[x - bpp] if x >= bpp else 0
            if f == 1:
                line[x] = (line[x] + a) & 255
            elif f == 2:
                line[x] = (line[x] + b) & 255
            elif f == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return rows, bpp


def cells_of_colour(rows, bpp, rgb, width=10):
    """Rows of the picture holding a run of `width` pixels of that colour
    (a map cell: not a letter, nor a swatch of the legend)."""
    run = bytes(rgb) * width if bpp == 3 else b"".join(bytes(rgb) + b"\xff" for _ in range(width))
    return sum(1 for row in rows if run in row)


chromium = browser()
if not chromium:
    print("SKIPPED: Chromium is not installed; the report page was not rendered")
    sys.exit(77)

with tempfile.TemporaryDirectory(prefix="bex-page.") as work:
    subprocess.run([FORGE, "unload", "."], cwd=work, check=True, stdout=subprocess.DEVNULL)
    flipped = subprocess.run([DAMAGE, "flip", "u07.dbf", str(BS), "7", "10"], cwd=work, check=True,
                             capture_output=True, text=True).stdout.split()
    cut = subprocess.run([DAMAGE, "truncate", "u600.dbf", str(BS), "5"], cwd=work, check=True,
                         capture_output=True, text=True).stdout.split()
    statements = ("SET BLOCK_CHECK 1; OPEN unload.cfg; SCAN DATABASE; "
                  "UNLOAD OBJECT 81001 COLUMN NUMBER COLUMN VARCHAR2 TO o81001.txt; "
                  "UNLOAD OBJECT 81002 COLUMN NUMBER COLUMN VARCHAR2 TO o81002.txt; REPORT TO page.html")
    run = subprocess.run([BEX, "-e", statements], cwd=work, capture_output=True, text=True, timeout=120)
    if run.returncode != 0 or "written to page.html" not in run.stdout:
        fail(f"REPORT did not write the page (status {run.returncode}): {run.stdout[-300:]}")
    page = "file://" + os.path.join(work, "page.html")
    common = [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars"]
    # Both renderings at once, each with a profile of its own.
    dom = subprocess.Popen(common + ["--user-data-dir=" + os.path.join(work, "p1"), "--dump-dom", page],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    shot = subprocess.Popen(common + ["--user-data-dir=" + os.path.join(work, "p2"), "--window-size=1280,1600",
                                      "--screenshot=" + os.path.join(work, "page.png"), page],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    html = dom.communicate(timeout=120)[0].decode()
    shot.wait(timeout=120)

    parsed = Cells()
    parsed.feed(html)
    text = re.sub(r"\s+", " ", "".join(parsed.text))
    for want in ("BEX recovery report", "Unloaded tables", "OBJECT 81001", "OBJECT 81002", "o81001.txt",
                 "File 7: u07.dbf", "File 600: u600.dbf", "failing the checksum: " + str(len(flipped))):
        if want not in text:
            fail(f"the page's text lacks {want!r}")
    marked = {}
    for cls, title in parsed.cells:
        for address in re.findall(r"\b(\d+/\d+)\b", title.split("damaged:")[1] if "damaged:" in title else ""):
            marked[address] = cls
    for b in flipped:
        if marked.get(f"7/{b}") != "cC":
            fail(f"block 7/{b} (bit flipped) is not in a cell marked as failing the checksum")
    for b in cut:
        if marked.get(f"600/{b}", "cU") != "cU":
            fail(f"block 600/{b} (cut off) is in a cell marked {marked.get(f'600/{b}')}")
    if not any(cls == "cU" for cls, _ in parsed.cells):
        fail("no cell is marked unreadable")

    if not os.path.exists(os.path.join(work, "page.png")):
        fail("Chromium wrote no picture")
    else:
        with open(os.path.join(work, "page.png"), "rb") as f:
            rows, bpp = pixels(f.read())
        red, black = cells_of_colour(rows, bpp, CHECKSUM_RGB), cells_of_colour(rows, bpp, UNREADABLE_RGB)
        if red == 0 or black == 0:
            fail(f"the rendered page shows {red} rows of checksum cells and {black} of unreadable ones")
        print(f"page: {len(parsed.cells)} cells, {len(flipped)} flipped and {len(cut)} cut blocks; "
              f"rendered: {red} pixel rows of checksum cells, {black} of unreadable ones")

print(f"report page: {len(failures)} failed")
sys.exit(1 if failures else 0)

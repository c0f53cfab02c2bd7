#!/usr/bin/env python3
"""suite_listing.py CTEST BUILD_DIR

The test list itself: every test carries a TIMEOUT (a hung test fails
instead of holding up the run), and the names CTest found in the
GoogleTest binaries are the names a fresh listing of those binaries gives
(a name that changes from run to run, such as one that prints an address,
cannot be selected or compared between runs).
"""
import json
import re
import subprocess
import sys


def listed_names(binary):
    """The names of a fresh --gtest_list_tests, as CTest composes them."""
    out = subprocess.run([binary, "--gtest_list_tests"], capture_output=True, text=True, timeout=60).stdout
    names, suite = set(), ""
    for line in out.splitlines():
        if not line.startswith(" "):
            suite = line.split("#")[0].strip()
            continue
        test = line.strip()
        if "#" in test:  # GoogleTestAddTests.cmake: a numbered case is named by its value
            test = re.sub(r"/[0-9]+[ #]+GetParam\(\) = ", "/", test)
        names.add(suite + test)
    return names


def main():
    ctest, build = sys.argv[1:3]
    listing = json.loads(subprocess.run([ctest, "--test-dir", build, "--show-only=json-v1"], capture_output=True,
                                        text=True, check=True).stdout)
    timeouts, problems, found = [], [], {}
    for t in listing["tests"]:
        props = {p["name"]: p["value"] for p in t.get("properties", [])}
        if not props.get("TIMEOUT"):
            timeouts.append("%s: no TIMEOUT" % t["name"])
        command = t.get("command", [])
        if any(a.startswith("--gtest_filter=") for a in command):
            found.setdefault(command[0], set()).add(t["name"])
    for binary, names in sorted(found.items()):
        fresh = listed_names(binary)
        for name in sorted(names - fresh):
            problems.append("%s: not in a fresh listing of %s" % (name, binary))
    problems += timeouts
    for p in problems[:50]:
        print(p)
    print("%d tests, %d GoogleTest binaries listed again, %d problems" % (len(listing["tests"]), len(found),
                                                                           len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

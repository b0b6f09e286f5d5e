#!/usr/bin/env python3
"""Adds up the GoogleTest XML reports of a test run and the ctest failures that left none.

usage: summarize-tests.py RESULTS.tsv

RESULTS.tsv has one line per stage: "<label>\t<results-dir or ->\t<ctest-log or ->\t<extra passed>\t<extra failed>".
Prints one line per stage and ends with the line "N passed, N failed".
"""
import glob
import re
import os
import sys
import xml.etree.ElementTree as ET


def gtest_counts(results_dir):
    passed = failed = skipped = 0
    seen = set()
    for path in sorted(glob.glob(os.path.join(results_dir, "*.xml"))):
        seen.add(os.path.splitext(os.path.basename(path))[0])
        try:
            root = ET.parse(path).getroot()
        except ET.ParseError:
            failed += 1  # a report cut short: its executable died mid-run
            continue
        for case in root.iter("testcase"):
            if case.get("status") == "notrun" or case.find("skipped") is not None:
                skipped += 1
            elif case.find("failure") is not None or case.find("error") is not None:
                failed += 1
            else:
                passed += 1
    return passed, failed, skipped, seen


CTEST_LINE = re.compile(r"Test\s+#\d+: (\S+) [.*\s]*(.*?)\s+[\d.]+ sec")


def ctest_without_report(ctest_log, reported):
    """Tests that ctest ran but that left no GoogleTest report: plain command tests count
    one each by their ctest result; a suite that died before writing its report fails."""
    last = {}  # a test run again later in the log counts by its last result
    if os.path.exists(ctest_log):
        with open(ctest_log, errors="replace") as f:
            for line in f:
                m = CTEST_LINE.search(line)
                if m and m.group(1) not in reported:
                    last[m.group(1)] = m.group(2) == "Passed"
    passed = sum(1 for ok in last.values() if ok)
    return passed, len(last) - passed


def main():
    total_passed = total_failed = total_skipped = 0
    with open(sys.argv[1]) as f:
        for line in f:
            if not line.strip():
                continue
            label, results, build, extra_passed, extra_failed = line.rstrip("\n").split("\t")
            passed, failed, skipped = int(extra_passed), int(extra_failed), 0
            if results != "-":
                p, fl, s, seen = gtest_counts(results)
                passed, failed, skipped = passed + p, failed + fl, s
                if build != "-":
                    p, fl = ctest_without_report(build, seen)
                    passed, failed = passed + p, failed + fl
            print(f"  {label:<10} {passed} passed, {failed} failed" + (f", {skipped} skipped" if skipped else ""))
            total_passed += passed
            total_failed += failed
            total_skipped += skipped
    tail = f", {total_skipped} skipped" if total_skipped else ""
    print(f"{total_passed} passed, {total_failed} failed{tail}")
    return 1 if total_failed else 0


if __name__ == "__main__":
    sys.exit(main())

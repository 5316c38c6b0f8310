"""Mutation check of the library's unit tests (run through scripts/mutation.sh).

From a fixed seed it picks N small changes to the library's sources, applies
them one at a time, rebuilds (only the changed source recompiles), runs the
GoogleTest suite under CTest (label "unit": the GoogleTest binary's tests) with a timeout per test, and records whether a
test failed (killed), the suite passed (survived) or the build failed (not
counted). Every file is restored after each mutant, and on any exit.
"""
import argparse
import json
import os
import random
import re
import signal
import subprocess
import sys
import time

FOLDERS = ["blit", "codec", "dib", "animate", "canvas", "projector", "platform"]

COMPARISON_FLIPS = {" < ": " >= ", " >= ": " < ", " > ": " <= ", " <= ": " > ",
                    " == ": " != ", " != ": " == "}


def code_part(line):
    """The line with a trailing // comment cut, or None for lines not worth mutating."""
    stripped = line.strip()
    if not stripped or stripped.startswith(("//", "#", "*", "/*", "static_assert")):
        return None
    return line.split("//", 1)[0]


def candidates_in(path, lines):
    """Every (path, index, kind, new_line) mutation the line-level operators allow."""
    found = []
    in_block_comment = False
    for index, line in enumerate(lines):
        if in_block_comment:
            if "*/" in line:
                in_block_comment = False
            continue
        if line.strip().startswith("/*") and "*/" not in line:
            in_block_comment = True
            continue
        code = code_part(line)
        if code is None:
            continue
        rest = line[len(code):]
        for old, new in COMPARISON_FLIPS.items():
            for m in re.finditer(re.escape(old), code):
                found.append((path, index, "comparison flipped",
                              code[:m.start()] + new + code[m.end():] + rest))
        for m in re.finditer(r"(\w|\)) ([+-]) 1\b(?!\.)", code):
            found.append((path, index, "+/- 1 dropped",
                          code[:m.start() + 1] + code[m.end():] + rest))
        m = re.search(r"\breturn (\w+);", code)
        if m and not m.group(1) in ("true", "false", "nullptr"):
            found.append((path, index, "+ 1 added",
                          code[:m.start()] + "return " + m.group(1) + " + 1;" + code[m.end():] + rest))
        for m in re.finditer(r"(?<![\w.])(\d+)(?![\w.'])", code):
            value = int(m.group(1))
            found.append((path, index, "constant changed by one",
                          code[:m.start()] + str(value + 1) + code[m.end():] + rest))
        m = re.search(r"\bif \(", code)
        if m:
            depth, end = 0, None
            for i in range(m.end() - 1, len(code)):
                depth += {"(": 1, ")": -1}.get(code[i], 0)
                if depth == 0:
                    end = i
                    break
            if end is not None:
                cond = code[m.end():end]
                found.append((path, index, "condition negated",
                              code[:m.end()] + "!(" + cond + ")" + code[end:] + rest))
        stmt = re.match(r"^(\s+)(\w[\w:.\->\[\]]*(\(.*\)|\s*[+\-*/|&]?=\s*.+));\s*$", code)
        if stmt and not re.match(r"^\s+(return|const|auto|std::|int|unsigned|bool|static)\b", code):
            found.append((path, index, "statement removed", stmt.group(1) + ";\n"))
    return found


def all_candidates(root):
    found = []
    for folder in FOLDERS:
        for name in sorted(os.listdir(os.path.join(root, folder))):
            if not name.endswith(".cpp"):
                continue
            path = os.path.join(folder, name)
            with open(os.path.join(root, path)) as f:
                found.extend(candidates_in(path, f.read().splitlines(keepends=True)))
    return found


def run(cmd, timeout):
    try:
        return subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return None


def run_tests(cmd, list_failures):
    """The suite's exit status, and the names of the tests that failed when asked."""
    if not list_failures:
        return run(cmd, None), []
    done = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    failed = re.findall(r"^\s*\d+ - (\S+) \(", done.stdout.split("tests FAILED:")[-1], re.M) \
        if "tests FAILED:" in done.stdout else []
    return done.returncode, failed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--count", type=int, default=50)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--test-timeout", type=int, default=60)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--matrix", help="run every test of each mutant and append which failed "
                        "to this file (one JSON line a mutant): what each test catches")
    parser.add_argument("--only", help="comma-separated mutant numbers of this seed and count to run, "
                        "to check again what a test change may have let through")
    args = parser.parse_args()

    candidates = all_candidates(args.root)
    chosen = random.Random(args.seed).sample(candidates, min(args.count, len(candidates)))
    originals = {}

    def restore(*_):
        for path, text in originals.items():
            with open(os.path.join(args.root, path), "w") as f:
                f.write(text)
        originals.clear()

    def interrupted(signum, _frame):
        restore()
        sys.exit(128 + signum)

    signal.signal(signal.SIGINT, interrupted)
    signal.signal(signal.SIGTERM, interrupted)
    build = ["cmake", "--build", args.build, "-j%d" % args.jobs, "--target", "animate_tests"]
    test = ["ctest", "--test-dir", args.build, "-j%d" % args.jobs, "--timeout",
            str(args.test_timeout), "--stop-on-failure", "-L", "unit"]
    if args.matrix:
        test.remove("--stop-on-failure")
    killed = survived = unbuilt = 0
    print("%d candidate mutations; %d chosen with seed %d" % (len(candidates), len(chosen), args.seed))
    try:
        if run(build, None) != 0:
            sys.exit("the unmutated tree does not build")
        wanted = {int(n) for n in args.only.split(",")} if args.only else None
        for number, (path, index, kind, new_line) in enumerate(chosen, 1):
            if wanted is not None and number not in wanted:
                continue
            full = os.path.join(args.root, path)
            with open(full) as f:
                text = f.read()
            originals[path] = text
            lines = text.splitlines(keepends=True)
            old_line = lines[index]
            lines[index] = new_line
            with open(full, "w") as f:
                f.write("".join(lines))
            started = time.time()
            if run(build, None) != 0:
                verdict = "not counted (build failed)"
                unbuilt += 1
            else:
                status, failed = run_tests(test, args.matrix is not None)
                if status == 0:
                    verdict = "SURVIVED"
                    survived += 1
                else:
                    verdict = "killed"
                    killed += 1
                if args.matrix:
                    with open(args.matrix, "a") as f:
                        f.write(json.dumps({"mutant": number, "where": "%s:%d" % (path, index + 1),
                                            "kind": kind, "verdict": verdict, "failed": failed}) + "\n")
            restore()
            print("%2d %-26s %s:%d %-24s  %s  ->  %s  (%.0f s)" % (
                number, verdict, path, index + 1, kind, old_line.strip(), new_line.strip(),
                time.time() - started), flush=True)
    finally:
        restore()
        run(build, None)
    counted = killed + survived
    share = 100.0 * killed / counted if counted else 0.0
    print("killed %d, survived %d, not counted %d: killed share %.1f%%" % (killed, survived, unbuilt, share))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Console text reaches a UTF-8 terminal as UTF-8 and everything else as code
page 932: the programs run with standard output on a pseudo-terminal or a pipe,
in a UTF-8 or the C locale, with and without GWPOST_CONSOLE. Whatever the form,
the text is the same: a converted run shows exactly the code page 932 bytes of
a piped run, converted.

usage: console_charset.py BIN_DIR
"""
import os
import pty
import subprocess
import sys
import tempfile
import tty

BIN = os.path.abspath(sys.argv[1])
# Japanese texts of the runs in code page 932: the totals confirmation of
# postconv, a prompt of timehist, and the title of the result file.
DATA_OK = "デ－タ－ＯＫ？".encode("cp932")
PROMPT = "結果ファイル".encode("cp932")
TITLE = "試験流域".encode("cp932")

RUNS = [
    # (label, arguments, answers)
    ("postconv dialogue", ["postconv"], b"0\n1\nRUN.RES\n1\n"),
    ("postconv command line", ["postconv", "RUN.RES", "--kind", "restart", "-o", "out.dat"], b""),
    ("timehist dialogue", ["timehist"], b"1\nRUN.RES\nGRAPH.DAT\n"),
]

CASES = [
    # (label, standard output, environment, expected form)
    ("terminal in a UTF-8 locale", "terminal", {"LANG": "C.UTF-8"}, "utf-8"),
    ("terminal in a UTF-8 locale given by LC_ALL", "terminal", {"LC_ALL": "C.UTF-8", "LANG": "C"}, "utf-8"),
    ("terminal in the C locale", "terminal", {"LC_ALL": "C"}, "cp932"),
    ("pipe in a UTF-8 locale", "pipe", {"LANG": "C.UTF-8"}, "cp932"),
    ("pipe with GWPOST_CONSOLE=utf-8", "pipe", {"LANG": "C", "GWPOST_CONSOLE": "utf-8"}, "utf-8"),
    ("terminal with GWPOST_CONSOLE=cp932", "terminal", {"LANG": "C.UTF-8", "GWPOST_CONSOLE": "cp932"}, "cp932"),
]


def environment(settings):
    env = {k: v for k, v in os.environ.items() if k not in ("LC_ALL", "LC_CTYPE", "LANG", "GWPOST_CONSOLE")}
    env.update(settings)
    return env


def run(args, answers, output, settings, cwd):
    """Standard output of one run, its bytes unchanged by the terminal."""
    command = [os.path.join(BIN, args[0])] + args[1:]
    if output == "pipe":
        done = subprocess.run(command, input=answers, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              env=environment(settings), cwd=cwd, timeout=60)
        return done.stdout
    master, slave = pty.openpty()
    tty.setraw(slave)  # no line-end translation: the bytes as the program writes them
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=slave, stderr=subprocess.DEVNULL,
                               env=environment(settings), cwd=cwd)
    os.close(slave)
    process.stdin.write(answers)
    process.stdin.close()
    text = b""
    while True:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # the terminal is closed once the program has ended
            break
        if not chunk:
            break
        text += chunk
    os.close(master)
    process.wait(timeout=60)
    return text


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "RUN.TXT"), "wb") as f:
            f.write(b"title " + TITLE + b" SAMPLE\n")
            f.write(b"node 0 0 0 0 0\nnode 1 0 0 0 0\nnode 0 1 0 0 0\nelem 1 2 3 3 1 0\nstep 1 1.0\n")
        subprocess.run([os.path.join(BIN, "resultgen"), "text", "RUN.TXT", "RUN.RES"], cwd=work, check=True)
        with open(os.path.join(work, "GRAPH.DAT"), "wb") as f:
            f.write(b"    0    0    0    0    0\r\n    1\r\n      1\r\n    0\r\n    0\r\n    0\r\n")

        for label, args, answers in RUNS:
            reference = run(args, answers, "pipe", {"GWPOST_CONSOLE": "cp932"}, work)
            for needed in (TITLE, DATA_OK if args[0] == "postconv" and answers else None,
                           PROMPT if args[0] == "timehist" else None):
                if needed is not None and needed not in reference:
                    print(f"FAIL: {label}: the piped run lacks {needed!r}")
                    failures += 1
            as_utf8 = reference.decode("cp932").encode("utf-8")
            for case, output, settings, form in CASES:
                shown = run(args, answers, output, settings, work)
                expected = as_utf8 if form == "utf-8" else reference
                if shown != expected:
                    print(f"FAIL: {label}, {case}: expected {form} text")
                    print(f"  got      {shown[:240]!r}")
                    print(f"  expected {expected[:240]!r}")
                    failures += 1
    if failures == 0:
        print("console text is UTF-8 on UTF-8 terminals and code page 932 elsewhere, as GWPOST_CONSOLE forces")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

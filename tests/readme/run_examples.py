#!/usr/bin/env python3
"""Runs the README's console examples as written and compares what they
print with what the README shows.

Each ```console block is a list of "$ command" lines, a here-document's
lines with its command, each followed by what it prints. The commands run
in bash, in a fresh folder that is also HOME, with `pinworth` on simulated
devices (--sim is added where the example has none). A block right after
the line "<!-- needs a board -->" is skipped: its devices keep their state
from one command to the next, which --sim's fresh devices do not. Report
times differ from run to run: the leading seconds of a log line match any
time.

Usage: run_examples.py README.md PINWORTH
"""
import difflib
import os
import re
import subprocess
import sys
import tempfile

NEEDS_A_BOARD = "<!-- needs a board -->"
TIME = re.compile(r"^(\s*)\d+\.\d{6}(?=\s)")


def console_blocks(text):
    """(line number, lines) of each console block that runs on --sim."""
    lines = text.splitlines()
    n = 0
    while n < len(lines):
        if lines[n].strip() == "```console":
            start = n + 1
            previous = next((line.strip() for line in reversed(lines[:n])
                             if line.strip()), "")
            n += 1
            while lines[n].strip() != "```":
                n += 1
            if previous != NEEDS_A_BOARD:
                yield start + 1, lines[start:n]
        n += 1


def commands(block):
    """(command, expected lines) of each command in a block."""
    found = []
    n = 0
    while n < len(block):
        if not block[n].startswith("$ "):
            raise ValueError(f"output before a command: {block[n]!r}")
        command = block[n][2:]
        n += 1
        here = re.search(r"<<'(\w+)'", command)
        if here:
            while block[n] != here.group(1):
                command += "\n" + block[n]
                n += 1
            command += "\n" + block[n]
            n += 1
        expected = []
        while n < len(block) and not block[n].startswith("$ "):
            expected.append(block[n])
            n += 1
        found.append((command, expected))
    return found


def masked(lines):
    return [TIME.sub(lambda m: m.group(1) + "<time>", line) for line in lines]


def wrapper(folder, pinworth):
    """A `pinworth` that runs the one built, on simulated devices."""
    path = os.path.join(folder, "pinworth")
    with open(path, "w") as script:
        script.write('#!/bin/sh\n'
                     'case " $* " in *" --sim "*) exec "$REAL" "$@";; esac\n'
                     'exec "$REAL" --sim "$@"\n')
    os.chmod(path, 0o755)


def main(readme, pinworth):
    with open(readme) as file:
        text = file.read()
    failed = 0
    ran = 0
    for line, block in console_blocks(text):
        with tempfile.TemporaryDirectory() as home:
            bin_folder = os.path.join(home, "bin")
            os.mkdir(bin_folder)
            wrapper(bin_folder, pinworth)
            env = dict(os.environ, HOME=home, REAL=os.path.abspath(pinworth),
                       PATH=bin_folder + os.pathsep + os.environ["PATH"])
            env.pop("XDG_CONFIG_HOME", None)
            env.pop("XDG_STATE_HOME", None)
            for command, expected in commands(block):
                ran += 1
                done = subprocess.run(["bash", "-c", command], cwd=home,
                                      env=env, stdin=subprocess.DEVNULL,
                                      stdout=subprocess.PIPE,
                                      stderr=subprocess.STDOUT, text=True,
                                      timeout=60)
                printed = done.stdout.splitlines()
                if masked(printed) != masked(expected):
                    failed += 1
                    print(f"{readme}:{line}: $ {command.splitlines()[0]}")
                    sys.stdout.writelines(difflib.unified_diff(
                        [l + "\n" for l in expected],
                        [l + "\n" for l in printed], "README", "printed"))
    print(f"{ran} commands run, {failed} printed other than the README shows")
    return 1 if failed or ran == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))

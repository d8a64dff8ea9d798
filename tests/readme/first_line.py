#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Runs a program with the environment given, waits for the first line of its output that
matches a pattern, then stops it: the README's example loops for 30 seconds, and the test
needs only its first card. The program writes to a pseudo-terminal, so its standard output
is line-buffered as in a user's shell.

Usage: first_line.py TIMEOUT_SECONDS PATTERN NAME=VALUE... -- PROGRAM [ARGS...]
Exit status 0 when a line matched (printed), 1 otherwise (with what the program wrote).
"""
import os
import pty
import re
import select
import subprocess
import sys
import time


def main(argv):
    split = argv.index('--')
    timeout, pattern = float(argv[1]), re.compile(argv[2])
    env = dict(os.environ)
    env.update(item.split('=', 1) for item in argv[3:split])
    leader, follower = pty.openpty()
    child = subprocess.Popen(argv[split + 1:], stdin=subprocess.DEVNULL, stdout=follower,
                             stderr=subprocess.PIPE, env=env)
    os.close(follower)
    output = b''
    deadline = time.monotonic() + timeout
    try:
        while time.monotonic() < deadline:
            ready, _, _ = select.select([leader], [], [], 0.1)
            if ready:
                try:
                    chunk = os.read(leader, 4096)
                except OSError:  # the program ended and closed its side
                    break
                if not chunk:
                    break
                output += chunk
                for line in output.decode(errors='replace').splitlines():
                    if pattern.search(line):
                        print(line)
                        return 0
            elif child.poll() is not None:
                break
    finally:
        child.kill()
        _, errors = child.communicate()
        os.close(leader)
    sys.stdout.write(output.decode(errors='replace'))
    sys.stderr.write(errors.decode(errors='replace'))
    print(f'no line matching {pattern.pattern!r} within {timeout} s '
          f'(exit status {child.returncode})', file=sys.stderr)
    return 1


if __name__ == '__main__':
    sys.exit(main(sys.argv))

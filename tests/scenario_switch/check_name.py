#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Checks whether built files hold a name: the scenario switch's variable must be in a
library built with the switch and nowhere in the code built without it.

Usage: check_name.py NAME (present|absent)=FILE...
"""
import sys


def main(argv):
    name = argv[1].encode()
    failures = 0
    for item in argv[2:]:
        expected, path = item.split('=', 1)
        with open(path, 'rb') as built:
            found = name in built.read()
        if found != (expected == 'present'):
            print(f'{path}: {name.decode()} is {"there" if found else "missing"}, '
                  f'expected {expected}')
            failures += 1
        else:
            print(f'{path}: {expected}, as expected')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Refuses an include that runs against the architecture's arrows.

Reads the table of modules the build writes (one line per module: target, source folder,
the public headers it owns, the modules it links) and checks every file of src/, include/
and tools/: a file may include its own module's headers and those of the modules its module
links, directly or through them; outside src/platform/ (and the COM shell, which is Windows
code through and through) no file of the library includes an operating-system header.
Prints each offending line as file:line and exits 1 when there is one.

Usage: check-includes.py SOURCE_DIR MODULE_TABLE
"""
import re
import sys
from pathlib import Path

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# Headers that belong to an operating system rather than to the C or C++ library.
OS_HEADER = re.compile(
    r'^(unistd|fcntl|poll|dirent|pthread|signal|termios|pwd|grp|dlfcn|poll|syslog'
    r'|windows|winbase|winerror|setupapi|hidsdi|hidpi|objbase|oleauto|ole2|olectl|ocidl'
    r'|linux/.*|sys/.*|asm/.*|netinet/.*|arpa/.*)\.h$')
# Library code that is platform code by nature.
OS_ALLOWED = ('src/platform/', 'src/activex/')
SOURCE_SUFFIXES = {'.h', '.cc', '.c'}


class Module:
  def __init__(self, name, folder, headers, deps):
    self.name, self.folder = name, folder.rstrip('/') + '/'
    self.headers, self.deps = headers, deps
    # "src/platform/hidraw/" is included as "platform/hidraw/...".
    self.prefix = self.folder[len('src/'):] if self.folder.startswith('src/') else self.folder


def read_table(path):
  modules = {}
  for line in Path(path).read_text().splitlines():
    fields = line.split(' ')
    if len(fields) < 2 or not fields[0]:
      continue
    fields += [''] * (4 - len(fields))
    headers = {'usborva/' + h for h in fields[2].split(',') if h}
    deps = [d for d in fields[3].split(',') if d.startswith('usborva_')]
    modules[fields[0]] = Module(fields[0], fields[1], headers, deps)
  return modules


def reachable(modules, name, seen=None):
  seen = set() if seen is None else seen
  if name in seen or name not in modules:
    return seen
  seen.add(name)
  for dep in modules[name].deps:
    reachable(modules, dep, seen)
  return seen


def owner_of_file(modules, relative):
  """The module a source file belongs to: the one with the longest matching folder."""
  best = None
  for module in modules.values():
    if relative.startswith(module.folder) and (
        best is None or len(module.folder) > len(best.folder)):
      best = module
  if best is None and relative.startswith('include/usborva/'):
    header = relative[len('include/'):]
    best = next((m for m in modules.values() if header in m.headers), None)
  return best


def owner_of_include(modules, target):
  for module in modules.values():
    if target in module.headers:
      return module
  best = None
  for module in modules.values():
    if target.startswith(module.prefix) and (
        best is None or len(module.prefix) > len(best.prefix)):
      best = module
  return best


def check_file(root, relative, modules, problems):
  module = owner_of_file(modules, relative)
  if module is None:
    if relative.startswith('include/usborva/'):
      problems.append(f'{relative}:1: public header owned by no module (add it to HEADERS)')
    return
  allowed = reachable(modules, module.name)
  text = (root / relative).read_text(errors='replace').splitlines()
  for number, line in enumerate(text, 1):
    match = INCLUDE.match(line)
    if not match:
      continue
    kind, target = match.groups()
    if kind == '<':
      if OS_HEADER.match(target) and relative.startswith('src/') and not relative.startswith(
          OS_ALLOWED):
        problems.append(f'{relative}:{number}: {line.strip()}  '
                        f'-- operating-system header outside src/platform/')
      continue
    owner = owner_of_include(modules, target)
    if owner is None:
      if '/' not in target:
        continue  # a header beside the file, in its own folder
      problems.append(f'{relative}:{number}: {line.strip()}  -- no module owns this header')
    elif owner.name not in allowed:
      problems.append(f'{relative}:{number}: {line.strip()}  '
                      f'-- {module.name} does not link {owner.name}')


def main(argv):
  if len(argv) != 3:
    print(__doc__.strip().splitlines()[-1], file=sys.stderr)
    return 2
  root, modules = Path(argv[1]), read_table(argv[2])
  problems = []
  for top in ('src', 'include', 'tools'):
    for path in sorted((root / top).rglob('*')):
      if path.suffix in SOURCE_SUFFIXES and path.is_file():
        check_file(root, str(path.relative_to(root)), modules, problems)
  for problem in problems:
    print(problem)
  if problems:
    print(f'{len(problems)} include(s) against the architecture (docs/architecture.md)',
          file=sys.stderr)
    return 1
  print(f'includes follow the arrows ({len(modules)} modules)')
  return 0


if __name__ == '__main__':
  sys.exit(main(sys.argv))

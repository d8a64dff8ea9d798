#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Reads the stack clean-up of every _USBORVA method from the 32-bit component.

A 32-bit COM method is __stdcall: it removes its own arguments, `ret $N` with N the bytes
of `this` and the parameters. A method compiled with another convention still links and
registers, and then corrupts the caller's stack inside a host. For each vtable slot of
_USBORVA (IUnknown, IDispatch, then the members in slot order, as control_object.h
declares them), this finds the method in the link map, disassembles the shipped file at
that address and checks that every `ret` pops exactly the bytes the parameter list needs.

  stdcall_check.py BUILD_DIR_32 control_object.h
Prints "stdcall: N methods checked" or the faults, and exits non-zero on any fault.
"""
import re
import subprocess
import sys

# Stack bytes of a parameter in a 32-bit call: a VARIANT by value is 16, anything else
# (pointers, BSTR, LONG, and the 16- and 8-bit types promoted to a slot) takes 4.
def argument_bytes(parameters):
    total = 4  # this
    for parameter in filter(None, (p.strip() for p in parameters.split(","))):
        total += 16 if re.match(r"VARIANT\s+\w+$", parameter) else 4
    return total


def slot_methods(header):
    text = open(header).read()
    body = text[text.index("// IUnknown"):text.index("// IConnectionPointContainer")]
    methods = []
    for match in re.finditer(r"STDMETHODIMP(?:_\(\w+\))?\s+(\w+)\(([^;]*?)\)\s*override;",
                             body, re.S):
        methods.append((match.group(1), argument_bytes(" ".join(match.group(2).split()))))
    return methods


def map_addresses(map_path):
    addresses = {}
    starts = []
    pattern = re.compile(r"^\s+0x([0-9a-f]+)\s+(\S.*)$")
    for line in open(map_path, errors="replace"):
        match = pattern.match(line)
        if not match:
            continue
        address = int(match.group(1), 16)
        starts.append(address)
        name = match.group(2)
        found = re.match(r"usborva::activex::ControlObject::(\w+)\(", name)
        if found:
            addresses.setdefault(found.group(1), []).append(address)
    return addresses, sorted(set(starts))


# The `ret` operands of the function at start; a function that ends in a tail jump (the
# compiler hands the caller's frame to a helper, which then does the clean-up) is followed
# into that helper.
def pops(ocx, start, starts, depth=0):
    stop = next(a for a in starts if a > start)
    listing = subprocess.run(
        ["i686-w64-mingw32-objdump", "-d", "--no-show-raw-insn",
         "--start-address=%#x" % start, "--stop-address=%#x" % stop, ocx],
        check=True, capture_output=True, text=True).stdout
    found = [int(m.group(1), 16) if m.group(1) else 0
             for m in re.finditer(r"\tret\s*(?:\$0x([0-9a-f]+))?\s*$", listing, re.M)]
    jumps = re.findall(r"\tjmp\s+0x([0-9a-f]+)\s*$", listing, re.M)
    if not found and jumps and depth < 2:
        target = int(jumps[-1], 16)
        if not start <= target < stop:
            return pops(ocx, target, starts, depth + 1)
    return found


def main():
    build, header = sys.argv[1], sys.argv[2]
    methods = slot_methods(header)
    addresses, starts = map_addresses(build + "/QXUSBORVA.map")
    faults = []
    for name, expected in methods:
        if len(addresses.get(name, [])) != 1:
            faults.append("%s: %d definitions in the map" % (name, len(addresses.get(name, []))))
            continue
        found = pops(build + "/QXUSBORVA.ocx", addresses[name][0], starts)
        if not found or any(n != expected for n in found):
            faults.append("%s: ret pops %s, the parameters need %d" % (name, found, expected))
    for fault in faults:
        print("stdcall: " + fault)
    print("stdcall: %d methods checked, %d faults" % (len(methods), len(faults)))
    # IUnknown and IDispatch, then 37 properties (get and put) and 15 methods.
    return 1 if faults or len(methods) != 7 + 37 * 2 + 15 else 0


if __name__ == "__main__":
    sys.exit(main())

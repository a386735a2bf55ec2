#!/usr/bin/env python3
"""Checks the version resource of a Windows executable (the program or its
installer) against the version CMake gives the project: the fixed file and
product versions, and the FileVersion, ProductVersion and ProductName
strings. Also checks the machine type.

usage: check_version.py EXE VERSION {i686|x86_64}
Prints what it found; exits 1 on a mismatch.
"""
import struct
import sys

from check_resources import MACHINES, Mismatch, PeFile, expect

RT_VERSION = 16


def align(at):
    return (at + 3) & ~3


def blocks(blob, at, end):
    """(key, value bytes, children) for each version block in blob[at:end]."""
    while at < end:
        length, value_length, text = struct.unpack_from('<HHH', blob, at)
        if length == 0:
            return
        key_end = at + 6
        while blob[key_end:key_end + 2] != b'\0\0':
            key_end += 2
        key = blob[at + 6:key_end].decode('utf-16-le')
        value_at = align(key_end + 2)
        value_size = value_length * 2 if text else value_length
        children_at = align(value_at + value_size)
        yield key, blob[value_at:value_at + value_size], list(blocks(blob, children_at, at + length))
        at = align(at + length)


def check(path, version, arch):
    with open(path, 'rb') as f:
        pe = PeFile(f.read())
    expect(pe.machine == MACHINES[arch], 'machine 0x%x, expected %s' % (pe.machine, arch))
    found = [blob for (kind, _), blob in pe.resources().items() if kind == RT_VERSION]
    expect(len(found) == 1, '%d version resources' % len(found))
    (key, fixed, children), = blocks(found[0], 0, len(found[0]))
    expect(key == 'VS_VERSION_INFO', 'version resource named %r' % key)
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from('<6I', fixed, 0)
    expect(signature == 0xFEEF04BD, 'no fixed file information')
    numbers = [int(n) for n in version.split('.')] + [0]
    want = ((numbers[0] << 16) | numbers[1], (numbers[2] << 16) | numbers[3])
    expect((file_ms, file_ls) == want, 'fixed file version %x.%x, expected %s' % (file_ms, file_ls, version))
    expect((product_ms, product_ls) == want, 'fixed product version differs from %s' % version)
    strings = {}
    for key, _, tables in children:
        if key == 'StringFileInfo':
            for _, _, values in tables:
                for name, value, _ in values:
                    strings[name] = value.decode('utf-16-le').rstrip('\0')
    for name in ('FileVersion', 'ProductVersion'):
        expect(strings.get(name) == version, '%s is %r, expected %s' % (name, strings.get(name), version))
    expect(strings.get('ProductName') == 'Lumaforge', 'ProductName is %r' % strings.get('ProductName'))
    print('  %s: %s, version %s (%s)' % (path, arch, version, strings.get('FileDescription', '')))


def main():
    if len(sys.argv) != 4 or sys.argv[3] not in MACHINES:
        sys.exit(__doc__)
    try:
        check(*sys.argv[1:])
    except (Mismatch, KeyError, ValueError, struct.error) as e:
        print('FAIL: %s: %s' % (sys.argv[1], e))
        sys.exit(1)


if __name__ == '__main__':
    main()

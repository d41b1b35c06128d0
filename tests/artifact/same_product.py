#!/usr/bin/env python3
"""Fails unless DLL is byte for byte the file whose SHA-256 the artifact check recorded after it passed.

    same_product.py RECORD DLL
"""
import hashlib
import sys


def main():
    record, dll = sys.argv[1], sys.argv[2]
    try:
        expected = open(record).read().split()[0]
    except (OSError, IndexError):
        print("FAIL  no record of a checked product in %s (the artifact check has not passed)" % record)
        return 1
    actual = hashlib.sha256(open(dll, "rb").read()).hexdigest()
    if actual != expected:
        print("FAIL  %s is not the checked product: sha256 %s, checked %s" % (dll, actual, expected))
        return 1
    print("ok    %s is the checked product (sha256 %s)" % (dll, actual))
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Writes the zip archives the zip wrapper's tests unpack.

bsdl-files.zip: a deflated BSDL text, a stored text in a subfolder, a
folder entry and an entry whose name climbs out of the target folder.
damaged.zip: one stored entry whose data no longer matches its CRC.
"""
import os
import sys
import zipfile

BSDL = "".join("-- line %d of the fixture BSDL text\n" % i for i in range(200))
README = "stored, not deflated\n"


def main(folder):
    os.makedirs(folder, exist_ok=True)
    good = os.path.join(folder, "bsdl-files.zip")
    with zipfile.ZipFile(good, "w") as archive:
        archive.writestr(zipfile.ZipInfo("LM3S101.bsd"), BSDL, zipfile.ZIP_DEFLATED)
        archive.writestr(zipfile.ZipInfo("docs/"), "")
        archive.writestr(zipfile.ZipInfo("docs/readme.txt"), README, zipfile.ZIP_STORED)
        archive.writestr(zipfile.ZipInfo("../escaped.txt"), "must stay inside", zipfile.ZIP_STORED)
    damaged = os.path.join(folder, "damaged.zip")
    with zipfile.ZipFile(damaged, "w") as archive:
        archive.writestr(zipfile.ZipInfo("broken.txt"), "0123456789", zipfile.ZIP_STORED)
    data = bytearray(open(damaged, "rb").read())
    at = data.index(b"0123456789")
    data[at] ^= 0xFF
    open(damaged, "wb").write(bytes(data))


if __name__ == "__main__":
    main(sys.argv[1])

#!/usr/bin/env python3
"""import-bsdl end to end: the vendor folder in, the BSDL texts out, and the
records the build makes from them.

Usage: import-bsdl-check.py --import-bsdl <program> --gen <tools/gen>
                            --fixtures <tests/boundary-scan> --work <folder>
"""

import argparse
import filecmp
import os
import shutil
import subprocess
import sys

failures = []
checks = 0


def check(condition, what):
    global checks
    checks += 1
    if not condition:
        failures.append(what)
        print(f"FAILED: {what}")


def run(args):
    return subprocess.run(args, capture_output=True, text=True)


def generate(gen, bsdl_dir, source):
    return run([sys.executable, os.path.join(gen, "bsdl", "gen-bsdl-records.py"),
                "--catalogue", os.path.join(gen, "stellaris"),
                "--layouts", os.path.join(gen, "bsdl", "package-layouts.txt"),
                "--bsdl-dir", bsdl_dir, "--source", source])


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--import-bsdl", required=True)
    parser.add_argument("--gen", required=True)
    parser.add_argument("--fixtures", required=True)
    parser.add_argument("--work", required=True)
    a = parser.parse_args()
    names = os.path.join(a.gen, "stellaris", "bsdl-names.txt")
    fixture_dir = os.path.join(a.fixtures, "bsdl-files")
    fixture = "lm3s102_rc2_qfn_v1p0.bsdl"

    def import_bsdl(source, out):
        return run([a.import_bsdl, "--names", names, "--out", out, source])

    # The fixture goes through the importer and the generator takes it as
    # it takes the original: the same records, byte for byte.
    out = fresh(os.path.join(a.work, "imported"))
    r = import_bsdl(fixture_dir, out)
    check(r.returncode == 0 and "1 imported, 0 skipped" in r.stdout,
          f"fixture imported ({r.returncode}: {r.stdout}{r.stderr})")
    check(os.path.isfile(os.path.join(out, fixture)), "the imported file has the catalogue's name")
    original = generate(a.gen, fixture_dir, os.path.join(a.work, "original-records.cpp"))
    imported = generate(a.gen, out, os.path.join(a.work, "imported-records.cpp"))
    check(original.returncode == 0, f"records from the fixture ({original.stderr})")
    check(imported.returncode == 0 and "302 records, 1 read from BSDL files" in imported.stdout,
          f"the generator accepts the imported file ({imported.stdout}{imported.stderr})")
    check(os.path.isfile(os.path.join(a.work, "imported-records.cpp")) and
          filecmp.cmp(os.path.join(a.work, "original-records.cpp"),
                      os.path.join(a.work, "imported-records.cpp"), shallow=False),
          "the imported file gives the fixture's record unchanged")

    # A name in any letter case is found; the output takes the catalogue's.
    upper = fresh(os.path.join(a.work, "upper-in"))
    shutil.copy(os.path.join(fixture_dir, fixture), os.path.join(upper, fixture.upper()))
    out = fresh(os.path.join(a.work, "upper-out"))
    r = import_bsdl(upper, out)
    check(r.returncode == 0 and os.listdir(out) == [fixture],
          f"a name in upper case is imported under the catalogue's ({os.listdir(out)})")

    # Files of other names are skipped, not read.
    out = fresh(os.path.join(a.work, "vendor-out"))
    r = import_bsdl(os.path.join(a.fixtures, "vendor-bsdl"), out)
    check(r.returncode == 0 and "0 imported, 2 skipped" in r.stdout and not os.listdir(out),
          f"other names are skipped ({r.stdout}{r.stderr})")

    # A register with a cell left out, or a text the reader refuses, stops
    # the import with the file's name, and nothing is written.
    with open(os.path.join(fixture_dir, fixture), encoding="latin-1") as f:
        text = f.read()
    broken_cases = [
        ("a missing cell", text.replace('"12 (BC_1, *, Control, 1)," &\n', ""),
         "cell 12 is missing"),
        ("a syntax error", text.replace("port (", "port ((", 1), "the BSDL reader refuses it"),
    ]
    for what, content, message in broken_cases:
        source = fresh(os.path.join(a.work, "broken-in"))
        shutil.copy(os.path.join(fixture_dir, fixture), os.path.join(source, "lm3s101_rc2_lqfp_v1p0.bsdl"))
        with open(os.path.join(source, fixture), "w", encoding="latin-1") as f:
            f.write(content)
        out = os.path.join(a.work, "broken-out")
        shutil.rmtree(out, ignore_errors=True)
        r = import_bsdl(source, out)
        check(r.returncode == 1 and fixture in r.stderr and message in r.stderr,
              f"{what} stops the import ({r.returncode}: {r.stderr})")
        check(not os.path.exists(out) or not os.listdir(out), f"{what}: nothing is written")

    # With --catalogue the importer writes the file's pin set into the
    # catalogue's pin-outs.txt, so a vendor file whose pins are not the ones
    # the package rule makes is taken: here pin 49 in place of pin 48. A
    # differential-pair id the block gave a pin stays, and a second import
    # replaces the block instead of adding one.
    moved = text.replace("46, 47, 48)", "46, 47, 49)")
    check(moved != text, "the fixture's pin map holds pin 48")
    vendor = fresh(os.path.join(a.work, "pins-in"))
    with open(os.path.join(vendor, fixture), "w", encoding="latin-1") as f:
        f.write(moved)
    refused = generate(a.gen, vendor, os.path.join(a.work, "refused-records.cpp"))
    check(refused.returncode == 1 and "pins differ from the catalogue's pin set" in refused.stderr,
          f"without its pin set the generator refuses the file ({refused.stderr})")

    def catalogue_copy(pin_outs_tail=""):
        gen = fresh(os.path.join(a.work, "gen"))
        shutil.copytree(os.path.join(a.gen, "stellaris"), os.path.join(gen, "stellaris"))
        shutil.copytree(os.path.join(a.gen, "bsdl"), os.path.join(gen, "bsdl"),
                        ignore=shutil.ignore_patterns("files"))
        with open(os.path.join(gen, "stellaris", "pin-outs.txt"), "a") as f:
            f.write(pin_outs_tail)
        return gen

    def pin_outs_blocks(gen):
        with open(os.path.join(gen, "stellaris", "pin-outs.txt")) as f:
            lines = [l.strip() for l in f if l.strip() and not l.startswith("#")]
        blocks, current = {}, None
        for line in lines:
            if line.startswith("["):
                current = line[1:-1]
                blocks.setdefault(current, []).append([])
            else:
                blocks[current][-1].extend(line.split())
        return blocks

    seeded = "[LM3S102QN]\n" + " ".join(
        f"{n}:3" if n == 5 else str(n) for n in range(1, 49)) + "\n"
    gen = catalogue_copy(seeded)
    catalogue = os.path.join(gen, "stellaris")
    for attempt in ("first", "second"):
        out = fresh(os.path.join(a.work, "pins-out"))
        r = run([a.import_bsdl, "--names", names, "--out", out, "--catalogue", catalogue,
                 "--python", sys.executable, vendor])
        check(r.returncode == 0 and "1 pin sets written" in r.stdout,
              f"{attempt} import with the catalogue ({r.returncode}: {r.stdout}{r.stderr})")
    expected = [f"{n}:3" if n == 5 else str(n) for n in range(1, 48)] + ["49"]
    blocks = pin_outs_blocks(gen)
    check(blocks.get("LM3S102QN") == [expected],
          f"one block with the file's pins in package order ({blocks.get('LM3S102QN')})")
    accepted = generate(gen, out, os.path.join(a.work, "pins-records.cpp"))
    check(accepted.returncode == 0 and "1 read from BSDL files" in accepted.stdout,
          f"the generator takes the file with its pin set ({accepted.stdout}{accepted.stderr})")

    # A pin map that cannot make the pin set stops the import, and neither
    # the BSDL files nor pin-outs.txt are written: too few pins, or two
    # files of one pin set that disagree.
    shorter = text.replace("NC       : linkage bit_vector(1 to 26)",
                           "NC       : linkage bit_vector(1 to 25)").replace(
                               "46, 47, 48)", "46, 47)")
    pin_cases = [
        ("too few pins", {fixture: shorter},
         "the pin map places 47 pins, the pin set LM3S102QN has 48"),
        ("two files of one pin set", {fixture: moved, "lm3s102_rc2_lqfp_v1p0.bsdl": text},
         "whose pin set LM3S102QN it shares"),
    ]
    for what, files, message in pin_cases:
        gen = catalogue_copy()
        pin_outs = os.path.join(gen, "stellaris", "pin-outs.txt")
        with open(pin_outs) as f:
            before = f.read()
        source = fresh(os.path.join(a.work, "pins-broken-in"))
        for name, content in files.items():
            with open(os.path.join(source, name), "w", encoding="latin-1") as f:
                f.write(content)
        out = os.path.join(a.work, "pins-broken-out")
        shutil.rmtree(out, ignore_errors=True)
        r = run([a.import_bsdl, "--names", names, "--out", out, "--catalogue",
                 os.path.join(gen, "stellaris"), "--python", sys.executable, source])
        check(r.returncode == 1 and message in r.stderr,
              f"{what} stops the import ({r.returncode}: {r.stderr})")
        with open(pin_outs) as f:
            check(f.read() == before and (not os.path.exists(out) or not os.listdir(out)),
                  f"{what}: nothing is written")

    print(f"{checks - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

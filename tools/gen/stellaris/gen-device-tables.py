#!/usr/bin/env python3
"""Writes the Stellaris device tables as constexpr C++.

The catalogue is kept as plain lists in this folder; this script applies the
naming and package rules to them, checks that every list agrees with the
others, and writes two files:

  device-enums.generated.h    the enumerations and table sizes
  device-tables.generated.cpp the constant tables

Usage: gen-device-tables.py --data <this folder> --header <h> --source <cpp>
       gen-device-tables.py --data <this folder> --bsdl-pin-sets <tsv or ->
         (each boundary-scan file with its pin set and pin count, for
         import-bsdl)

Pin sets. The 48-pin sets list "1" to "48". The vendor's pin-out data for the
64-pin, 100-pin and 108-ball sets is not at hand, so those sets are made from
the package: LQFP sets number the pins "1" to the pin count, BGA sets name the
balls of the 12 x 12 grid (rows A-M without I, columns 1-12) whose centre
6 x 6 is not populated, row by row. The entries that are known for certain
(pin-rules.txt) are then put in place. Real pin-out lists go into
pin-outs.txt (format described there) and replace the rule-made sets; the pin
rules are applied to them as well.

Device packages. The rows give 304 base/package pairs; the pairs that no
row uses are vendor data as well and are listed in
device-packages-without-rows.tsv.
"""

import argparse
import os
import re
import sys

PINSET_PREFIX = "ePinSet_"
ID_CODE = 0x3BA00477
INSTRUCTION_LENGTH = 4
MAX_PINS = 108
BGA_ROWS = "ABCDEFGHJKLM"


class CatalogueError(Exception):
    pass


def fail(message):
    raise CatalogueError(message)


def read_lines(path):
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            yield line


def read_tsv(path, columns):
    rows = []
    for line in read_lines(path):
        cells = line.split("\t")
        if len(cells) != columns:
            fail(f"{path}: expected {columns} columns: {line!r}")
        rows.append(cells)
    return rows


def split_names(text):
    return [n.strip() for n in text.split(",") if n.strip()]


def read_keyed_lists(path):
    """Lines "<key>: name, name, ..." -> {name: int(key)}; a name once only."""
    result = {}
    for line in read_lines(path):
        key, _, names = line.partition(":")
        for name in split_names(names):
            if name in result:
                fail(f"{path}: {name} listed twice")
            result[name] = int(key)
    return result


class Catalogue:
    def __init__(self, data_dir):
        self.dir = data_dir
        p = lambda name: os.path.join(data_dir, name)
        self.base_names = list(read_lines(p("base-names.txt")))
        self.base_index = {b: i for i, b in enumerate(self.base_names)}
        if len(self.base_index) != len(self.base_names):
            fail("base-names.txt: a base part number is listed twice")
        self.families = list(read_lines(p("families.txt")))
        self.packages = read_tsv(p("packages.tsv"), 6)
        self.package_types = read_tsv(p("package-types.tsv"), 6)
        self.speed_grades = read_tsv(p("speed-grades.tsv"), 4)
        self.temperature_grades = read_tsv(p("temperature-grades.tsv"), 4)
        self.options = read_tsv(p("option-designators.tsv"), 4)
        self.flash = read_keyed_lists(p("flash-sizes.txt"))
        self.max_io = read_keyed_lists(p("max-io.txt"))
        self.sram = {int(k): int(v) for k, v in
                     (l.split(":") for l in read_lines(p("sram-sizes.txt")))}
        self.bsdl_names = list(read_lines(p("bsdl-names.txt")))
        self.bsdl_exceptions = {(b, pk): n for b, pk, n in
                                read_tsv(p("bsdl-exceptions.tsv"), 3)}
        self.pin_sharing = {(b, t): s for b, t, s in read_tsv(p("pin-set-sharing.tsv"), 3)}
        self.rowless_pin_sets = list(read_lines(p("pin-sets-without-rows.txt")))
        self.rowless_device_packages = read_tsv(p("device-packages-without-rows.tsv"), 2)
        self.processor_names = read_tsv(p("processor-device-names.tsv"), 3)
        self.io = [l.split("\t") for l in read_lines(p("io-standards.txt"))]
        self.pin_rules = [l.split() for l in read_lines(p("pin-rules.txt"))]
        self.pin_outs = read_pin_outs(p("pin-outs.txt"))
        self.rows = self.read_rows(p("device-rows.txt"))
        self.build()

    def read_rows(self, path):
        rows = []
        seen_bases = set()
        suffix_re = re.compile(r"^([EI])([A-Z]{2})(\d{2})-([A-Z0-9]+)$")
        for line in read_lines(path):
            bases, _, suffixes = line.partition(":")
            for base in split_names(bases):
                if base not in self.base_index:
                    fail(f"device-rows.txt: {base} is not a base part number")
                if base in seen_bases:
                    fail(f"device-rows.txt: rows of {base} are not together")
                seen_bases.add(base)
                for suffix in split_names(suffixes):
                    m = suffix_re.match(suffix)
                    if not m:
                        fail(f"device-rows.txt: bad suffix {suffix!r}")
                    temp, ptype, speed, option = m.groups()
                    rows.append({"base": base, "full": f"{base}-{suffix}", "temp": temp,
                                 "ptype": ptype, "speed": speed, "option": option})
        return rows

    def build(self):
        pkg_ids = [p[0] for p in self.packages]
        type_ids = [t[0] for t in self.package_types]
        package_of_type = {p[5]: p[0] for p in self.packages}
        type_pins = {t[0]: int(t[4]) for t in self.package_types}
        type_word = {t[0]: t[5] for t in self.package_types}
        speed_ids = [s[0] for s in self.speed_grades]
        temp_ids = [t[0] for t in self.temperature_grades]
        option_ids = [o[0] for o in self.options]
        names = set()
        for row in self.rows:
            if row["full"] in names:
                fail(f"{row['full']} is listed twice")
            names.add(row["full"])
            for key, allowed in (("ptype", type_ids), ("speed", speed_ids),
                                 ("temp", temp_ids), ("option", option_ids)):
                if row[key] not in allowed:
                    fail(f"{row['full']}: unknown {key} {row[key]!r}")
            base = row["base"]
            row["package"] = package_of_type[row["ptype"]]
            digits = base[len("LM3S"):]
            family = "Stellaris" + digits[0] + "0" * (len(digits) - 1)
            if family not in self.families:
                fail(f"{row['full']}: no family {family}")
            row["family"] = family
            if base not in self.flash:
                fail(f"{base} has rows but no flash size")
            row["flash"] = self.flash[base]
            layout = "QN" if row["ptype"] == "GZ" else row["ptype"]
            own = self.pin_sharing.get((base, row["ptype"]), base + layout)
            if not own.endswith(layout):
                fail(f"{row['full']}: pin set {own} is not a {layout} layout")
            row["pinset"] = own
            row["bsdl"] = self.bsdl_for(base, row["package"], type_word[row["ptype"]])

        for name in self.flash:
            if name not in self.base_index:
                fail(f"flash-sizes.txt: {name} is not a base part number")
        for name in self.max_io:
            if name not in self.base_index:
                fail(f"max-io.txt: {name} is not a base part number")
        for base in self.base_names:
            if base not in self.max_io:
                fail(f"max-io.txt: {base} has no value")
        for size in set(self.flash.values()):
            if size not in self.sram:
                fail(f"sram-sizes.txt: no SRAM size for {size} KB of flash")

        # Device packages: every base/package pair with rows, and the pairs of
        # the catalogue that no orderable row uses, in base-name then package order.
        with_rows = {(r["base"], r["package"]) for r in self.rows}
        pairs = set(with_rows)
        for base, package in self.rowless_device_packages:
            if base not in self.base_index or package not in pkg_ids:
                fail(f"device-packages-without-rows.tsv: bad pair {base} {package}")
            if (base, package) in with_rows:
                fail(f"device-packages-without-rows.tsv: {base} {package} has rows")
            if (base, package) in pairs:
                fail(f"device-packages-without-rows.tsv: {base} {package} listed twice")
            pairs.add((base, package))
        self.device_packages = sorted(
            pairs, key=lambda bp: (self.base_index[bp[0]], pkg_ids.index(bp[1])))

        # Pin sets, in name order.
        set_names = {r["pinset"] for r in self.rows}
        for name in self.rowless_pin_sets:
            if name in set_names:
                fail(f"pin-sets-without-rows.txt: {name} is used by a row")
            set_names.add(name)
        self.pin_sets = sorted(set_names)
        self.pin_set_index = {n: i for i, n in enumerate(self.pin_sets)}
        self.pins = {}
        for name in self.pin_sets:
            ptype = name[-2:]
            if ptype not in type_pins or ptype == "GZ":
                fail(f"pin set {name}: unknown package type")
            self.pins[name] = self.make_pins(name, ptype, type_pins[ptype])
        self.apply_pin_rules()
        for name in self.pin_outs:
            if name not in self.pins:
                fail(f"pin-outs.txt: no pin set {name}")

    def bsdl_for(self, base, package, word):
        exception = self.bsdl_exceptions.get((base, package))
        if exception is not None:
            if exception not in self.bsdl_names:
                fail(f"bsdl-exceptions.tsv: unknown file {exception}")
            return exception
        needle = base.lower() + "_"
        found = [n for n in self.bsdl_names
                 if (n.startswith(needle) or "_" + needle in n) and word in n]
        if len(found) != 1:
            fail(f"{base} {package}: {len(found)} boundary-scan files match")
        return found[0]

    def make_pins(self, name, ptype, count):
        if name in self.pin_outs:
            pins = self.pin_outs[name]
            if len(pins) != count:
                fail(f"pin-outs.txt: {name} lists {len(pins)} pins, the set has {count}")
            if len({p[0] for p in pins}) != len(pins):
                fail(f"pin-outs.txt: {name} lists a pin twice (pin-rules.txt repeats pins)")
            return [list(p) for p in pins]
        if ptype == "BZ":
            balls = [f"{r}{c}" for ri, r in enumerate(BGA_ROWS) for c in range(1, 13)
                     if not (3 <= ri <= 8 and 4 <= c <= 9)]
            assert len(balls) == count
            return [[b, ""] for b in balls]
        return [[str(i), ""] for i in range(1, count + 1)]

    def apply_pin_rules(self):
        for rule in self.pin_rules:
            verb, name, args = rule[0], rule[1], rule[2:]
            if name not in self.pins:
                fail(f"pin-rules.txt: no pin set {name}")
            pins = self.pins[name]
            numbers = [p[0] for p in pins]

            def take(pin):
                if pin not in numbers:
                    fail(f"pin-rules.txt: {name} has no pin {pin}")
                i = numbers.index(pin)
                numbers.pop(i)
                return pins.pop(i)

            if verb == "prefix":
                front = [take(pin) for pin in args]
                pins[:0] = front
            elif verb == "repeat":
                i = numbers.index(args[0])
                pins.insert(i + 1, list(pins[i]))
            elif verb == "place":
                index, pin = int(args[0]), args[1]
                entry = take(pin)
                for option in args[2:]:
                    key, _, value = option.partition("=")
                    if key != "diff":
                        fail(f"pin-rules.txt: unknown option {option}")
                    entry[1] = value
                pins.insert(index, entry)
            else:
                fail(f"pin-rules.txt: unknown rule {verb}")
            if len(pins) > MAX_PINS:
                fail(f"pin set {name} has more than {MAX_PINS} pins")


def read_pin_outs(path):
    sets = {}
    current = None
    for line in read_lines(path):
        text = line.strip()
        if text.startswith("["):
            if not text.endswith("]"):
                fail(f"pin-outs.txt: bad block header {text!r}")
            current = text[1:-1].strip()
            if current in sets:
                fail(f"pin-outs.txt: {current} listed twice")
            sets[current] = []
            continue
        if current is None:
            fail("pin-outs.txt: pins before the first block header")
        for token in text.split():
            pin, _, diff = token.partition(":")
            sets[current].append((pin, diff))
    return sets


def wide(text):
    """A wide string literal; anything outside printable ASCII as \\u escape."""
    out = []
    for ch in text:
        if ch in '"\\':
            out.append("\\" + ch)
        elif " " <= ch <= "~":
            out.append(ch)
        else:
            out.append(f"\\u{ord(ch):04X}")
    return 'L"' + "".join(out) + '"'


def ident(text):
    return re.sub(r"[^A-Za-z0-9_]", "_", text)


def enum_block(name, members, underlying="std::int32_t"):
    lines = [f"enum {name} : {underlying} {{"]
    lines += [f"  {m}," for m in members]
    lines.append("};")
    lines.append(f"inline constexpr int {name[1:]}Count = {len(members)};")
    lines.append("")
    return lines


def write_header(cat, path):
    out = ["// Generated by tools/gen/stellaris/gen-device-tables.py; do not edit.",
           "#pragma once", "", "#include <cstdint>", ""]
    out += enum_block("TDeviceKind", ["e" + r["full"].replace("-", "_") for r in cat.rows])
    out += enum_block("TBaseNameId", ["e" + b for b in cat.base_names])
    out += enum_block("TFamilyNameId", ["eFamilyName_" + f for f in cat.families])
    out += enum_block("TPackage", ["ePackage_" + p[0] for p in cat.packages])
    out += enum_block("TPackageType", ["ePackageType_" + t[0] for t in cat.package_types])
    out += enum_block("TSpeedGrade", ["eSpeedGrade_" + s[0] for s in cat.speed_grades])
    out += enum_block("TTemperatureGrade",
                      ["eTemperatureGrade_" + t[0] for t in cat.temperature_grades])
    out += enum_block("TOptionDesignator", ["eOptionDesignator_" + o[0] for o in cat.options])
    out += enum_block("TDevicePinSet", [PINSET_PREFIX + n for n in cat.pin_sets])
    out += enum_block("TDevicePackage",
                      [f"eDevicePackage_{b}_{p}" for b, p in cat.device_packages])
    standards = [l for l in cat.io if l[0] == "standard"]
    out += enum_block("TDeviceIOStandardID", ["eSt_" + s[1] for s in standards])
    out.append(f"inline constexpr int BSDLNameCount = {len(cat.bsdl_names)};")
    out.append(f"inline constexpr int MaxPinsPerSet = {MAX_PINS};")
    out.append(f"inline constexpr int PinTableSize = {sum(len(p) for p in cat.pins.values())};")
    out.append(f"inline constexpr int SlewNameCount = {len(io_line(cat, 'slew'))};")
    out.append(f"inline constexpr int DriveStrengthNameCount = {len(io_line(cat, 'drive'))};")
    out.append(f"inline constexpr int ProcessorDeviceNameCount = {len(cat.processor_names)};")
    write(path, out)


def io_line(cat, key):
    for line in cat.io:
        if line[0] == key:
            return line[1:]
    fail(f"io-standards.txt: no {key} line")


def write_source(cat, path):
    out = ["// Generated by tools/gen/stellaris/gen-device-tables.py; do not edit.",
           '#include "device-tables.h"', ""]

    out.append("constexpr const wchar_t* const TFamilyNames[FamilyNameIdCount] = {")
    out += [f"    {wide(f)}," for f in cat.families]
    out += ["};", ""]

    def text_table(name, record, count, rows, width):
        out.append(f"constexpr {record} {name}[{count}] = {{")
        for r in rows:
            out.append("    {" + ", ".join(wide(c) for c in r[1:1 + width]) + "},")
        out.extend(["};", ""])

    text_table("TPackageParameters", "TPackageRecord", "PackageCount", cat.packages, 4)
    text_table("TPackageTypeParameters", "TPackageTypeRecord", "PackageTypeCount",
               cat.package_types, 3)
    text_table("TSpeedGradeParameters", "TGradeRecord", "SpeedGradeCount", cat.speed_grades, 3)
    text_table("TTemperatureGradeParameters", "TGradeRecord", "TemperatureGradeCount",
               cat.temperature_grades, 3)
    text_table("TOptionDesignatorParameters", "TGradeRecord", "OptionDesignatorCount",
               cat.options, 3)

    out.append("constexpr const wchar_t* const TBSDLNames[BSDLNameCount] = {")
    out += [f"    {wide(n)}," for n in cat.bsdl_names]
    out += ["};", ""]

    out.append("constexpr TBaseNameRecord TBaseNameIdParameters[BaseNameIdCount] = {")
    for b in cat.base_names:
        flash = cat.flash.get(b, 0)
        sram = cat.sram[flash] if flash else 0
        out.append(f"    {{{wide(b)}, 0, {cat.max_io[b]}, {flash}, {sram}}},")
    out += ["};", ""]

    out.append("constexpr TDevicePackageRecord TDevicePackageParameters[DevicePackageCount] = {")
    for b, p in cat.device_packages:
        out.append(f"    {{0, 0, {cat.flash.get(b, 0)}, false, 0, 0}}, // {b} {p}")
    out += ["};", ""]

    out.append("constexpr TDevicePackageKey TDevicePackageKeys[DevicePackageCount] = {")
    out += [f"    {{e{b}, ePackage_{p}}}," for b, p in cat.device_packages]
    out += ["};", ""]

    out.append("constexpr TPinParameters TPinTable[PinTableSize] = {")
    first = {}
    at = 0
    for name in cat.pin_sets:
        first[name] = at
        out.append(f"    // {PINSET_PREFIX}{name}")
        for number, diff in cat.pins[name]:
            out.append(f"    {{{wide(number)}, L\"\", {wide(diff)}, L\"\", 0, 0}},")
            at += 1
    out += ["};", ""]

    out.append("constexpr const wchar_t* const TPinSetNames[DevicePinSetCount] = {")
    out += [f"    {wide(PINSET_PREFIX + n)}," for n in cat.pin_sets]
    out += ["};", ""]

    out.append("constexpr TPinSetRecord TPinSetParameters[DevicePinSetCount] = {")
    for name in cat.pin_sets:
        count = len(cat.pins[name])
        out.append(f"    {{{count}, 0, 0, 0, 0, &TPinTable[{first[name]}]}}, "
                   f"// {PINSET_PREFIX}{name}")
    out += ["};", ""]

    standards = [l for l in cat.io if l[0] == "standard"]
    out.append("constexpr TIOStandardRecord TIOStandardParameters[DeviceIOStandardIDCount] = {")
    for _, _, index, slew, drive in standards:
        out.append(f"    {{{index}, {slew}, {drive}}},")
    out += ["};", ""]
    out.append("constexpr const wchar_t* const TSlewNames[SlewNameCount] = {"
               + ", ".join(wide(n) for n in io_line(cat, "slew")) + "};")
    out.append("constexpr const wchar_t* const TDriveStrengthNames[DriveStrengthNameCount] = {")
    out.append("    " + ", ".join(wide(n) for n in io_line(cat, "drive")) + "};")
    out.append("")

    out.append("constexpr TProcessorDeviceNameRecord "
               "TProcessorDeviceNames[ProcessorDeviceNameCount] = {")
    for family, base, answer in cat.processor_names:
        if family not in cat.families:
            fail(f"processor-device-names.tsv: unknown family {family}")
        base_text = "nullptr" if base == "*" else wide(base)
        out.append(f"    {{eFamilyName_{family}, {base_text}, {wide(answer)}}},")
    out += ["};", ""]

    writers = (8, 16, 32, 64, 96, 128, 256)
    out.append("constexpr TDeviceRecord TDeviceParameters[DeviceKindCount] = {")
    for kind, r in enumerate(cat.rows):
        if r["flash"] not in writers:
            fail(f"{r['full']}: no flash writer for {r['flash']} KB")
        out.append(
            f"    {{e{ident(r['full'])}, {wide(r['full'])}, eFamilyName_{r['family']}, "
            f"0x{ID_CODE:08X}, e{r['base']}, ePackage_{r['package']}, "
            f"ePackageType_{r['ptype']}, eTemperatureGrade_{r['temp']}, "
            f"eSpeedGrade_{r['speed']}, eOptionDesignator_{r['option']}, "
            f"{wide(r['bsdl'])}, {PINSET_PREFIX}{r['pinset']}, {INSTRUCTION_LENGTH}, "
            f"eDevicePackage_{r['base']}_{r['package']}, "
            f"TFlashWriterClass::Luminary{r['flash']}, TFlashWriterClass::None, "
            f"{cat.bsdl_names.index(r['bsdl'])}}},")
    out += ["};", ""]
    out += ["// The driver takes a row by its kind; the two must never drift apart.",
            "static_assert([] {",
            "  for (int i = 0; i < DeviceKindCount; ++i)",
            "    if (TDeviceParameters[i].Kind != i)",
            "      return false;",
            "  return true;",
            "}());", ""]
    write(path, out)


def write_bsdl_pin_sets(cat, path):
    """The pin set of every file the rows name, with the set's count of
    package pins (its length before pin-rules.txt repeats a pin): a pin-outs
    block for the set must list exactly that many."""
    type_pins = {t[0]: int(t[4]) for t in cat.package_types}
    pairs = sorted({(r["bsdl"], r["pinset"]) for r in cat.rows})
    lines = [f"{bsdl}\t{pinset}\t{type_pins[pinset[-2:]]}" for bsdl, pinset in pairs]
    if path == "-":
        sys.stdout.write("\n".join(lines) + "\n")
    else:
        write(path, lines)


def write(path, lines):
    text = "\n".join(lines) + "\n"
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", required=True)
    parser.add_argument("--header")
    parser.add_argument("--source")
    parser.add_argument("--bsdl-pin-sets",
                        help="writes, for each boundary-scan file the rows name, a line "
                             "'file<TAB>pin set<TAB>pin count' ('-' for standard output) "
                             "and nothing else: import-bsdl reads it")
    args = parser.parse_args()
    if not args.bsdl_pin_sets and not (args.header and args.source):
        parser.error("--header and --source are required")
    try:
        cat = Catalogue(args.data)
    except CatalogueError as e:
        print(f"gen-device-tables: {e}", file=sys.stderr)
        return 1
    if args.bsdl_pin_sets:
        write_bsdl_pin_sets(cat, args.bsdl_pin_sets)
        return 0
    write_header(cat, args.header)
    write_source(cat, args.source)
    print(f"gen-device-tables: {len(cat.rows)} rows, {len(cat.base_names)} base names, "
          f"{len(cat.device_packages)} device packages, {len(cat.pin_sets)} pin sets, "
          f"{len(cat.bsdl_names)} boundary-scan files")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Writes the compiled-in boundary-scan records as constexpr C++.

The driver never reads a BSDL file at run time: every file its devices name
is compiled in as one pre-parsed record. This script makes those records.

Usage:
  gen-bsdl-records.py --catalogue <tools/gen/stellaris> --layouts <package-layouts.txt>
                      [--bsdl-dir <folder>] [--dump-dir <folder>] --source <cpp>

Input:
  --catalogue  the device catalogue's lists and its generator: the file names
               in record order, the rows that name each file with their pin
               sets, and the largest I/O count of each base part number.
  --bsdl-dir   a folder of BSDL files (optional). A file whose name is one of
               the catalogue's names is read as it is.
  --layouts    for every other file a BSDL text is written from the
               catalogue's pin set and the package layout, and read back by the
               same reader, so both kinds of record take one road.
  --dump-dir   writes the BSDL texts that were made, to check them or to start
               a real file from.

The reader takes the part of BSDL that the records hold: the entity name; the
port clause (in, out, inout, buffer, linkage; bit and bit_vector with "to" or
"downto" ranges); PIN_MAP_STRING constants; TAP_SCAN_IN, TAP_SCAN_OUT,
TAP_SCAN_MODE, TAP_SCAN_CLOCK (frequency and halt mode LOW or BOTH),
TAP_SCAN_RESET; COMPONENT_CONFORMANCE; COMPLIANCE_PATTERNS (kept as text);
INSTRUCTION_OPCODE; BOUNDARY_LENGTH; BOUNDARY_REGISTER. Other statements are
skipped. Linkage ports named VDD..., VCC... are power pins, GND..., VSS...
ground pins.

Every record is checked against the rules the driver relies on: cells
numbered 0 to length-1, each one of the four shapes (control, output3, input,
clock input), control and output cells naming each other, a pin's cells
output then input or one clock-input cell, the pins being exactly the
catalogue's pin set, the five test-access pins of their kinds and the 16
op-codes of the debug port. A file that breaks one stops the build with a
message naming it.
"""

import argparse
import importlib.util
import os
import re
import sys

MAX_PINS = 108
MAX_CELLS = 204
MAX_OPCODES = 16
PIN_COUNTS = (48, 64, 100, 108)
BGA_ROWS = "ABCDEFGHJKLM"
SCAN_CLOCK_HZ = 10.0e6
CONFORMANCE = "STD_1149_1_1993"

OPCODES = [("EXTEST", "0000"), ("INTEST", "0001"), ("SAMPLE", "0010"), ("BYPASS", "0011"),
           ("BYPASS", "0100"), ("BYPASS", "0101"), ("BYPASS", "0110"), ("BYPASS", "0111"),
           ("ABORT", "1000"), ("BYPASS", "1001"), ("DPACC", "1010"), ("APACC", "1011"),
           ("BYPASS", "1100"), ("BYPASS", "1101"), ("IDCODE", "1110"), ("BYPASS", "1111")]

TAP_ATTRIBUTES = {"TAP_SCAN_IN": "TDI", "TAP_SCAN_OUT": "TDO", "TAP_SCAN_MODE": "TMS",
                  "TAP_SCAN_CLOCK": "TCK", "TAP_SCAN_RESET": "TRST"}
TAP_ORDER = ("TDI", "TDO", "TMS", "TCK", "TRST")

FUNCTIONS = {"input": "Input", "clock": "Clock", "output2": "Output2", "output3": "Output3",
             "control": "Control", "controlr": "ControlR", "internal": "Internal",
             "bidir": "BiDir", "observe_only": "ObserveOnly"}
OUTPUT_FUNCTIONS = ("Output2", "Output3", "BiDir")
DISABLE_RESULTS = {"Z": "HiZ", "WEAK0": "Weak0", "WEAK1": "Weak1", "PULL0": "Pull0",
                   "PULL1": "Pull1", "KEEPER": "Keeper"}
BITS = {"0": "0", "1": "1", "X": "X"}

# (kind, function, safe, disable value, disable result, has port) of the
# four cell shapes.
SHAPES = {
    "control": ("BC_1", "Control", "1", "0", "Undefined", False),
    "output": ("BC_1", "Output3", "X", "1", "HiZ", True),
    "input": ("BC_1", "Input", "X", "0", "Undefined", True),
    "clock": ("BC_4", "Clock", "X", "0", "Undefined", True),
}


class RecordError(Exception):
    pass


def fail(message):
    raise RecordError(message)


# --- the catalogue --------------------------------------------------------

def load_catalogue(folder):
    script = os.path.join(folder, "gen-device-tables.py")
    spec = importlib.util.spec_from_file_location("gen_device_tables", script)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    try:
        return module.Catalogue(folder)
    except module.CatalogueError as e:
        fail(f"catalogue: {e}")


def pin_set_of(cat, filename):
    """The file's package pins in the pin set's order, each pin once."""
    sets = {r["pinset"] for r in cat.rows if r["bsdl"] == filename}
    if len(sets) != 1:
        fail(f"{filename}: {len(sets)} pin sets name this file")
    seen, pins = set(), []
    for number, _ in cat.pins[sets.pop()]:
        if number not in seen:
            seen.add(number)
            pins.append(number)
    return pins


def read_layouts(path):
    layouts = {}
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            count, *pairs = line.split()
            entry = {}
            for pair in pairs:
                key, _, value = pair.partition("=")
                entry[key] = [v for v in value.split(",") if v]
            for key in ("tdo", "tdi", "tms", "tck", "trst", "rst", "start"):
                if len(entry.get(key, [])) != 1:
                    fail(f"{path}: {count} needs exactly one {key}")
                entry[key] = entry[key][0]
            for key in ("vdd", "gnd", "nc"):
                entry.setdefault(key, [])
            layouts[int(count)] = entry
    return layouts


def package_order_key(pin):
    if pin.isdigit():
        return (0, int(pin))
    return (1, BGA_ROWS.index(pin[0]), int(pin[1:]))


def port_names(with_trst):
    """GPIO names in boundary-register order. PC0-PC3 carry the test-access
    port and PB7 its reset when the chip has one."""
    taken = {"PC0", "PC1", "PC2", "PC3"} | ({"PB7"} if with_trst else set())
    names = [f"P{port}{bit}" for port in "ABCDEFGHJ" for bit in range(8)]
    names = [n for n in names if n not in taken]
    start = names.index("PB3")
    return names[start:] + names[:start]


def base_of(filename):
    m = re.search(r"(lm3s[0-9a-z]+)_r[a-z]\d", filename)
    if not m:
        fail(f"{filename}: no base part number in the name")
    return m.group(1).upper()


def has_trst(filename):
    # Revision-0 silicon dropped the TRST input.
    return re.search(r"_r[a-z]0_", filename) is None


def make_bsdl(cat, layouts, filename, entity):
    pins = pin_set_of(cat, filename)
    if len(pins) not in layouts:
        fail(f"{filename}: no layout for {len(pins)} pins")
    layout = layouts[len(pins)]
    order = sorted(pins, key=package_order_key)
    for key in ("tdo", "tdi", "tms", "tck", "trst", "rst", "start"):
        if layout[key] not in pins:
            fail(f"{filename}: layout pin {key}={layout[key]} is not in the pin set")
    for key in ("vdd", "gnd", "nc"):
        for pin in layout[key]:
            if pin not in pins:
                fail(f"{filename}: layout pin {key}={pin} is not in the pin set")
    start = order.index(layout["start"])
    order = order[start:] + order[:start]

    trst = has_trst(filename)
    tap = {name: layout[name.lower()] for name in TAP_ORDER if name != "TRST" or trst}
    fixed = set(tap.values()) | {layout["rst"]} | set(layout["vdd"]) | set(layout["gnd"]) \
        | set(layout["nc"])
    slots = [p for p in order if p not in fixed]
    base = base_of(filename)
    io_count = cat.max_io[base] - len(tap)
    if io_count > len(slots):
        fail(f"{filename}: {io_count} port pins do not fit {len(slots)} slots")
    io_pins = slots[:io_count]
    nc = [p for p in order if p in set(layout["nc"]) | set(slots[io_count:])]
    names = port_names(trst)[:io_count]
    io_name = dict(zip(io_pins, names))

    ports, pin_map, cells = [], [], []
    for pin in order:
        if pin in io_name:
            ports.append(f"{io_name[pin]} : inout bit")
            pin_map.append(f"{io_name[pin]} : {pin}")
            k = len(cells)
            cells.append(f"{k} (BC_1, *, control, 1)")
            cells.append(f"{k + 1} (BC_1, {io_name[pin]}, output3, X, {k}, 1, Z)")
            cells.append(f"{k + 2} (BC_1, {io_name[pin]}, input, X)")
        elif pin == layout["rst"]:
            # Revision-0 silicon keeps the reset pin out of the boundary
            # register: a linkage pin there.
            ports.append(f"RST : {'in' if trst else 'linkage'} bit")
            pin_map.append(f"RST : {pin}")
            if trst:
                cells.append(f"{len(cells)} (BC_4, RST, clock, X)")
    for name in TAP_ORDER:
        if name in tap:
            ports.append(f"{name} : {'out' if name == 'TDO' else 'in'} bit")
            pin_map.append(f"{name} : {tap[name]}")
    for name, group in (("VDD", layout["vdd"]), ("GND", layout["gnd"]), ("NC", nc)):
        if group:
            ports.append(f"{name} : linkage bit_vector(1 to {len(group)})")
            pin_map.append(f"{name} : ({', '.join(group)})")

    opcodes = {}
    for name, pattern in OPCODES:
        opcodes.setdefault(name, []).append(pattern)
    package = f"PKG{len(pins)}"

    def strings(items, indent="    "):
        return " &\n".join(f'{indent}"{item}' + (',"' if i + 1 < len(items) else '"')
                           for i, item in enumerate(items))

    lines = [f"-- {filename}: made from the device catalogue's pin set.",
             f"entity {entity} is",
             f'  generic (PHYSICAL_PIN_MAP : string := "{package}");',
             "  port (",
             ";\n".join(f"    {p}" for p in ports),
             "  );",
             "  use STD_1149_1_1994.all;",
             f"  attribute COMPONENT_CONFORMANCE of {entity} : entity is \"{CONFORMANCE}\";",
             f"  attribute PIN_MAP of {entity} : entity is PHYSICAL_PIN_MAP;",
             f"  constant {package} : PIN_MAP_STRING :=",
             strings(pin_map) + ";"]
    for name in TAP_ORDER:
        if name in tap:
            attribute = next(a for a, n in TAP_ATTRIBUTES.items() if n == name)
            value = "(10.0e6, BOTH)" if name == "TCK" else "true"
            lines.append(f"  attribute {attribute} of {name} : signal is {value};")
    lines += [f"  attribute INSTRUCTION_LENGTH of {entity} : entity is 4;",
              f"  attribute INSTRUCTION_OPCODE of {entity} : entity is",
              strings([f"{n} ({', '.join(p)})" for n, p in opcodes.items()]) + ";",
              f"  attribute INSTRUCTION_CAPTURE of {entity} : entity is \"0001\";",
              f"  attribute BOUNDARY_LENGTH of {entity} : entity is {len(cells)};",
              f"  attribute BOUNDARY_REGISTER of {entity} : entity is",
              strings(cells) + ";",
              f"end {entity};", ""]
    return "\n".join(lines)


# --- the reader -----------------------------------------------------------

def statements(text):
    """Statements split at semicolons outside strings and parentheses."""
    out, current, depth, quoted = [], [], 0, False
    for ch in text:
        if quoted:
            quoted = ch != '"'
        elif ch == '"':
            quoted = True
        elif ch == "(":
            depth += 1
        elif ch == ")":
            depth -= 1
        elif ch == ";" and depth == 0:
            out.append("".join(current).strip())
            current = []
            continue
        current.append(ch)
    if "".join(current).strip():
        out.append("".join(current).strip())
    return out


def split_top(text, separator=","):
    parts, current, depth = [], [], 0
    for ch in text:
        if ch == "(":
            depth += 1
        elif ch == ")":
            depth -= 1
        if ch == separator and depth == 0:
            parts.append("".join(current).strip())
            current = []
            continue
        current.append(ch)
    if "".join(current).strip():
        parts.append("".join(current).strip())
    return parts


def string_value(expression):
    return "".join(re.findall(r'"([^"]*)"', expression))


def read_ports(text, filename):
    m = re.search(r"\bport\s*\(", text, re.IGNORECASE)
    if not m:
        fail(f"{filename}: no port clause")
    depth, i = 1, m.end()
    while depth:
        if i >= len(text):
            fail(f"{filename}: the port clause is not closed")
        depth += {"(": 1, ")": -1}.get(text[i], 0)
        i += 1
    ports = []
    for declaration in split_top(text[m.end():i - 1], ";"):
        names, _, rest = declaration.partition(":")
        d = re.match(r"\s*(in|out|inout|buffer|linkage)\s+(bit_vector\s*\((.*)\)|bit)\s*$",
                     rest, re.IGNORECASE)
        if not d:
            fail(f"{filename}: cannot read port declaration {declaration!r}")
        mode = d.group(1).lower()
        indices = [None]
        if d.group(3):
            r = re.match(r"\s*(\d+)\s+(to|downto)\s+(\d+)\s*$", d.group(3), re.IGNORECASE)
            if not r:
                fail(f"{filename}: cannot read range {d.group(3)!r}")
            a, direction, b = int(r.group(1)), r.group(2).lower(), int(r.group(3))
            indices = list(range(a, b + 1)) if direction == "to" else list(range(a, b - 1, -1))
        for name in split_names(names):
            ports.append((name, mode, indices))
    return ports


def split_names(text):
    return [n.strip() for n in text.split(",") if n.strip()]


def read_bsdl(text, filename):
    text = re.sub(r"--[^\n]*", "", text)
    m = re.search(r"\bentity\s+(\w+)\s+is\b", text, re.IGNORECASE)
    if not m:
        fail(f"{filename}: no entity")
    bsdl = {"entity": m.group(1), "ports": read_ports(text, filename), "attributes": {},
            "constants": {}}
    generic = re.search(r"PHYSICAL_PIN_MAP\s*:\s*string\s*:=\s*\"([^\"]*)\"", text,
                        re.IGNORECASE)
    bsdl["package"] = generic.group(1) if generic else None
    for statement in statements(text):
        a = re.match(r"attribute\s+(\w+)\s+of\s+(.+?)\s*:\s*(\w+)\s+is\s+(.*)$", statement,
                     re.IGNORECASE | re.DOTALL)
        if a:
            key = a.group(1).upper()
            bsdl["attributes"].setdefault(key, []).append((a.group(2).strip(), a.group(4)))
            continue
        c = re.match(r"constant\s+(\w+)\s*:\s*PIN_MAP_STRING\s*:=\s*(.*)$", statement,
                     re.IGNORECASE | re.DOTALL)
        if c:
            bsdl["constants"][c.group(1)] = string_value(c.group(2))
    return bsdl


def attribute(bsdl, key, filename, required=True):
    values = bsdl["attributes"].get(key, [])
    if not values:
        if required:
            fail(f"{filename}: no {key}")
        return None
    return values[0][1]


def pin_map_of(bsdl, filename):
    constants = bsdl["constants"]
    if not constants:
        fail(f"{filename}: no PIN_MAP_STRING")
    if bsdl["package"] in constants:
        text = constants[bsdl["package"]]
    elif len(constants) == 1:
        text = next(iter(constants.values()))
    else:
        fail(f"{filename}: several pin maps and none chosen")
    result = {}
    for entry in split_top(text):
        name, _, pins = entry.partition(":")
        pins = pins.strip()
        if pins.startswith("("):
            pins = [p.strip() for p in pins[1:-1].split(",")]
        else:
            pins = [pins]
        result[name.strip().upper()] = pins
    return result


def power_kind(name):
    upper = name.upper()
    if upper.startswith(("VDD", "VCC")):
        return "Power"
    if upper.startswith(("GND", "VSS")):
        return "Ground"
    return None


def record_from_bsdl(bsdl, filename, catalogue_pins):
    pin_map = pin_map_of(bsdl, filename)
    tap_port = {}
    for key, kind in TAP_ATTRIBUTES.items():
        for target, _ in bsdl["attributes"].get(key, []):
            tap_port[target.upper()] = kind

    # Package pins by number, and which pin each port element sits on.
    pins, element_pin = {}, {}
    for name, mode, indices in bsdl["ports"]:
        numbers = pin_map.get(name.upper())
        if numbers is None:
            fail(f"{filename}: port {name} is not in the pin map")
        if len(numbers) != len(indices):
            fail(f"{filename}: port {name} has {len(indices)} elements, "
                 f"the pin map {len(numbers)} pins")
        for index, number in zip(indices, numbers):
            element = name if index is None else f"{name}({index})"
            pin_name = name if index is None or mode == "linkage" else element
            if number in pins:
                fail(f"{filename}: pin {number} is mapped twice")
            kind = tap_port.get(name.upper()) or (power_kind(name) if mode == "linkage"
                                                   else None) or "Normal"
            direction = {"in": "Input", "out": "Output", "buffer": "Output",
                         "inout": "IO"}.get(mode)
            if direction is None:
                direction = "Power" if kind in ("Power", "Ground") else "Passive"
            pins[number] = {"name": pin_name, "number": number, "kind": kind,
                            "direction": direction, "cells": []}
            element_pin[element.upper()] = number

    if catalogue_pins is not None:
        if set(pins) != set(catalogue_pins):
            missing = sorted(set(catalogue_pins) - set(pins))
            extra = sorted(set(pins) - set(catalogue_pins))
            fail(f"{filename}: pins differ from the catalogue's pin set "
                 f"(missing {missing}, not in the set {extra})")
        order = catalogue_pins
    else:
        order = list(pins)

    cells = []
    for entry in split_top(string_value(attribute(bsdl, "BOUNDARY_REGISTER", filename))):
        m = re.match(r"^(\d+)\s*\((.*)\)$", entry, re.DOTALL)
        if not m:
            fail(f"{filename}: cannot read cell {entry!r}")
        fields = [f.strip() for f in split_top(m.group(2))]
        if len(fields) not in (4, 7):
            fail(f"{filename}: cell {entry!r} needs 4 or 7 fields")
        function = FUNCTIONS.get(fields[2].lower())
        if function is None or fields[3].upper() not in BITS:
            fail(f"{filename}: cell {entry!r} has an unknown function or safe bit")
        port = fields[1]
        cell = {"number": int(m.group(1)), "kind": fields[0].upper(), "port": port,
                "function": function, "safe": BITS[fields[3].upper()], "control": -1,
                "disable": "0", "result": "Undefined", "target": -1, "pin": ""}
        if len(fields) == 7:
            cell["control"] = int(fields[4])
            cell["disable"] = BITS.get(fields[5].upper()) or fail(f"{filename}: {entry!r}")
            cell["result"] = DISABLE_RESULTS.get(fields[6].upper()) or fail(
                f"{filename}: {entry!r}")
        if port != "*":
            number = element_pin.get(port.upper())
            if number is None:
                fail(f"{filename}: cell {entry!r} names an unknown port")
            cell["pin"] = number
        cells.append(cell)
    cells.sort(key=lambda c: c["number"])
    by_number = {c["number"]: c for c in cells}
    for cell in cells:
        if cell["control"] >= 0:
            control = by_number.get(cell["control"])
            if control is None:
                fail(f"{filename}: cell {cell['number']} names a missing control cell")
            if control["target"] == -1:
                control["target"] = cell["number"]
    for cell in cells:
        if cell["pin"]:
            pins[cell["pin"]]["cells"].append(cell)
    for pin in pins.values():
        pin["cells"].sort(key=lambda c: (c["function"] not in OUTPUT_FUNCTIONS, c["number"]))

    opcodes = []
    for entry in split_top(string_value(attribute(bsdl, "INSTRUCTION_OPCODE", filename))):
        m = re.match(r"^(\w+)\s*\((.*)\)$", entry, re.DOTALL)
        if not m:
            fail(f"{filename}: cannot read op-code {entry!r}")
        for pattern in split_top(m.group(2)):
            opcodes.append((m.group(1).upper(), pattern.strip()))
    opcodes.sort(key=lambda o: int(o[1], 2))
    sample = next((int(p, 2) for n, p in opcodes if n == "SAMPLE"), None)
    if sample is None:
        fail(f"{filename}: no SAMPLE instruction")

    clock = attribute(bsdl, "TAP_SCAN_CLOCK", filename)
    m = re.match(r"\s*\(\s*([0-9.eE+-]+)\s*,\s*(\w+)\s*\)\s*$", clock)
    if not m:
        fail(f"{filename}: cannot read TAP_SCAN_CLOCK {clock!r}")
    halt = {"LOW": "Low", "BOTH": "Both"}.get(m.group(2).upper(), "None")

    tap_numbers = {kind: "" for kind in TAP_ORDER}
    for port, kind in tap_port.items():
        numbers = pin_map.get(port)
        if not numbers or len(numbers) != 1:
            fail(f"{filename}: test-access port {port} needs one pin")
        tap_numbers[kind] = numbers[0]

    length = int(attribute(bsdl, "BOUNDARY_LENGTH", filename).strip())
    compliance = attribute(bsdl, "COMPLIANCE_PATTERNS", filename, required=False)
    return {"entity": bsdl["entity"], "filename": filename, "length": length,
            "speed": float(m.group(1)), "halt": halt,
            "conformance": string_value(attribute(bsdl, "COMPONENT_CONFORMANCE", filename)),
            "compliance": string_value(compliance) if compliance else "",
            "sample": sample, "tap": tap_numbers,
            "pins": [pins[n] for n in order], "cells": cells, "opcodes": opcodes}


# --- the rules ------------------------------------------------------------

def shape_of(cell):
    for name, (kind, function, safe, disable, result, has_port) in SHAPES.items():
        if (cell["kind"], cell["function"], cell["safe"], cell["disable"], cell["result"]) == \
                (kind, function, safe, disable, result) and (cell["port"] != "*") == has_port:
            return name
    return None


def check_record(rec):
    name = rec["filename"]
    cells, pins = rec["cells"], rec["pins"]
    if not 1 <= rec["length"] <= MAX_CELLS or len(cells) != rec["length"]:
        fail(f"{name}: {len(cells)} cells, boundary length {rec['length']}")
    if [c["number"] for c in cells] != list(range(len(cells))):
        fail(f"{name}: cells are not numbered 0 to {len(cells) - 1}")
    for cell in cells:
        shape = shape_of(cell)
        if shape is None:
            fail(f"{name}: cell {cell['number']} has none of the four shapes")
        if (shape == "control") != (cell["target"] >= 0) or \
                (shape == "output") != (cell["control"] >= 0):
            fail(f"{name}: cell {cell['number']} is not linked as a {shape} cell")
        if shape == "control" and cells[cell["target"]]["control"] != cell["number"]:
            fail(f"{name}: control cell {cell['number']} and its target disagree")
        if shape == "output" and cells[cell["control"]]["target"] != cell["number"]:
            fail(f"{name}: output cell {cell['number']} and its control cell disagree")
    if len(pins) not in PIN_COUNTS:
        fail(f"{name}: {len(pins)} pins")
    for pin in pins:
        shapes = [shape_of(c) for c in pin["cells"]]
        if shapes not in (["output", "input"], ["clock"], []):
            fail(f"{name}: pin {pin['number']} has cells {shapes}")
        if not shapes and pin["kind"] == "Normal" and pin["direction"] != "Passive":
            fail(f"{name}: pin {pin['number']} is a signal pin without cells")
    by_number = {p["number"]: p for p in pins}
    for kind, number in rec["tap"].items():
        if kind != "TRST" and not number:
            fail(f"{name}: no {kind} pin")
        if number and by_number[number]["kind"] != kind:
            fail(f"{name}: {kind} pin {number} is not of that kind")
    if rec["opcodes"] != OPCODES:
        fail(f"{name}: the op-codes are not the debug port's 16")


# --- output ---------------------------------------------------------------

def wide(text):
    out = []
    for ch in text:
        if ch in '"\\':
            out.append("\\" + ch)
        elif " " <= ch <= "~":
            out.append(ch)
        else:
            out.append(f"\\u{ord(ch):04X}")
    return 'L"' + "".join(out) + '"'


def write_source(records, path):
    out = ["// Generated by tools/gen/bsdl/gen-bsdl-records.py; do not edit.",
           '#include "bsdl-records.h"', "",
           "constexpr TBSDLRecord TBSDLParameters[BSDLNameCount] = {"]
    for index, rec in enumerate(records):
        tap = ", ".join(wide(rec["tap"][k]) for k in TAP_ORDER)
        out.append(f"    // {index}")
        out.append(f"    {{{wide(rec['entity'])}, {rec['length']}, {rec['speed']!r}, "
                   f"eScanClockHaltMode_{rec['halt']}, {wide(rec['conformance'])}, "
                   f"{wide(rec['compliance'])}, {wide(rec['filename'])}, {rec['sample']}u,")
        out.append(f"     {tap},")
        out.append(f"     {len(rec['pins'])},")
        out.append("     {")
        for pin in rec["pins"]:
            numbers = [c["number"] for c in pin["cells"]] + [-1, -1]
            out.append(f"         {{eElectric{pin['direction']}, {wide(pin['name'])}, "
                       f"{wide(pin['number'])}, eScanPinKind_{pin['kind']}, "
                       f"{{{wide(pin['name'])}, {wide(pin['number'])}}}, {len(pin['cells'])}, "
                       f"{{{numbers[0]}, {numbers[1]}}}}},")
        out.append("     },")
        out.append(f"     {len(rec['cells'])},")
        out.append("     {")
        for c in rec["cells"]:
            out.append(f"         {{{c['number']}, eCellKind_{c['kind']}, {wide(c['port'])}, "
                       f"eCellFunction_{c['function']}, eBit_{c['safe']}, eBit_{c['disable']}, "
                       f"eDisableResult_{c['result']}, {wide(c['pin'])}, {c['control']}, "
                       f"{c['target']}}},")
        out.append("     },")
        opcodes = ", ".join(f"{{{wide(n)}, {wide(p)}}}" for n, p in rec["opcodes"])
        out.append(f"     {len(rec['opcodes'])},")
        out.append(f"     {{{opcodes}}},")
        out.append("     0,")
        out.append("     {}},")
    out += ["};", ""]
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(out) + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--catalogue", required=True)
    parser.add_argument("--layouts", required=True)
    parser.add_argument("--bsdl-dir")
    parser.add_argument("--dump-dir")
    parser.add_argument("--source", required=True)
    args = parser.parse_args()
    try:
        cat = load_catalogue(args.catalogue)
        layouts = read_layouts(args.layouts)
        records, seen_bases, read = [], {}, 0
        for filename in cat.bsdl_names:
            base = base_of(filename)
            repeat = seen_bases.get(base, 0)
            seen_bases[base] = repeat + 1
            real = os.path.join(args.bsdl_dir, filename) if args.bsdl_dir else None
            if real and os.path.isfile(real):
                with open(real, encoding="latin-1") as f:
                    text = f.read()
                read += 1
            else:
                entity = base if repeat == 0 else f"{base}_{repeat}"
                text = make_bsdl(cat, layouts, filename, entity)
                if args.dump_dir:
                    os.makedirs(args.dump_dir, exist_ok=True)
                    with open(os.path.join(args.dump_dir, filename), "w",
                              encoding="utf-8") as f:
                        f.write(text)
            rec = record_from_bsdl(read_bsdl(text, filename), filename,
                                   pin_set_of(cat, filename))
            check_record(rec)
            records.append(rec)
    except RecordError as e:
        print(f"gen-bsdl-records: {e}", file=sys.stderr)
        return 1
    write_source(records, args.source)
    print(f"gen-bsdl-records: {len(records)} records, {read} read from BSDL files, "
          f"{len(records) - read} made from the catalogue")
    return 0


if __name__ == "__main__":
    sys.exit(main())

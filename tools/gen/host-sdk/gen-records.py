#!/usr/bin/env python3
"""Writes the host wrapper records from records.txt.

Outputs: the record classes (header and source), the call table the fake host
objects serve, and optionally the table of typed call cases the record tests
walk. Standard library only; run at build time.
"""

import argparse
import re
import sys

from genfiles import write_if_changed

CONVERSIONS = ["FromPointer", "ToPointer", "FromDispatch", "ToDispatch", "AsDispatch",
               "AsInterface", "FromInterface"]

# kind -> (descriptor byte, C++ parameter type, by reference)
VALUE_KINDS = {
    "int": (3, "int32_t"),
    "string": (8, "const std::wstring&"),
    "bool": (11, "bool"),
    "int64": (20, "int64_t"),
    "double": (5, "double"),
}
BYREF_KINDS = {
    "int": (0x83, "int32_t&"),
    "string": (0x88, "std::wstring&"),
    "int64": (0x94, "int64_t&"),
}
RESULTS = {
    "-": (0, "void", "HostCallVoid"),
    "int": (3, "int32_t", "HostCallInt"),
    "string": (8, "std::wstring", "HostCallString"),
    "bool": (11, "bool", "HostCallBool"),
    "int64": (20, "int64_t", "HostCallInt64"),
    "double": (5, "double", "HostCallReal"),
}
PARAM_STEMS = {"int": "Value", "string": "Text", "bool": "Flag", "int64": "Value", "double": "Value"}


class Fail(Exception):
    pass


class Arg:
    def __init__(self, text, records, where):
        words = text.split()
        self.mode = "in"
        if words[0] in ("var", "out"):
            self.mode = words[0]
            words = words[1:]
        if len(words) != 1:
            raise Fail(f"{where}: bad argument kind '{text}'")
        self.base = words[0]
        self.record = None
        if self.base == "dispatch":
            self.record = "TDispatchRecord"
        elif self.base.startswith("I"):
            self.record = self.base
            records.add(self.base)
        elif self.base not in VALUE_KINDS:
            raise Fail(f"{where}: unknown argument kind '{text}'")
        if self.mode == "out" and self.base != "string":
            raise Fail(f"{where}: only strings are out arguments")
        if self.mode != "in" and self.record is None and self.base not in BYREF_KINDS:
            raise Fail(f"{where}: '{self.base}' cannot be passed by reference")

    @property
    def byref(self):
        return self.mode != "in"

    @property
    def descriptor(self):
        if self.record:
            return 0x89 if self.byref else 9
        return BYREF_KINDS[self.base][0] if self.byref else VALUE_KINDS[self.base][0]

    @property
    def cpp_type(self):
        if self.record:
            return f"{self.record}&" if self.byref else f"const {self.record}&"
        return BYREF_KINDS[self.base][1] if self.byref else VALUE_KINDS[self.base][1]


class Operation:
    def __init__(self, record, dispid, name, args, result, same_as, line):
        self.record = record
        self.dispid = dispid
        self.name = name
        self.args = args
        self.result = result
        self.same_as = same_as
        self.line = line

    @property
    def result_record(self):
        if self.result == "dispatch":
            return "TDispatchRecord"
        return self.result if self.result.startswith("I") else None

    @property
    def result_vartype(self):
        return 9 if self.result_record else RESULTS[self.result][0]

    @property
    def result_cpp(self):
        return self.result_record or RESULTS[self.result][1]

    def params(self):
        out = []
        used = {}
        for i, a in enumerate(self.args):
            if a.record and a.record != "TDispatchRecord":
                stem = a.record[1:]
            elif a.record:
                stem = "Object"
            else:
                stem = PARAM_STEMS[a.base]
            if a.mode == "out":
                stem = "Out" + stem
            elif a.mode == "var":
                stem = "Var" + stem
            used[stem] = used.get(stem, 0) + 1
            out.append([stem, a])
        seen = {}
        names = []
        for stem, a in out:
            if used[stem] > 1:
                seen[stem] = seen.get(stem, 0) + 1
                names.append(f"A{stem}{seen[stem]}")
            else:
                names.append(f"A{stem}")
        return list(zip(names, self.args))


class Record:
    def __init__(self, name, group):
        self.name = name
        self.group = group
        self.conversions = []
        self.views = []
        self.operations = []


def parse(path):
    records = []
    mentioned = set()
    group = None
    current = None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.split("#", 1)[0].strip()
            where = f"{path}:{number}"
            if not line:
                continue
            if line.startswith("group "):
                group = line.split()[1]
                continue
            if line.startswith("record "):
                current = Record(line.split()[1], group)
                records.append(current)
                continue
            if current is None:
                raise Fail(f"{where}: row outside a record")
            if line.startswith("conversions "):
                for c in line.split()[1:]:
                    if c not in CONVERSIONS:
                        raise Fail(f"{where}: unknown conversion {c}")
                    current.conversions.append(c)
                continue
            if line.startswith("view "):
                _, as_name, target = line.split()
                current.views.append((as_name, target))
                mentioned.add(target)
                continue
            cells = [c.strip() for c in line.split("|")]
            if len(cells) not in (4, 5) or not cells[0].isdigit():
                raise Fail(f"{where}: malformed row")
            args = [] if cells[2] == "-" else [Arg(a.strip(), mentioned, where) for a in cells[2].split(",")]
            result = cells[3]
            if result not in RESULTS and result != "dispatch":
                if not re.fullmatch(r"I\w+", result):
                    raise Fail(f"{where}: unknown result kind {result}")
                mentioned.add(result)
            same_as = None
            if len(cells) == 5:
                m = re.fullmatch(r"same as (\w+)", cells[4])
                if not m:
                    raise Fail(f"{where}: bad fifth column")
                same_as = m.group(1)
            current.operations.append(Operation(current, int(cells[0]), cells[1], args, result, same_as, where))
    names = {r.name for r in records}
    if len(names) != len(records):
        raise Fail("a record is declared twice")
    for m in sorted(mentioned - names):
        raise Fail(f"record {m} is used but not declared")
    for r in records:
        ops = {}
        for op in r.operations:
            if op.name in ops:
                raise Fail(f"{op.line}: {r.name}.{op.name} declared twice")
            ops[op.name] = op
        for op in r.operations:
            if op.same_as:
                target = ops.get(op.same_as)
                if (target is None or target.same_as or target.dispid != op.dispid
                        or target.result != op.result
                        or [a.descriptor for a in target.args] != [a.descriptor for a in op.args]):
                    raise Fail(f"{op.line}: {op.name} is not the same call as {op.same_as}")
        dispids = [op.dispid for op in r.operations if not op.same_as]
        if len(dispids) != len(set(dispids)):
            raise Fail(f"{r.name}: two operations share a DISPID without 'same as'")
    return records


HEADER_NOTE = "// Written by tools/gen/host-sdk/gen-records.py from records.txt; do not edit.\n"


def write_header(records, path):
    out = [HEADER_NOTE, "#pragma once\n\n",
           '#include "disp-record.h"\n\n',
           "#include <cstdint>\n#include <string>\n\n"]
    for r in records:
        out.append(f"class {r.name};\n")
    out.append("\n")
    for r in records:
        out.append(f"class {r.name} : public TDispRecord<{r.name}> {{\npublic:\n")
        for as_name, target in r.views:
            out.append(f"  {target} {as_name}() const;\n")
        for op in r.operations:
            params = ", ".join(f"{a.cpp_type} {n}" for n, a in op.params())
            out.append(f"  {op.result_cpp} {op.name}({params}) const;\n")
            if has_into(op):
                out.append(f"  void {op.name}Into({into_params(params)}) const;\n")
        out.append("};\n\n")
    write_if_changed(path, "".join(out))


def has_into(op):
    """A text result also has a form that fills the caller's string, whose
    room is reused: a road that asks for texts over and over allocates
    nothing on the plug-in's side."""
    return op.result == "string" and not op.result_record and not op.same_as


def into_params(params):
    return ", ".join(p for p in (params, "std::wstring& AResult") if p)


def call_arguments(op):
    """Lines before the call, the argument expressions, lines after."""
    before, exprs = [], []
    for i, (name, a) in enumerate(op.params()):
        if a.record and a.byref:
            before.append(f"  TVarDispatch<{a.record}> ref{i}({name});\n")
            exprs.append(f"ref{i}.Slot()")
        elif a.record:
            before.append(f"  const TComPtr<IDispatch> arg{i} = {name}.ToDispatch();\n")
            exprs.append(f"arg{i}.Get()")
        elif a.mode == "out":
            before.append(f"  {name}.clear();\n")
            exprs.append(f"&{name}")
        elif a.byref:
            exprs.append(f"&{name}")
        else:
            exprs.append(name)
    return before, exprs


def write_source(records, path, header_name):
    out = [HEADER_NOTE, f'#include "{header_name}"\n\n',
           '#include "outgoing-call.h"\n#include "record-support.h"\n\n',
           "namespace {\n\n"]
    for r in records:
        for op in r.operations:
            if op.same_as:
                continue
            kinds = ", ".join(f"0x{a.descriptor:02X}" for a in op.args)
            out.append(f"constexpr THostCallDescriptor k{r.name}_{op.name}{{{op.dispid}, {op.result_vartype}, "
                       f"kCallMethod, {len(op.args)}, 0, {{{kinds}}}}};\n")
    out.append("\n} // namespace\n\n")
    for r in records:
        for as_name, target in r.views:
            out.append(f"{target} {r.name}::{as_name}() const {{ return As<{target}>(); }}\n\n")
        for op in r.operations:
            params = op.params()
            sig = ", ".join(f"{a.cpp_type} {n}" for n, a in params)
            out.append(f"{op.result_cpp} {r.name}::{op.name}({sig}) const {{\n")
            if op.same_as:
                names = ", ".join(n for n, _ in params)
                ret = "" if op.result == "-" else "return "
                out.append(f"  {ret}{op.same_as}({names});\n}}\n\n")
                continue
            before, exprs = call_arguments(op)
            out.extend(before)
            if op.result_record:
                fn = f"HostCallRecord<{op.result_record}>"
            else:
                fn = RESULTS[op.result][2]
            ret = "" if op.result == "-" else "return "
            args = "".join(", " + e for e in exprs)
            out.append(f"  {ret}{fn}(FIntf, k{r.name}_{op.name}{args});\n}}\n\n")
            if has_into(op):
                out.append(f"void {r.name}::{op.name}Into({into_params(sig)}) const {{\n")
                out.extend(before)
                out.append(f"  HostCallStringInto(AResult, FIntf, k{r.name}_{op.name}{args});\n}}\n\n")
    write_if_changed(path, "".join(out))


def wide(text):
    return f'L"{text}"'


def write_table(records, path, table_header):
    out = [HEADER_NOTE, f'#include "{table_header}"\n\n', "namespace {\n\n",
           "constexpr THostRecordCall kCalls[] = {\n"]
    kinds = []
    index = 0
    for r in records:
        first = index
        for op in r.operations:
            if op.same_as:
                continue
            types = ", ".join(f"0x{a.descriptor:02X}" for a in op.args)
            out.append(f"    {{{wide(r.name)}, {wide(op.name)}, {op.dispid}, {op.result_vartype}, "
                       f"{len(op.args)}, {{{types}}}}},\n")
            index += 1
        mask = " | ".join(f"kConversion{c}" for c in r.conversions) or "0"
        kinds.append(f"    {{{wide(r.name)}, {wide(r.group)}, {first}, {index - first}, {mask}}},\n")
    out.append("};\n\nconstexpr THostRecordKind kKinds[] = {\n")
    out.extend(kinds)
    out.append("};\n\nconstexpr THostRecordAlias kAliases[] = {\n")
    aliases = [(r.name, op.name, op.same_as) for r in records for op in r.operations if op.same_as]
    for rec, name, same in aliases:
        out.append(f"    {{{wide(rec)}, {wide(name)}, {wide(same)}}},\n")
    out.append("};\n\n")
    out.append("constexpr THostRecordView kViews[] = {\n")
    views = [(r.name, a, t) for r in records for a, t in r.views]
    for rec, name, target in views:
        out.append(f"    {{{wide(rec)}, {wide(name)}, {wide(target)}}},\n")
    out.append("};\n\n} // namespace\n\n")
    out.append("std::span<const THostRecordCall> HostRecordCalls() { return kCalls; }\n")
    out.append("std::span<const THostRecordKind> HostRecordKinds() { return kKinds; }\n")
    out.append("std::span<const THostRecordAlias> HostRecordAliases() { return kAliases; }\n")
    out.append("std::span<const THostRecordView> HostRecordViews() { return kViews; }\n")
    write_if_changed(path, "".join(out))


def case_body(op):
    lines = [f"  const {op.record.name} record = {op.record.name}::FromDispatch(ATarget);\n"]
    names = []
    after = []
    for i, (_, a) in enumerate(op.params()):
        v = f"a{i}"
        names.append(v)
        const = "" if a.byref else "const "
        if a.record:
            lines.append(f"  {const}{a.record} {v} = {a.record}::FromDispatch(AProbe.Object({i}));\n")
        else:
            getter = {"int": "Int", "string": "Text", "bool": "Bool", "int64": "Int64", "double": "Real"}[a.base]
            cpp = VALUE_KINDS[a.base][1].replace("const ", "").replace("&", "")
            lines.append(f"  {const}{cpp} {v} = AProbe.{getter}({i});\n")
        if a.byref:
            after.append(f"  AProbe.CameBack({i}, {v});\n")
    call = f"record.{op.name}({', '.join(names)})"
    if op.result == "-":
        lines.append(f"  {call};\n")
    else:
        lines.append(f"  AProbe.Returned({call});\n")
    return "".join(lines + after)


def write_cases(records, path, header_name):
    out = [HEADER_NOTE, f'#include "{header_name}"\n#include "record-cases.h"\n\n',
           "namespace {\n\n"]
    entries = []
    for r in records:
        for op in r.operations:
            fn = f"Call_{r.name}_{op.name}"
            out.append(f"void {fn}(IDispatch* ATarget, [[maybe_unused]] TRecordCaseProbe& AProbe) {{\n{case_body(op)}}}\n\n")
            logged = op.same_as or op.name
            out_mask = sum(1 << i for i, a in enumerate(op.args) if a.mode == "out")
            entries.append(f"    {{{wide(r.name)}, {wide(op.name)}, {wide(logged)}, {op.dispid}, "
                           f"0x{out_mask:X}, {fn}}},\n")
        body = [f"  const {r.name} record = {r.name}::FromDispatch(ATarget);\n"]
        for c in r.conversions:
            body.append({
                "FromPointer": f"  AProbe.Converted(L\"FromPointer\", {r.name}::FromPointer(record.ToPointer()));\n",
                "ToPointer": "  AProbe.Converted(L\"ToPointer\", record.ToPointer());\n",
                "FromDispatch": f"  AProbe.Converted(L\"FromDispatch\", {r.name}::FromDispatch(ATarget));\n",
                "ToDispatch": "  AProbe.Converted(L\"ToDispatch\", record.ToDispatch());\n",
                "AsDispatch": "  AProbe.Converted(L\"AsDispatch\", record.AsDispatch());\n",
                "AsInterface": "  AProbe.Converted(L\"AsInterface\", record.AsInterface());\n",
                "FromInterface": f"  AProbe.Converted(L\"FromInterface\", {r.name}::FromInterface(record.AsInterface().Get()));\n",
            }[c])
        for as_name, _ in r.views:
            body.append(f"  AProbe.Converted(L\"{as_name}\", record.{as_name}());\n")
        out.append(f"void Convert_{r.name}(IDispatch* ATarget, [[maybe_unused]] TRecordCaseProbe& AProbe) {{\n"
                   f"{''.join(body)}}}\n\n")
    out.append("constexpr TRecordCallCase kCallCases[] = {\n")
    out.extend(entries)
    out.append("};\n\nconstexpr TRecordConversionCase kConversionCases[] = {\n")
    for r in records:
        n = len(r.conversions) + len(r.views)
        out.append(f"    {{{wide(r.name)}, {n}, Convert_{r.name}}},\n")
    out.append("};\n\n} // namespace\n\n")
    out.append("std::span<const TRecordCallCase> RecordCallCases() { return kCallCases; }\n")
    out.append("std::span<const TRecordConversionCase> RecordConversionCases() { return kConversionCases; }\n")
    write_if_changed(path, "".join(out))



def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--data", required=True)
    p.add_argument("--header")
    p.add_argument("--source")
    p.add_argument("--table")
    p.add_argument("--cases")
    a = p.parse_args()
    try:
        records = parse(a.data)
    except Fail as e:
        print(f"gen-records: {e}", file=sys.stderr)
        return 1
    if a.header:
        write_header(records, a.header)
    if a.source:
        write_source(records, a.source, "host-records.generated.h")
    if a.table:
        write_table(records, a.table, "host-record-table.h")
    if a.cases:
        write_cases(records, a.cases, "host-records.h")
    return 0


if __name__ == "__main__":
    sys.exit(main())

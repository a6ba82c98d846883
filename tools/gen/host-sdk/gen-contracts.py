#!/usr/bin/env python3
"""Writes the contract classes from src/host-sdk/contracts/contracts.txt.

Outputs (each optional):
  --header     the class declarations
  --source     the DISPID tables, DispatchInvoke and SupportsService
  --recording  for the tests: a recording subclass per contract and a
               description of every class (DISPIDs, argument kinds, results)
"""

import argparse
import re
import sys

from genfiles import write_if_changed

ROOT_CLASS = "TAbstractSupportService"

PARAM_KINDS = {
    "string": ("const std::wstring&", "s"),
    "int32": ("int32_t", "i"),
    "uint32": ("uint32_t", "u"),
    "int64": ("int64_t", "l"),
    "double": ("double", "d"),
    "flag": ("VARIANT_BOOL", "f"),
    "ref-int32": ("int32_t&", "I"),
    "ref-uint32": ("uint32_t&", "U"),
    "ref-flag": ("TBoolean&", "F"),
    "word": ("TDataWord", "w"),
    "set16": ("const TSetValue<2>&", "t"),
}

RESULT_KINDS = {
    "string": ("std::wstring", "s"),
    "int32": ("int32_t", "i"),
    "uint32": ("uint32_t", "u"),
    "int64": ("int64_t", "l"),
    "double": ("double", "d"),
    "bool": ("TBoolean", "b"),
}

IDENT = re.compile(r"^[A-Za-z_][A-Za-z0-9_]*$")


class DataError(Exception):
    pass


class Param:
    def __init__(self, kind, name, record=None):
        self.kind = kind
        self.name = name
        self.record = record

    def cpp_type(self):
        if self.kind == "object":
            return "const contract_records::%s&" % self.record
        return PARAM_KINDS[self.kind][0]

    def code(self):
        return "o" if self.kind == "object" else PARAM_KINDS[self.kind][1]


class Result:
    def __init__(self, kind, type_name=None):
        self.kind = kind
        self.type_name = type_name

    def cpp_type(self):
        if self.kind == "object":
            return "contract_records::%s" % self.type_name
        if self.kind == "enum":
            return self.type_name
        return RESULT_KINDS[self.kind][0]

    def code(self):
        if self.kind == "none":
            return "0"
        if self.kind == "object":
            return "o"
        if self.kind == "enum":
            return "e"
        return RESULT_KINDS[self.kind][1]


class Operation:
    def __init__(self, dispid, name, params, result, custom):
        self.dispid = dispid
        self.name = name
        self.params = params
        self.result = result
        self.custom = custom

    def signature(self, with_names=True):
        parts = []
        for p in self.params:
            parts.append("%s %s" % (p.cpp_type(), p.name if with_names else "/*%s*/" % p.name))
        if self.result.kind != "none":
            parts.append("%s* %s" % (self.result.cpp_type(),
                                     "AResult" if with_names else "/*AResult*/"))
        return ", ".join(parts)


class Contract:
    def __init__(self, name, parent, line):
        self.name = name
        self.parent = parent
        self.line = line
        self.services = []
        self.fields = []  # (type, name, ctor)
        self.ops = []

    def short_name(self):
        return self.name[len("TAbstract"):] if self.name.startswith("TAbstract") else self.name[1:]


def parse_param(text, where):
    parts = text.split()
    if len(parts) != 2:
        raise DataError("%s: parameter '%s' is not 'kind AName'" % (where, text))
    kind, name = parts
    if not IDENT.match(name) or not name.startswith("A"):
        raise DataError("%s: parameter name '%s' must be A + PascalCase" % (where, name))
    if kind.startswith("object:"):
        record = kind[len("object:"):]
        if not IDENT.match(record):
            raise DataError("%s: bad record '%s'" % (where, record))
        return Param("object", name, record)
    if kind not in PARAM_KINDS:
        raise DataError("%s: unknown parameter kind '%s'" % (where, kind))
    return Param(kind, name)


def parse_result(text, where):
    if text == "none":
        return Result("none")
    for prefix in ("object:", "enum:"):
        if text.startswith(prefix):
            type_name = text[len(prefix):]
            if not IDENT.match(type_name):
                raise DataError("%s: bad type '%s'" % (where, type_name))
            return Result(prefix[:-1], type_name)
    if text not in RESULT_KINDS:
        raise DataError("%s: unknown result kind '%s'" % (where, text))
    return Result(text)


def parse(path):
    contracts = []
    current = None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            where = "%s:%d" % (path, number)
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            if line.startswith("class "):
                m = re.match(r"^class\s+(\w+)\s*:\s*(\w+)$", line)
                if not m:
                    raise DataError("%s: expected 'class TName : TParent'" % where)
                current = Contract(m.group(1), m.group(2), where)
                contracts.append(current)
                continue
            if current is None:
                raise DataError("%s: row outside a class" % where)
            if line.startswith("service "):
                current.services.append(line[len("service "):].strip())
                continue
            if line.startswith("field "):
                parts = line.split()
                if len(parts) not in (3, 4) or (len(parts) == 4 and parts[3] != "ctor"):
                    raise DataError("%s: expected 'field type FName [ctor]'" % where)
                if not parts[2].startswith("F"):
                    raise DataError("%s: field names start with F" % where)
                current.fields.append((parts[1], parts[2], len(parts) == 4))
                continue
            cells = [c.strip() for c in line.split("|")]
            if len(cells) not in (4, 5):
                raise DataError("%s: expected 'DISPID | Operation | parameters | result'" % where)
            if len(cells) == 5 and cells[4] != "custom":
                raise DataError("%s: the fifth cell may only be 'custom'" % where)
            dispid = None if cells[0] == "-" else int(cells[0])
            if not IDENT.match(cells[1]):
                raise DataError("%s: bad operation name '%s'" % (where, cells[1]))
            params = [parse_param(p.strip(), where) for p in cells[2].split(",") if p.strip()]
            result = parse_result(cells[3], where)
            current.ops.append(Operation(dispid, cells[1], params, result, len(cells) == 5))
    check(contracts)
    return contracts


def chain(contract, by_name):
    out = []
    c = contract
    while c is not None:
        out.append(c)
        c = by_name.get(c.parent)
    return out


def check(contracts):
    by_name = {}
    for c in contracts:
        if c.name in by_name:
            raise DataError("%s: %s defined twice" % (c.line, c.name))
        if c.parent != ROOT_CLASS and c.parent not in by_name:
            raise DataError("%s: parent %s must come first" % (c.line, c.parent))
        if not c.services:
            raise DataError("%s: %s has no service name" % (c.line, c.name))
        by_name[c.name] = c
    for c in contracts:
        seen_ids = {1023: ROOT_CLASS}
        for link in reversed(chain(c, by_name)):
            names = set()
            for op in link.ops:
                if op.name in names:
                    raise DataError("%s: %s.%s twice" % (link.line, link.name, op.name))
                names.add(op.name)
                if op.dispid is None:
                    continue
                if op.dispid in seen_ids:
                    raise DataError("%s: DISPID %d of %s.%s is already %s's" %
                                    (link.line, op.dispid, link.name, op.name,
                                     seen_ids[op.dispid]))
                seen_ids[op.dispid] = link.name


def banner(out):
    out.append("// Generated by tools/gen/host-sdk/gen-contracts.py from")
    out.append("// src/host-sdk/contracts/contracts.txt: change the data, not this file.")
    out.append("")


def all_records(contracts):
    names = set()
    for c in contracts:
        for op in c.ops:
            for p in op.params:
                if p.kind == "object":
                    names.add(p.record)
            if op.result.kind == "object":
                names.add(op.result.type_name)
    return sorted(names)


def all_enums(contracts):
    return sorted({op.result.type_name for c in contracts for op in c.ops
                   if op.result.kind == "enum"})


def write_header(contracts, records_header):
    out = ["#pragma once", ""]
    banner(out)
    out.append('#include "contract-params.h"')
    out.append('#include "support-service.h"')
    if records_header:
        out.append('#include "%s"' % records_header)
    out += ["", "#include <cstdint>", "#include <string>", "#include <utility>", ""]
    out.append("// The wrapper record each object argument and result travels as.")
    out.append("namespace contract_records {")
    for r in all_records(contracts):
        out.append("using %s = %s;" % (r, "::" + r if records_header else "TDispatchRecord"))
    out.append("} // namespace contract_records")
    out.append("")
    out.append("// One-byte enumerations of the operations' results, completed where their")
    out.append("// values are defined.")
    for e in all_enums(contracts):
        out.append("enum %s : uint8_t;" % e)
    out.append("")
    for c in contracts:
        out.append("class %s : public %s {" % (c.name, c.parent))
        out.append("public:")
        ctor_fields = [f for f in c.fields if f[2]]
        if ctor_fields:
            out.append("  %s() = default;" % c.name)
            args = ", ".join("%s A%s" % (t, n[1:]) for t, n, _ in ctor_fields)
            inits = ", ".join("%s(std::move(A%s))" % (n, n[1:]) for _, n, _ in ctor_fields)
            out.append("  explicit %s(%s) : %s {}" % (c.name, args, inits))
            out.append("")
        for op in c.ops:
            tail = "" if op.dispid is None else "  // %d" % op.dispid
            if op.custom:
                out.append("  virtual HRESULT %s(%s);%s" % (op.name, op.signature(), tail))
            else:
                out.append("  virtual HRESULT %s(%s) { return E_NOTIMPL; }%s" %
                           (op.name, op.signature(with_names=False), tail))
        out.append("")
        out.append("  HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) override;")
        out.append("  HRESULT STDMETHODCALLTYPE SupportsService(BSTR AName, TBoolean* AResult) "
                   "override;")
        if c.fields:
            out.append("")
            out.append("protected:")
            for t, n, _ in c.fields:
                out.append("  %s %s;" % (t, n))
        out.append("};")
        out.append("")
    return "\n".join(out) + "\n"


def write_source(contracts):
    out = []
    banner(out)
    out.append('#include "contracts.h"')
    out.append("")
    out.append("namespace {")
    for c in contracts:
        out.append("")
        out.append("constexpr TDispEntry k%sTable[] = {" % c.short_name())
        for op in c.ops:
            if op.dispid is not None:
                out.append("    Op<&%s::%s>(%d)," % (c.name, op.name, op.dispid))
        out.append("};")
    out.append("")
    out.append("} // namespace")
    for c in contracts:
        out.append("")
        out.append("HRESULT %s::DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) {" % c.name)
        out.append("  ORV_DISPATCH_THROUGH(k%sTable, %s);" % (c.short_name(), c.parent))
        out.append("}")
        out.append("")
        out.append("HRESULT STDMETHODCALLTYPE %s::SupportsService(BSTR AName, TBoolean* AResult) {"
                   % c.name)
        out.append("  HRESULT hr = ChainSupportsService(%s::SupportsService(AName, AResult), AName,"
                   % c.parent)
        out.append('                                    L"%s", AResult);' % c.services[0])
        for s in c.services[1:]:
            out.append("  if (SUCCEEDED(hr) && !AResult->Value)")
            out.append('    hr = ChainSupportsService(S_OK, AName, L"%s", AResult);' % s)
        out.append("  return hr;")
        out.append("}")
    return "\n".join(out) + "\n"


def write_recording(contracts):
    by_name = {c.name: c for c in contracts}
    out = ["#pragma once", ""]
    banner(out)
    out.append('#include "contract-test-support.h"')
    out.append('#include "contracts.h"')
    out.append("")
    out.append("#include <vector>")
    out.append("")
    for c in contracts:
        rec = "TRecording" + c.short_name()
        out.append("// Every operation of %s and its parents logs itself and answers a" % c.name)
        out.append("// canned value.")
        out.append("class %s : public %s, public TCallRecorder {" % (rec, c.name))
        out.append("public:")
        for link in reversed(chain(c, by_name)):
            for op in link.ops:
                out.append("  HRESULT %s(%s) override {" % (op.name, op.signature()))
                names = "".join(", " + p.name for p in op.params)
                out.append('    Record(L"%s"%s);' % (op.name, names))
                for i, p in enumerate(op.params):
                    if p.kind.startswith("ref-"):
                        out.append("    Fill(%s, %d);" % (p.name, i))
                if op.result.kind != "none":
                    out.append('    Canned(AResult, L"%s");' % op.name)
                out.append("    return Answer;")
                out.append("  }")
        out.append("};")
        out.append("")
    out.append("inline const std::vector<TContractClass>& ContractClasses() {")
    out.append("  static const std::vector<TContractClass> classes = {")
    for c in contracts:
        rec = "TRecording" + c.short_name()
        services = ", ".join('L"%s"' % s for s in c.services)
        out.append('      {L"%s", L"%s", {%s},' % (c.name, c.parent, services))
        out.append("       {")
        for op in c.ops:
            if op.dispid is None:
                continue
            codes = "".join(p.code() for p in op.params)
            out.append('           {%d, L"%s", "%s", \'%s\', %s},' %
                       (op.dispid, op.name, codes, op.result.code(),
                        "true" if op.custom else "false"))
        out.append("       },")
        out.append("       [] {")
        out.append("         auto* o = new %s;" % rec)
        out.append("         return TRecordingObject{o, o};")
        out.append("       },")
        out.append("       []() -> TAbstractSupportService* { return new %s; }}," % c.name)
    out.append("  };")
    out.append("  return classes;")
    out.append("}")
    return "\n".join(out) + "\n"



def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--data", required=True)
    parser.add_argument("--header")
    parser.add_argument("--source")
    parser.add_argument("--recording")
    parser.add_argument("--records-header",
                        help="header of the host wrapper records; without it every object "
                             "travels as TDispatchRecord")
    args = parser.parse_args()
    try:
        contracts = parse(args.data)
    except DataError as e:
        print("gen-contracts: %s" % e, file=sys.stderr)
        return 1
    if args.header:
        write_if_changed(args.header, write_header(contracts, args.records_header))
    if args.source:
        write_if_changed(args.source, write_source(contracts))
    if args.recording:
        write_if_changed(args.recording, write_recording(contracts))
    return 0


if __name__ == "__main__":
    sys.exit(main())

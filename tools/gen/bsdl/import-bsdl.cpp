// import-bsdl: brings a chip vendor's BSDL files into the build.
//
//   import-bsdl --names <bsdl-names.txt> --out <folder> <vendor folder>
//
// Every file of the vendor folder whose name is one of the catalogue's BSDL
// names (letter case ignored) is read with the plug-in's own BSDL reader and
// written to the output folder under the catalogue's spelling of its name,
// as a BSDL text in the form gen-bsdl-records.py takes: the entity's ports
// with their pins, the test-access port, the op-codes, the conformance, the
// compliance patterns and the boundary register. Put into
// tools/gen/bsdl/files, the next build compiles them in place of the
// descriptions made from the catalogue's pin sets; the generator checks each
// record against the rules the driver relies on.
//
// Files of other names are listed as skipped. A file the reader refuses, or
// whose register or pin map is incomplete, stops the import with a message
// naming it, and nothing is written.

#include "bsdl-file-entity.h"
#include "bsdl-model.h"
#include "bsdl-reader.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class EImportError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

std::string Narrow(std::wstring_view AText) {
  std::string out;
  for (wchar_t c : AText)
    out.push_back(c > 0 && c < 0x100 ? static_cast<char>(c) : '?');
  return out;
}

std::wstring Wide(std::string_view AText) {
  std::wstring out;
  for (char c : AText)
    out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return out;
}

// The catalogue's names by their upper-case form.
std::map<std::wstring, std::wstring> ReadNames(const fs::path& AFile) {
  std::ifstream file(AFile);
  if (!file)
    throw EImportError("cannot read " + AFile.string());
  std::map<std::wstring, std::wstring> names;
  for (std::string line; std::getline(file, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
      line.pop_back();
    if (line.empty() || line[0] == '#')
      continue;
    names[UpperCaseAscii(Wide(line))] = Wide(line);
  }
  return names;
}

std::wstring FunctionWord(TCellFunction AFunction) {
  // The standard's spelling; the display name runs the words together.
  if (AFunction == eCellFunction_ObserveOnly)
    return L"observe_only";
  std::wstring name(CellFunctionName(AFunction));
  for (wchar_t& c : name)
    if (c >= L'A' && c <= L'Z')
      c = static_cast<wchar_t>(c - L'A' + L'a');
  return name;
}

// "    \"a,\" &\n    \"b\"": the items as concatenated strings.
std::wstring Strings(const std::vector<std::wstring>& AItems) {
  std::wstring text;
  for (std::size_t i = 0; i < AItems.size(); ++i) {
    text += L"    \"" + AItems[i] + (i + 1 < AItems.size() ? L",\" &\n" : L"\"");
  }
  return text;
}

struct TPortLine {
  const TVHDLPort* Port;
  std::vector<const TBSDLPortElement*> Elements;
};

// The BSDL text of one read entity.
std::wstring ImportedText(TBSDLEntity& AEntity, const std::wstring& ACatalogueName,
                          const std::wstring& ASourceName) {
  AEntity.EvaluateBoundaryInfo();
  const std::wstring& name = AEntity.Name;
  const auto cells = AEntity.BoundaryCells;
  if (cells.empty())
    throw EImportError("no boundary register");
  if (static_cast<std::int32_t>(cells.size()) != AEntity.BoundaryLength)
    throw EImportError("the boundary register has " + std::to_string(cells.size()) +
                       " cells, BOUNDARY_LENGTH says " + std::to_string(AEntity.BoundaryLength));
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (!cells[i])
      throw EImportError("cell " + std::to_string(i) + " is missing");
    if (cells[i]->CellKind == eCellKind_Undefined ||
        cells[i]->CellFunction == eCellFunction_Undefined || cells[i]->SafeBit == eBit_Undefined)
      throw EImportError("cell " + std::to_string(i) + " cannot be read");
  }

  // The ports in declaration order; a port the pin map does not place is no
  // package pin and stays out.
  const std::vector<TBSDLPortElement> elements = BSDLPortElements(AEntity);
  std::vector<TPortLine> ports;
  for (const TBSDLPortElement& element : elements) {
    if (ports.empty() || ports.back().Port != element.Port)
      ports.push_back({element.Port, {}});
    ports.back().Elements.push_back(&element);
  }
  std::set<std::wstring> withCells;
  for (const TBoundaryCell* cell : cells)
    withCells.insert(UpperCaseAscii(cell->PortId));

  std::vector<std::wstring> portLines, pinMap;
  for (const TPortLine& line : ports) {
    std::size_t placed = std::count_if(line.Elements.begin(), line.Elements.end(),
                                       [](auto* e) { return !e->PinNumber.empty(); });
    if (placed == 0)
      continue;
    if (placed != line.Elements.size())
      throw EImportError("port " + Narrow(line.Port->FName) + " has " +
                         std::to_string(line.Elements.size()) + " bits, the pin map places " +
                         std::to_string(placed));
    bool hasCells = std::any_of(line.Elements.begin(), line.Elements.end(), [&](auto* e) {
      return withCells.count(UpperCaseAscii(e->Name)) != 0;
    });
    const TVHDLPort& port = *line.Port;
    std::wstring mode = port.FMode == eElectricInput           ? L"in"
                        : port.FMode == eElectricOutput        ? L"out"
                        : port.FMode == eElectricOpenCollector ? L"buffer"
                        : hasCells                             ? L"inout"
                                                               : L"linkage";
    std::wstring type = L"bit";
    if (line.Elements.front()->Index)
      type = L"bit_vector(" + port.Expression1 + L" " +
             std::wstring(VHDLReservedWord(port.FArrayDirection)) + L" " + port.Expression2 + L")";
    portLines.push_back(L"    " + port.FName + L" : " + mode + L" " + type);
    std::wstring pins;
    for (const TBSDLPortElement* element : line.Elements)
      pins += (pins.empty() ? L"" : L", ") + element->PinNumber;
    pinMap.push_back(port.FName + L" : " +
                     (line.Elements.front()->Index ? L"(" + pins + L")" : pins));
  }
  if (portLines.empty())
    throw EImportError("no port is in the pin map");

  std::vector<std::wstring> cellTexts;
  for (const TBoundaryCell* cell : cells) {
    std::wstring text = std::to_wstring(cell->CellNumber) + L" (" +
                        std::wstring(CellKindName(cell->CellKind)) + L", " + cell->PortId + L", " +
                        FunctionWord(cell->CellFunction) + L", " +
                        std::wstring(BitValueName(cell->SafeBit));
    if (cell->ControlCellNumber >= 0)
      text += L", " + std::to_wstring(cell->ControlCellNumber) + L", " +
              std::wstring(BitValueName(cell->DisableValue)) + L", " +
              std::wstring(DisableResultName(cell->DisableResult));
    cellTexts.push_back(text + L")");
  }

  // Op-codes grouped by instruction, in the order the file first names them.
  std::vector<std::pair<std::wstring, std::wstring>> groups;
  for (const auto& [instruction, pattern] : BSDLOpCodes(AEntity)) {
    auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& g) {
      return SameTextIgnoringCase(g.first, instruction);
    });
    if (group == groups.end())
      groups.emplace_back(instruction, pattern);
    else
      group->second += L", " + pattern;
  }
  std::vector<std::wstring> opCodes;
  for (const auto& [instruction, patterns] : groups)
    opCodes.push_back(instruction + L" (" + patterns + L")");

  std::wstring text = L"-- " + ACatalogueName + L": imported by import-bsdl from " + ASourceName +
                      L".\n"
                      L"entity " +
                      name +
                      L" is\n"
                      L"  generic (PHYSICAL_PIN_MAP : string := \"IMPORTED\");\n"
                      L"  port (\n";
  for (std::size_t i = 0; i < portLines.size(); ++i)
    text += portLines[i] + (i + 1 < portLines.size() ? L";\n" : L"\n");
  text += L"  );\n"
          L"  use STD_1149_1_1994.all;\n";
  const std::wstring of = L" of " + name + L" : entity is ";
  text +=
      L"  attribute COMPONENT_CONFORMANCE" + of + L"\"" + AEntity.ConformanceStatement + L"\";\n";
  text += L"  attribute PIN_MAP" + of + L"PHYSICAL_PIN_MAP;\n";
  text += L"  constant IMPORTED : PIN_MAP_STRING :=\n" + Strings(pinMap) + L";\n";
  struct TTap {
    const wchar_t* Attribute;
    TScanPin* TBSDLEntity::*Pin;
  };
  const TTap taps[] = {{L"TAP_SCAN_IN", &TBSDLEntity::TAP_TDI},
                       {L"TAP_SCAN_OUT", &TBSDLEntity::TAP_TDO},
                       {L"TAP_SCAN_MODE", &TBSDLEntity::TAP_TMS},
                       {L"TAP_SCAN_CLOCK", &TBSDLEntity::TAP_TCK},
                       {L"TAP_SCAN_RESET", &TBSDLEntity::TAP_TRST}};
  for (const TTap& tap : taps) {
    const TScanPin* pin = AEntity.*tap.Pin;
    if (!pin)
      continue;
    std::wstring value = tap.Pin == &TBSDLEntity::TAP_TCK
                             ? BSDLAttributeText(AEntity, L"TAP_SCAN_CLOCK")
                             : std::wstring(L"true");
    text += L"  attribute " + std::wstring(tap.Attribute) + L" of " + pin->PinName +
            L" : signal is " + value + L";\n";
  }
  if (AEntity.InstructionLength > 0)
    text += L"  attribute INSTRUCTION_LENGTH" + of + std::to_wstring(AEntity.InstructionLength) +
            L";\n";
  text += L"  attribute INSTRUCTION_OPCODE" + of.substr(0, of.size() - 1) + L"\n" +
          Strings(opCodes) + L";\n";
  if (!AEntity.Instruction_Capture.empty())
    text +=
        L"  attribute INSTRUCTION_CAPTURE" + of + L"\"" + AEntity.Instruction_Capture + L"\";\n";
  if (!AEntity.CompliancePattern.empty())
    text += L"  attribute COMPLIANCE_PATTERNS" + of + L"\"" + AEntity.CompliancePattern + L"\";\n";
  text += L"  attribute BOUNDARY_LENGTH" + of + std::to_wstring(AEntity.BoundaryLength) + L";\n";
  text += L"  attribute BOUNDARY_REGISTER" + of.substr(0, of.size() - 1) + L"\n" +
          Strings(cellTexts) + L";\n";
  text += L"end " + name + L";\n";
  return text;
}

int Usage() {
  std::fprintf(stderr,
               "usage: import-bsdl --names <bsdl-names.txt> --out <folder> <vendor folder>\n");
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  fs::path namesFile, outFolder, sourceFolder;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--names" && i + 1 < argc)
      namesFile = argv[++i];
    else if (arg == "--out" && i + 1 < argc)
      outFolder = argv[++i];
    else if (!arg.empty() && arg[0] != '-' && sourceFolder.empty())
      sourceFolder = arg;
    else
      return Usage();
  }
  if (namesFile.empty() || outFolder.empty() || sourceFolder.empty())
    return Usage();

  std::string current;
  try {
    const auto names = ReadNames(namesFile);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(sourceFolder))
      if (entry.is_regular_file())
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());

    // Read everything first: an import that fails writes nothing.
    std::vector<std::pair<std::wstring, std::wstring>> imported;
    std::vector<std::string> skipped;
    for (const fs::path& file : files) {
      current = file.filename().string();
      auto name = names.find(UpperCaseAscii(Wide(current)));
      if (name == names.end()) {
        skipped.push_back(current);
        continue;
      }
      TVHDLReaderSurroundings quiet;
      std::unique_ptr<TBSDLEntity> entity = ReadCompleteBSDLEntity(Wide(file.string()), &quiet);
      if (!entity)
        throw EImportError("the BSDL reader refuses it (its log: BSDL Parser.log in " +
                           Narrow(quiet.LogFolder()) + ")");
      imported.emplace_back(name->second, ImportedText(*entity, name->second, Wide(current)));
    }
    current.clear();
    fs::create_directories(outFolder);
    for (const auto& [name, text] : imported) {
      std::ofstream out(outFolder / Narrow(name), std::ios::binary);
      out << Narrow(text);
      if (!out)
        throw EImportError("cannot write " + (outFolder / Narrow(name)).string());
    }
    for (const std::string& name : skipped)
      std::printf("import-bsdl: %s skipped: not a name of the catalogue\n", name.c_str());
    std::printf("import-bsdl: %zu imported, %zu skipped\n", imported.size(), skipped.size());
    return 0;
  } catch (const std::exception& e) {
    if (current.empty())
      std::fprintf(stderr, "import-bsdl: %s\n", e.what());
    else
      std::fprintf(stderr, "import-bsdl: %s: %s\n", current.c_str(), e.what());
    return 1;
  }
}

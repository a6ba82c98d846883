// import-bsdl: brings a chip vendor's BSDL files into the build.
//
//   import-bsdl --names <bsdl-names.txt> --out <folder>
//               [--catalogue <tools/gen/stellaris> [--python <program>]] <vendor folder>
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
// With --catalogue, the pin set each imported file's rows use is written
// into the catalogue's pin-outs.txt as well, from the file's pin map in
// package order: a vendor file whose pins are not the ones the package rule
// makes is then taken as the device's pin set. The catalogue's generator
// (run with the program --python names, python3 by default) tells which
// pin set and how many pins each file has; a differential-pair id an
// existing block gives a pin stays with it.
//
// Files of other names are listed as skipped. A file the reader refuses, or
// whose register or pin map is incomplete, or whose pins cannot make its pin
// set, stops the import with a message naming it, and nothing is written.

#include "bsdl-file-entity.h"
#include "bsdl-model.h"
#include "bsdl-reader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
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

// ---- pin sets ---------------------------------------------------------------

// The package pins of the imported text's pin map, each once, in package
// order: numbers ascending, then balls by row (A-M without I) and column.
std::vector<std::string> PackagePins(const TBSDLEntity& AEntity) {
  std::vector<std::string> pins;
  std::set<std::string> seen;
  for (const TBSDLPortElement& element : BSDLPortElements(AEntity)) {
    if (element.PinNumber.empty())
      continue;
    std::string pin = Narrow(element.PinNumber);
    if (!seen.insert(pin).second)
      throw EImportError("pin " + pin + " is mapped twice");
    pins.push_back(pin);
  }
  static const std::string rows = "ABCDEFGHJKLM";
  auto key = [](const std::string& APin) {
    bool digits = !APin.empty() && std::all_of(APin.begin(), APin.end(), [](char c) {
      return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
    if (digits)
      return std::make_tuple(0, std::stol(APin), 0L, std::string());
    std::size_t row = APin.empty() ? std::string::npos : rows.find(APin[0]);
    bool ball = row != std::string::npos && APin.size() > 1 &&
                std::all_of(APin.begin() + 1, APin.end(), [](char c) {
                  return std::isdigit(static_cast<unsigned char>(c)) != 0;
                });
    if (ball)
      return std::make_tuple(1, static_cast<long>(row), std::stol(APin.substr(1)), std::string());
    return std::make_tuple(2, 0L, 0L, APin);
  };
  std::sort(pins.begin(), pins.end(),
            [&](const std::string& A, const std::string& B) { return key(A) < key(B); });
  return pins;
}

std::string ShellQuoted(const std::string& AText) {
  std::string quoted = "'";
  for (char c : AText)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct TPinSetOfFile {
  std::string PinSet;
  std::size_t PinCount;
};

// The catalogue generator's answer: each file the rows name with its pin
// sets (one, for a file the generator accepts) and their pin counts.
std::map<std::wstring, std::vector<TPinSetOfFile>> ReadPinSetsOfFiles(const fs::path& ACatalogue,
                                                                      const std::string& APython) {
  const std::string command = ShellQuoted(APython) + " " +
                              ShellQuoted((ACatalogue / "gen-device-tables.py").string()) +
                              " --data " + ShellQuoted(ACatalogue.string()) + " --bsdl-pin-sets -";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe)
    throw EImportError("cannot run " + command);
  std::string output;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, n);
  if (pclose(pipe) != 0)
    throw EImportError("the catalogue's generator failed: " + command);
  std::map<std::wstring, std::vector<TPinSetOfFile>> sets;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string file, pinSet;
    std::size_t count = 0;
    if (!(fields >> file >> pinSet >> count))
      throw EImportError("the catalogue's generator answered " + line);
    sets[UpperCaseAscii(Wide(file))].push_back({pinSet, count});
  }
  return sets;
}

// pin-outs.txt with some blocks written anew: a block that is there is
// replaced where it stands (its comment lines stay), the others are appended.
class TPinOuts {
public:
  explicit TPinOuts(const fs::path& AFile) : FFile(AFile) {
    std::ifstream file(AFile, std::ios::binary);
    if (!file)
      throw EImportError("cannot read " + AFile.string());
    for (std::string line; std::getline(file, line);) {
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      FLines.push_back(line);
    }
  }

  // The differential-pair ids the file gives the set's pins.
  std::map<std::string, std::string> PairIds(const std::string& APinSet) const {
    std::map<std::string, std::string> ids;
    ForBlockLines(APinSet, [&](std::size_t AIndex) {
      std::istringstream tokens(FLines[AIndex]);
      for (std::string token; tokens >> token;)
        if (std::size_t colon = token.find(':'); colon != std::string::npos)
          ids[token.substr(0, colon)] = token.substr(colon + 1);
    });
    return ids;
  }

  void SetBlock(const std::string& APinSet, const std::vector<std::string>& APins) {
    std::map<std::string, std::string> ids = PairIds(APinSet);
    std::vector<std::string> block{"[" + APinSet + "]"};
    std::string line;
    for (const std::string& pin : APins) {
      std::string token = ids.count(pin) ? pin + ":" + ids[pin] : pin;
      if (!line.empty() && line.size() + 1 + token.size() > 78) {
        block.push_back(line);
        line.clear();
      }
      line += (line.empty() ? "" : " ") + token;
    }
    if (!line.empty())
      block.push_back(line);

    std::optional<std::size_t> header = Header(APinSet);
    if (!header) {
      FLines.insert(FLines.end(), block.begin(), block.end());
      return;
    }
    std::vector<std::size_t> drop{*header};
    ForBlockLines(APinSet, [&](std::size_t AIndex) { drop.push_back(AIndex); });
    for (auto at = drop.rbegin(); at != drop.rend(); ++at)
      FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(*at));
    FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(*header), block.begin(),
                  block.end());
  }

  void Write() const {
    std::ofstream out(FFile, std::ios::binary | std::ios::trunc);
    for (const std::string& line : FLines)
      out << line << "\n";
    if (!out)
      throw EImportError("cannot write " + FFile.string());
  }

private:
  static std::string Trimmed(const std::string& AText) {
    std::size_t first = AText.find_first_not_of(" \t");
    if (first == std::string::npos)
      return {};
    return AText.substr(first, AText.find_last_not_of(" \t") - first + 1);
  }
  static std::optional<std::string> HeaderName(const std::string& ALine) {
    std::string text = Trimmed(ALine);
    if (text.size() < 2 || text.front() != '[' || text.back() != ']')
      return std::nullopt;
    return Trimmed(text.substr(1, text.size() - 2));
  }
  std::optional<std::size_t> Header(const std::string& APinSet) const {
    for (std::size_t i = 0; i < FLines.size(); ++i)
      if (HeaderName(FLines[i]) == APinSet)
        return i;
    return std::nullopt;
  }
  // The pin lines of the set's block: up to the next header, comments and
  // blank lines left out.
  template <class F> void ForBlockLines(const std::string& APinSet, F AVisit) const {
    std::optional<std::size_t> header = Header(APinSet);
    if (!header)
      return;
    for (std::size_t i = *header + 1; i < FLines.size() && !HeaderName(FLines[i]); ++i) {
      std::string text = Trimmed(FLines[i]);
      if (!text.empty() && text[0] != '#')
        AVisit(i);
    }
  }

  fs::path FFile;
  std::vector<std::string> FLines;
};

int Usage() {
  std::fprintf(stderr, "usage: import-bsdl --names <bsdl-names.txt> --out <folder>\n"
                       "                   [--catalogue <folder> [--python <program>]] "
                       "<vendor folder>\n");
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  fs::path namesFile, outFolder, sourceFolder, catalogue;
  std::string python = "python3";
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--names" && i + 1 < argc)
      namesFile = argv[++i];
    else if (arg == "--out" && i + 1 < argc)
      outFolder = argv[++i];
    else if (arg == "--catalogue" && i + 1 < argc)
      catalogue = argv[++i];
    else if (arg == "--python" && i + 1 < argc)
      python = argv[++i];
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
    std::map<std::wstring, std::vector<TPinSetOfFile>> pinSetsOfFiles;
    std::optional<TPinOuts> pinOuts;
    if (!catalogue.empty()) {
      pinSetsOfFiles = ReadPinSetsOfFiles(catalogue, python);
      pinOuts.emplace(catalogue / "pin-outs.txt");
    }
    // Pin set -> (the file that gave it, its pins).
    std::map<std::string, std::pair<std::string, std::vector<std::string>>> pinSets;
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
      if (pinOuts) {
        auto sets = pinSetsOfFiles.find(name->first);
        std::size_t count = sets == pinSetsOfFiles.end() ? 0 : sets->second.size();
        if (count != 1)
          throw EImportError("the catalogue's rows give it " + std::to_string(count) +
                             " pin sets, the pin set must be one");
        const TPinSetOfFile& set = sets->second.front();
        std::vector<std::string> pins = PackagePins(*entity);
        if (pins.size() != set.PinCount)
          throw EImportError("the pin map places " + std::to_string(pins.size()) +
                             " pins, the pin set " + set.PinSet + " has " +
                             std::to_string(set.PinCount));
        auto [other, added] = pinSets.try_emplace(set.PinSet, current, pins);
        if (!added && other->second.second != pins)
          throw EImportError("its pins differ from those of " + other->second.first +
                             ", whose pin set " + set.PinSet + " it shares");
      }
    }
    current.clear();
    fs::create_directories(outFolder);
    for (const auto& [name, text] : imported) {
      std::ofstream out(outFolder / Narrow(name), std::ios::binary);
      out << Narrow(text);
      if (!out)
        throw EImportError("cannot write " + (outFolder / Narrow(name)).string());
    }
    if (pinOuts) {
      for (const auto& [pinSet, source] : pinSets)
        pinOuts->SetBlock(pinSet, source.second);
      pinOuts->Write();
      std::printf("import-bsdl: %zu pin sets written to %s\n", pinSets.size(),
                  (catalogue / "pin-outs.txt").string().c_str());
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

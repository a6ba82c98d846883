#pragma once

// The BSDL reader: the VHDL text reader making boundary-scan entities. Such
// an entity holds its BSDL attributes as text; its boundary length and cells
// are computed from them the first time they are asked for
// (TBSDLEntity::EvaluateBoundaryInfo). Its log goes to "BSDL Parser.log" in
// the temporary folder, and each line is also handed to the caller's list.

#include "bsdl-model.h"
#include "vhdl-reader.h"

#include <memory>
#include <string>
#include <vector>

class TBSDLParser : public TVHDLTextReader {
public:
  // ALines (may be nullptr) receives every log line; not owned.
  TBSDLParser(std::vector<std::wstring>* ALines, TVHDLEntities& AEntities,
              std::wstring ADocumentPath, TVHDLReaderSurroundings* ASurroundings = nullptr)
      : TVHDLTextReader(AEntities, std::move(ADocumentPath), ASurroundings), Lines(ALines) {}

  std::wstring GetLogFileName() const override { return L"BSDL Parser.log"; }
  void LogLine(const std::wstring& AText) override;
  bool DidErrorOccur() const { return Error_LineNumber != -1; }
  // A boundary-scan entity of the document, evaluated lazily.
  std::unique_ptr<TEntity> CreateEntity() override;

  std::vector<std::wstring>* Lines;
};

// Reads a BSDL file into AEntities; answers whether it was read without an
// error. A file that cannot be opened answers false and reads nothing.
bool ReadBSDLFile(const std::wstring& AFileName, TVHDLEntities& AEntities,
                  std::vector<std::wstring>* ALogLines = nullptr,
                  TVHDLReaderSurroundings* ASurroundings = nullptr);

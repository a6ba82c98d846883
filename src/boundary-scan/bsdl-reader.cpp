#include "bsdl-reader.h"

#include <stdexcept>

void TBSDLParser::LogLine(const std::wstring& AText) {
  TVHDLTextReader::LogLine(AText);
  if (Lines)
    Lines->push_back(AText);
}

std::unique_ptr<TEntity> TBSDLParser::CreateEntity() {
  return std::make_unique<TBSDLEntity>(this, DocumentPath());
}

bool ReadBSDLFile(const std::wstring& AFileName, TVHDLEntities& AEntities,
                  std::vector<std::wstring>* ALogLines, TVHDLReaderSurroundings* ASurroundings) {
  std::vector<std::wstring> text;
  try {
    text = ReadTextFileLines(AFileName);
  } catch (const std::runtime_error&) {
    return false;
  }
  TBSDLParser reader(ALogLines, AEntities, AFileName, ASurroundings);
  return reader.Run(text);
}

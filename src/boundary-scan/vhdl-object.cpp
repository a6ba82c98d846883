#include "vhdl-object.h"

#include <algorithm>

EVHDLParserError::EVHDLParserError(TVHDLParser* AParser, std::wstring AMsg)
    : Parser(AParser), FMessage(std::move(AMsg)) {
  if (Parser) {
    Parser->Error_LineNumber = Parser->CurrentLine() + 1;
    Parser->Error_ColumnNumber = Parser->CurrentTokenColumn() + 1;
    FMessage += L" at Line: " + std::to_wstring(Parser->Error_LineNumber) + L" Offset: " +
                std::to_wstring(Parser->Error_ColumnNumber);
  }
  // what() is for logs outside the plug-in: other characters become '?'.
  FNarrow.reserve(FMessage.size());
  for (wchar_t c : FMessage)
    FNarrow.push_back(c > 0 && c < 0x80 ? static_cast<char>(c) : '?');
}

TVHDLObject::TVHDLObject(TVHDLParser* AParser) : Parser(AParser) {
  RecordSourcePosition();
}

std::wstring TVHDLObject::GetState_StringDescriptor() const {
  return {};
}

void TVHDLObject::RecordSourcePosition() {
  // Without a reader there is no source text to point into.
  LineNumber = Parser ? Parser->CurrentLine() + 1 : NoSourcePosition;
  ColumnNumber = Parser ? Parser->CurrentTokenColumn() + 1 : NoSourcePosition;
}

void TVHDLObject::LogLine(const std::wstring& AText) const {
  if (Parser)
    Parser->LogLine(AText);
}

TVHDLParser& TVHDLObject::Reader() const {
  if (!Parser)
    throw EVHDLParserError(nullptr, L"No VHDL text to read");
  return *Parser;
}

void TVHDLObject::ExpectReservedWord(std::int32_t AWordId) const {
  Reader().ExpectReservedWord(AWordId);
}

std::wstring TVHDLObject::ExpectIdentifier() const {
  return Reader().ExpectIdentifier();
}

std::wstring TVHDLObject::ExpectIdentifierOrConstant() const {
  return Reader().ExpectIdentifierOrConstant();
}

std::wstring TVHDLObject::ExpectExpression(std::int32_t ALimitWord1,
                                           std::int32_t ALimitWord2) const {
  return Reader().ExpectExpression(ALimitWord1, ALimitWord2);
}

std::wstring TVHDLObject::ExpectExpression(std::int32_t ALimitWord1, std::int32_t ALimitWord2,
                                           std::int32_t ALimitWord3) const {
  return Reader().ExpectExpression(ALimitWord1, ALimitWord2, ALimitWord3);
}

std::int32_t TVHDLObject::PeekReservedWord() const {
  return Reader().PeekReservedWord();
}

std::wstring TVHDLObject::PeekIdentifier() const {
  return Reader().PeekIdentifier();
}

TEntity::TEntity(TVHDLParser* AParser) : TVHDLObject(AParser) {}

#pragma once

// The base of the VHDL design objects: each object remembers where in the
// source text it was declared, and an entity keeps its declarations in
// sorted lists. The boundary-scan entity stands on TEntity; the lists are
// filled only by a text reader.

#include <algorithm>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the model asks of the text reader that creates it: where the reader
// stands, its log, and the reading primitives the model's grammar is made
// of. The reader implements it; the model never owns it.
class TVHDLParser {
public:
  virtual ~TVHDLParser() = default;

  // The current line and the current token's column, both counted from 0.
  virtual std::int32_t CurrentLine() const = 0;
  virtual std::int32_t CurrentTokenColumn() const = 0;
  virtual void LogLine(const std::wstring& AText) = 0;

  // Each raises EVHDLParserError when the text does not match.
  virtual void ExpectReservedWord(std::int32_t AWordId) = 0;
  virtual std::wstring ExpectIdentifier() = 0;
  virtual std::wstring ExpectIdentifierOrConstant() = 0;
  // The following token texts up to (not including) a limit word or the end
  // of the text: glued with no separator, or with one space before each.
  virtual std::wstring ExpectExpression(std::int32_t ALimitWord1, std::int32_t ALimitWord2) = 0;
  virtual std::wstring ExpectExpression(std::int32_t ALimitWord1, std::int32_t ALimitWord2,
                                        std::int32_t ALimitWord3) = 0;
  // The next token's reserved-word identifier (-1 for none) or identifier
  // text (empty for none); the position is kept.
  virtual std::int32_t PeekReservedWord() = 0;
  virtual std::wstring PeekIdentifier() = 0;

  // Where the first error was found, counted from 1; -1 while there is none.
  std::int32_t Error_LineNumber = -1;
  std::int32_t Error_ColumnNumber = -1;
};

// A reading error. Made with a reader, it records the reader's position as
// the error position and names it in the message.
class EVHDLParserError : public std::exception {
public:
  EVHDLParserError(TVHDLParser* AParser, std::wstring AMsg);

  const std::wstring& Message() const { return FMessage; }
  const char* what() const noexcept override { return FNarrow.c_str(); }

  TVHDLParser* Parser;

private:
  std::wstring FMessage;
  std::string FNarrow;
};

class TVHDLObject {
public:
  // Line and column are 9999 when the object was not read from a text.
  static constexpr std::int32_t NoSourcePosition = 9999;

  explicit TVHDLObject(TVHDLParser* AParser = nullptr);
  virtual ~TVHDLObject() = default;
  TVHDLObject(const TVHDLObject&) = delete;
  TVHDLObject& operator=(const TVHDLObject&) = delete;

  virtual std::wstring GetState_StringDescriptor() const;

  // Takes the reader's current line and token column (counted from 1) as
  // the object's position; an entity does it again once its name is read.
  void RecordSourcePosition();

  // Handed to the reader's log; nothing is logged without a reader.
  void LogLine(const std::wstring& AText) const;
  // The reader's primitives; without a reader there is nothing to read and
  // each raises EVHDLParserError.
  void ExpectReservedWord(std::int32_t AWordId) const;
  std::wstring ExpectIdentifier() const;
  std::wstring ExpectIdentifierOrConstant() const;
  std::wstring ExpectExpression(std::int32_t ALimitWord1, std::int32_t ALimitWord2) const;
  std::wstring ExpectExpression(std::int32_t ALimitWord1, std::int32_t ALimitWord2,
                                std::int32_t ALimitWord3) const;
  std::int32_t PeekReservedWord() const;
  std::wstring PeekIdentifier() const;

  std::int32_t LineNumber = NoSourcePosition;
  std::int32_t ColumnNumber = NoSourcePosition;
  // Not owned.
  TVHDLParser* Parser = nullptr;

private:
  TVHDLParser& Reader() const;
};

// A list of declarations kept sorted by key (ordinal text order); equal keys
// are accepted and stay in the order of addition. THolder decides whether
// the list owns its objects (std::unique_ptr) or only refers to objects
// another list owns (a plain pointer).
template <class THolder> class TVHDLSortedList {
public:
  void Add(std::wstring AKey, THolder AObject) {
    auto at = std::upper_bound(
        FItems.begin(), FItems.end(), AKey,
        [](const std::wstring& key, const auto& item) { return key < item.first; });
    FItems.emplace(at, std::move(AKey), std::move(AObject));
  }
  int Count() const { return static_cast<int>(FItems.size()); }
  const std::wstring& Key(int AIndex) const { return FItems.at(AIndex).first; }
  TVHDLObject* Object(int AIndex) const { return Raw(FItems.at(AIndex).second); }
  // Hands the object at AIndex over to the caller and drops its entry; only
  // for a list that owns its objects.
  THolder Release(int AIndex) {
    THolder object = std::move(FItems.at(AIndex).second);
    FItems.erase(FItems.begin() + AIndex);
    return object;
  }
  // The first object under the key, or nullptr.
  TVHDLObject* Find(std::wstring_view AKey) const {
    auto at =
        std::lower_bound(FItems.begin(), FItems.end(), AKey,
                         [](const auto& item, std::wstring_view key) { return item.first < key; });
    return (at != FItems.end() && at->first == AKey) ? Raw(at->second) : nullptr;
  }

private:
  static TVHDLObject* Raw(const std::unique_ptr<TVHDLObject>& AObject) { return AObject.get(); }
  static TVHDLObject* Raw(TVHDLObject* AObject) { return AObject; }

  std::vector<std::pair<std::wstring, THolder>> FItems;
};

// Owns its objects.
using TVHDLObjectList = TVHDLSortedList<std::unique_ptr<TVHDLObject>>;
// Refers to objects that another list owns.
using TVHDLObjectRefList = TVHDLSortedList<TVHDLObject*>;

class TEntity : public TVHDLObject {
public:
  explicit TEntity(TVHDLParser* AParser = nullptr);

  std::wstring Name;
  // Keyed by the upper-case name, except Attributes and Constants, whose
  // objects carry their own names and are kept under the empty key.
  TVHDLObjectList Generics;
  TVHDLObjectList Attributes;
  TVHDLObjectList Constants;
  TVHDLObjectList Ports;
  TVHDLObjectList Signals;
  TVHDLObjectList ComponentInstances;
  TVHDLObjectList ComponentDeclarations;
};

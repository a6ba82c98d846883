#pragma once

// The base of the VHDL design objects: each object remembers where in the
// source text it was declared, and an entity keeps its declarations in
// sorted lists. The boundary-scan entity stands on TEntity; the lists are
// filled only by a text reader.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The text reader; the model only keeps a reference to it.
class TVHDLParser;

class TVHDLObject {
public:
  // Line and column are 9999 when the object was not read from a text.
  static constexpr std::int32_t NoSourcePosition = 9999;

  explicit TVHDLObject(TVHDLParser* AParser = nullptr);
  virtual ~TVHDLObject() = default;
  TVHDLObject(const TVHDLObject&) = delete;
  TVHDLObject& operator=(const TVHDLObject&) = delete;

  virtual std::wstring GetState_StringDescriptor() const;

  std::int32_t LineNumber = NoSourcePosition;
  std::int32_t ColumnNumber = NoSourcePosition;
  TVHDLParser* Parser = nullptr;
};

// A list of declarations kept sorted by key (ordinal text order); equal keys
// are accepted and stay in the order of addition. Owns its objects.
class TVHDLObjectList {
public:
  void Add(std::wstring AKey, std::unique_ptr<TVHDLObject> AObject);
  int Count() const { return static_cast<int>(FItems.size()); }
  const std::wstring& Key(int AIndex) const { return FItems.at(AIndex).first; }
  TVHDLObject* Object(int AIndex) const { return FItems.at(AIndex).second.get(); }
  // The first object under the key, or nullptr.
  TVHDLObject* Find(std::wstring_view AKey) const;

private:
  std::vector<std::pair<std::wstring, std::unique_ptr<TVHDLObject>>> FItems;
};

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

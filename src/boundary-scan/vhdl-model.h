#pragma once

// The object model of a VHDL design as a text reader builds it: an entity
// with its generics, ports, signals, attributes and constants, component
// declarations, and component instances with their generic and port maps.
//
// Ownership: an entity owns its seven lists and every object in them; a
// component instance owns the association elements of its generic and port
// maps. A signal's or port's MappedPorts only refers to the elements mapped
// onto it, so each element is freed once, with its instance.

#include "bsdl-types.h"
#include "vhdl-object.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

enum TElementKind : std::uint8_t {
  eElementAbstract,
  eElementPortDeclaration,
  eElementGenericDeclaration,
  eElementPortMap,
  eElementGenericMap,
  eElementSignalDeclaration,
};

enum TAttributeKind : std::uint8_t {
  eAttributeKind_None,
  eAttributeKind_Declaration,
  eAttributeKind_Specification,
};

enum TAttributeTarget : std::uint8_t {
  eAttributeTarget_None,
  eAttributeTarget_All,
  eAttributeTarget_Others,
  eAttributeTarget_List,
};

static_assert(sizeof(TElementKind) == 1 && sizeof(TAttributeKind) == 1 &&
              sizeof(TAttributeTarget) == 1);

inline constexpr std::array<std::wstring_view, 6> ElementKindNames = {
    L"Abstract Element", L"Port", L"Generic", L"Port Map", L"Generic Map", L"Signal"};

// The reader's reserved words and symbols; a word's identifier is its index.
// clang-format off
inline constexpr std::array<std::wstring_view, 106> VHDLReservedWords = {
    // 0-23: symbols
    L"'", L"-", L"\"", L"&", L"(", L")", L"*", L"**", L",", L".", L"/", L"/=",
    L":", L":=", L";", L"|", L"+", L"<", L"<=", L"<>", L"=", L"=>", L">", L">=",
    // 24-105: words
    L"abs", L"access", L"after", L"alias", L"all", L"and", L"architecture", L"array",
    L"assert", L"attribute", L"begin", L"block", L"body", L"buffer", L"bus", L"case",
    L"component", L"configuration", L"constant", L"disconnect", L"downto", L"else", L"elsif",
    L"end", L"entity", L"exit", L"file", L"for", L"function", L"generate", L"generic",
    L"guarded", L"if", L"in", L"inout", L"is", L"label", L"library", L"linkage", L"literal",
    L"loop", L"map", L"mod", L"nand", L"new", L"next", L"nor", L"not", L"null", L"of", L"off",
    L"on", L"open", L"or", L"others", L"out", L"package", L"port", L"procedure", L"process",
    L"range", L"record", L"register", L"rem", L"report", L"return", L"rtl_synthesis",
    L"select", L"severity", L"signal", L"subtype", L"synopsys", L"then", L"to", L"transport",
    L"translate_on", L"translate_off", L"type", L"units", L"until", L"use", L"variable"};
// clang-format on

// A range direction is the identifier of its word; an element without a
// range has none.
inline constexpr std::int32_t VHDLWord_DownTo = 44;
inline constexpr std::int32_t VHDLWord_To = 97;
inline constexpr std::int32_t NoArrayDirection = -1;
static_assert(VHDLReservedWords[VHDLWord_DownTo] == L"downto" &&
              VHDLReservedWords[VHDLWord_To] == L"to");

// Display names; a value outside its table (an unknown kind, a direction
// that is no word identifier) gives the empty text.
std::wstring_view ElementKindName(TElementKind AValue);
std::wstring_view VHDLReservedWord(std::int32_t AWordId);

// A generic, port or signal declaration.
class TInterfaceElement : public TVHDLObject {
public:
  explicit TInterfaceElement(TVHDLParser* AParser = nullptr)
      : TInterfaceElement(AParser, eElementAbstract) {}

  // Name, mode, " : " and the type with its range and default.
  std::wstring GetState_StringDescriptor() const override;
  // The name as a schematic net or pin: NAME, NAME[left..right] for a range,
  // NAME3 for a single numeric index, NAME(N) for any other index (-999
  // counts as no number). Trims the two range expressions in place first.
  virtual std::wstring GetState_AsSchematicId();

  TElementKind ElementKind;
  // The count of its entity list before it was added.
  std::int32_t ElementIndex = 0;
  std::wstring FName;
  TPinElectrical FMode = eElectricIO;
  std::int32_t FArrayDirection = NoArrayDirection;
  std::wstring SubTypeIndication;
  std::wstring DefaultValue;
  std::wstring Expression1;
  std::wstring Expression2;
  // An object a caller links to the element; not owned, never used here.
  void* LinkedPin = nullptr;

protected:
  TInterfaceElement(TVHDLParser* AParser, TElementKind AKind)
      : TVHDLObject(AParser), ElementKind(AKind) {}
};

class TVHDLGeneric : public TInterfaceElement {
public:
  explicit TVHDLGeneric(TVHDLParser* AParser = nullptr)
      : TInterfaceElement(AParser, eElementGenericDeclaration) {}
  std::wstring GetState_StringDescriptor() const override;
};

class TVHDLSignal : public TInterfaceElement {
public:
  explicit TVHDLSignal(TVHDLParser* AParser = nullptr)
      : TInterfaceElement(AParser, eElementSignalDeclaration) {}
  std::wstring GetState_StringDescriptor() const override;

  // The association elements mapped onto the signal, by upper-case formal.
  TVHDLObjectRefList MappedPorts;
};

class TVHDLPort : public TInterfaceElement {
public:
  explicit TVHDLPort(TVHDLParser* AParser = nullptr)
      : TInterfaceElement(AParser, eElementPortDeclaration) {}
  std::wstring GetState_StringDescriptor() const override;

  // The association elements mapped onto the port, by upper-case formal.
  TVHDLObjectRefList MappedPorts;
};

// A component's name, generics and ports.
class TComponentDeclaration : public TEntity {
public:
  using TEntity::TEntity;
};

class TVHDLAttribute : public TVHDLObject {
public:
  using TVHDLObject::TVHDLObject;
  std::wstring GetState_StringDescriptor() const override;

  std::wstring AttributeDesignator;
  TAttributeKind AttributeKind = eAttributeKind_None;
  std::wstring AttributeExpression;
  TAttributeTarget AttributeTarget = eAttributeTarget_None;
  // The reserved-word identifier of the entity class ("signal", "entity" ...).
  std::int32_t AttributeTargetKind = -1;
  std::vector<std::wstring> TargetList;
  std::wstring AttributeTypeId;
};

class TVHDLConstant : public TVHDLObject {
public:
  using TVHDLObject::TVHDLObject;
  std::wstring GetState_StringDescriptor() const override;

  std::vector<std::wstring> ConstantDesignators;
  std::wstring ConstantExpression;
  std::wstring ConstantTypeId;
};

class TComponentInstance : public TVHDLObject {
public:
  TComponentInstance(TVHDLParser* AParser, TEntity* AEntity)
      : TVHDLObject(AParser), Entity(AEntity) {}

  std::wstring Name;
  std::wstring ComponentType;
  // Not owned.
  TComponentDeclaration* ComponentDeclaration = nullptr;
  // By upper-case formal name; the instance owns the elements.
  TVHDLObjectList GenericMap;
  TVHDLObjectList PortMap;
  // The enclosing entity; not owned.
  TEntity* Entity;
};

class TEntityInstance : public TComponentInstance {
public:
  using TComponentInstance::TComponentInstance;

  // Not owned.
  TEntity* EntityDeclaration = nullptr;
};

// One "formal => actual" of a generic or port map.
class TAssociationElement : public TVHDLObject {
public:
  TAssociationElement(TVHDLParser* AParser, TComponentInstance* AComponentInstance)
      : TAssociationElement(AParser, AComponentInstance, eElementAbstract) {}

  // Kind, the formal (instance "-" component port) and " => " the actual
  // (signal or port with its kind and range).
  std::wstring GetState_StringDescriptor() const override;

  TElementKind ElementKind;
  std::wstring FormalPart;
  std::wstring ActualPart;
  std::wstring Formal_Expression1;
  std::wstring Formal_Expression2;
  std::int32_t Formal_ArrayDirection = NoArrayDirection;
  std::wstring Actual_Expression1;
  std::wstring Actual_Expression2;
  std::int32_t Actual_ArrayDirection = NoArrayDirection;
  // The signal or port of the enclosing entity the actual names; not owned.
  TInterfaceElement* SignalOrPort = nullptr;
  // The port of the component declaration the formal names; not owned.
  TVHDLPort* VHDLPort = nullptr;
  // Not owned.
  TComponentInstance* ComponentInstance;

protected:
  TAssociationElement(TVHDLParser* AParser, TComponentInstance* AComponentInstance,
                      TElementKind AKind)
      : TVHDLObject(AParser), ElementKind(AKind), ComponentInstance(AComponentInstance) {}
};

class TMappedPort : public TAssociationElement {
public:
  TMappedPort(TVHDLParser* AParser, TComponentInstance* AComponentInstance)
      : TAssociationElement(AParser, AComponentInstance, eElementPortMap) {}

  // An object a caller links to the element; not owned, never used here.
  void* LinkedPin = nullptr;
};

class TMappedGeneric : public TAssociationElement {
public:
  TMappedGeneric(TVHDLParser* AParser, TComponentInstance* AComponentInstance)
      : TAssociationElement(AParser, AComponentInstance, eElementGenericMap) {}
};

// Adding declarations under the keys their lists use; each answers the
// object it added.
//
// A generic, port or signal goes under its upper-case name and is numbered
// by the list's count before it.
template <class T> T* AddInterfaceElement(TVHDLObjectList& AList, std::unique_ptr<T> AElement) {
  static_assert(std::is_base_of_v<TInterfaceElement, T>);
  T* element = AElement.get();
  element->ElementIndex = AList.Count();
  AList.Add(UpperCaseAscii(element->FName), std::move(AElement));
  return element;
}
// Attributes and constants carry their names and go under the empty key.
TVHDLAttribute* AddAttribute(TEntity& AEntity, std::unique_ptr<TVHDLAttribute> AAttribute);
TVHDLConstant* AddConstant(TEntity& AEntity, std::unique_ptr<TVHDLConstant> AConstant);
// Under the upper-case name.
TComponentInstance* AddComponentInstance(TEntity& AEntity,
                                         std::unique_ptr<TComponentInstance> AInstance);
TComponentDeclaration* AddComponentDeclaration(TEntity& AEntity,
                                               std::unique_ptr<TComponentDeclaration> ADecl);
// A port-map element into PortMap, a generic-map element into GenericMap,
// under the upper-case formal; std::invalid_argument for any other kind.
TAssociationElement* AddAssociationElement(TComponentInstance& AInstance,
                                           std::unique_ptr<TAssociationElement> AElement);
// Makes the signal or port the element's actual and lists the element in
// its MappedPorts under the upper-case formal; std::invalid_argument for a
// generic or an abstract element, which have no such list.
void MapOnto(TInterfaceElement& ASignalOrPort, TAssociationElement& AElement);

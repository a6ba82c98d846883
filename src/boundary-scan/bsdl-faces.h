#pragma once

// The host's view of a boundary-scan model. The host reads an entity only by
// DISPID: every model object carries faces that serve the boundary-scan
// contracts (a generic face for description and entity, then its class
// face), and the entity object handed to the host forwards every call to the
// entity's face.
//
// Lifetime: TBSDLEntityObject owns the model and every face and part object
// made for it, and all of them share its one reference count. A host that
// holds any face or part keeps the whole model alive, and no release of a
// face can free it while its model object lives.

#include "bsdl-model.h"
#include "contracts.h"

#include <map>
#include <memory>

class TBSDLEntityObject;
class TBSDLObject_Impl;
class TBSDLEntity_Impl;
class TScanPin_Impl;
class TPinMapping_Impl;
class TBoundaryCell_Impl;
class TInstructionOpCode_Impl;
class TRegisterAssociation_Impl;

// A part object as the host may reach it directly (the entity's test-access
// pins come back this way): each call is offered to the part's faces in
// order, generic face first, and the first face that answers S_OK ends the
// walk; otherwise the last face's answer stands. So a service question is
// answered by the generic face alone.
class TBSDLPartObject final : public IDispatch {
public:
  TBSDLPartObject(TBSDLEntityObject& AOwner, IDispatch* AGenericFace, IDispatch* AClassFace)
      : FOwner(AOwner), FGenericFace(AGenericFace), FClassFace(AClassFace) {}
  TBSDLPartObject(const TBSDLPartObject&) = delete;
  TBSDLPartObject& operator=(const TBSDLPartObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* ACount) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT AIndex, LCID ALocale, ITypeInfo** AInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID AIid, LPOLESTR* ANames, UINT ACount, LCID ALocale,
                                          DISPID* ADispIds) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID ADispId, REFIID AIid, LCID ALocale, WORD AFlags,
                                   DISPPARAMS* AParams, VARIANT* AVarResult, EXCEPINFO* AExcepInfo,
                                   UINT* AArgErr) override;

private:
  TBSDLEntityObject& FOwner;
  IDispatch* FGenericFace;
  IDispatch* FClassFace;
};

// The entity as the host gets it from a driver: owns the model, makes each
// part's faces on first use and keeps them for its own life.
class TBSDLEntityObject final : public TAbstractSupportService {
public:
  explicit TBSDLEntityObject(std::unique_ptr<TBSDLEntity> AEntity);
  ~TBSDLEntityObject() override;

  TBSDLEntity& Entity() { return *FEntity; }

  // Every call goes to the entity's face.
  HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) override;
  HRESULT STDMETHODCALLTYPE SupportsService(BSTR AName, TBoolean* AResult) override;

  TBSDLEntity_Impl* EntityFace() { return FEntityFace.get(); }
  // The class face of a part (what the host gets for an indexed or linked
  // item); nullptr for no part.
  TScanPin_Impl* FaceOf(TScanPin* APart);
  TPinMapping_Impl* FaceOf(TPinMapping* APart);
  TBoundaryCell_Impl* FaceOf(TBoundaryCell* APart);
  TInstructionOpCode_Impl* FaceOf(TInstructionOpCode* APart);
  TRegisterAssociation_Impl* FaceOf(TRegisterAssociation* APart);
  // The generic face of a part (description, short description, entity).
  TBSDLObject_Impl* GenericFaceOf(TBSDLObject* APart);
  // The part object itself, whose dispatch walks its faces; nullptr for no
  // part.
  template <class TPart> IDispatch* PartObjectOf(TPart* APart) {
    if (!APart)
      return nullptr;
    FaceOf(APart);
    return ObjectOf(APart);
  }

private:
  struct TPartFaces {
    std::unique_ptr<TBSDLObject_Impl> Generic;
    std::unique_ptr<TAbstractBSDLObject> Class;
    std::unique_ptr<TBSDLPartObject> Object;
  };
  template <class TFace, class TPart> TFace* ClassFaceOf(TPart* APart);
  TPartFaces& FacesOf(TBSDLObject* APart);
  // For a part whose class face exists.
  IDispatch* ObjectOf(TBSDLObject* APart);

  std::unique_ptr<TBSDLEntity> FEntity;
  std::unique_ptr<TBSDLEntity_Impl> FEntityFace;
  std::map<const TBSDLObject*, TPartFaces> FParts;
};

// What every face shares: its model object and the owner whose reference
// count it uses.
template <class TContract, class TModel> class TBSDLFace : public TContract {
public:
  TBSDLFace(TModel* AEx, TBSDLEntityObject& AOwner) : Ex(AEx), FOwner(AOwner) {}

  ULONG STDMETHODCALLTYPE AddRef() override { return FOwner.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return FOwner.Release(); }

  // The model object; not owned.
  TModel* Ex;

protected:
  TBSDLEntityObject& FOwner;
};

// The first three operations, the same on the generic face and every class
// face.
template <class TContract, class TModel> class TBSDLPartFace : public TBSDLFace<TContract, TModel> {
public:
  using TBSDLFace<TContract, TModel>::TBSDLFace;

  HRESULT GetDescription(std::wstring* AResult) override {
    *AResult = this->Ex->GetDescription();
    return S_OK;
  }
  HRESULT GetShortDescription(std::wstring* AResult) override {
    *AResult = this->Ex->GetShortDescription();
    return S_OK;
  }
  HRESULT GetEntity(IBSDLEntity* AResult) override;
};

class TBSDLObject_Impl final : public TBSDLPartFace<TAbstractBSDLObject, TBSDLObject> {
public:
  using TBSDLPartFace::TBSDLPartFace;
};

class TBSDLEntity_Impl final : public TBSDLFace<TAbstractBSDLEntity, TBSDLEntity> {
public:
  using TBSDLFace::TBSDLFace;

  HRESULT GetName(std::wstring* AResult) override;
  HRESULT GetInstructionLength(int32_t* AResult) override;
  HRESULT GetIdCode(uint32_t* AResult) override;
  HRESULT GetBoundaryLength(int32_t* AResult) override;
  HRESULT GetPin(int32_t AIndex, IScanPin* AResult) override;
  HRESULT GetPinMapping(int32_t AIndex, IPinMapping* AResult) override;
  HRESULT GetBoundaryCell(int32_t AIndex, IBoundaryCell* AResult) override;
  HRESULT GetInstructionOpcode(int32_t AIndex, IInstructionOpCode* AResult) override;
  HRESULT GetRegisterAssociation(int32_t AIndex, IRegisterAssociation* AResult) override;
  HRESULT GetPinCount(int32_t* AResult) override;
  HRESULT GetPinMappingCount(int32_t* AResult) override;
  HRESULT GetBoundaryCellCount(int32_t* AResult) override;
  HRESULT GetInstructionOpcodeCount(int32_t* AResult) override;
  HRESULT GetRegisterAssociationCount(int32_t* AResult) override;
  HRESULT GetPin_TDI(IScanPin* AResult) override;
  HRESULT GetPin_TDO(IScanPin* AResult) override;
  HRESULT GetPin_TMS(IScanPin* AResult) override;
  HRESULT GetPin_TCK(IScanPin* AResult) override;
  HRESULT GetPin_TRST(IScanPin* AResult) override;
  HRESULT GetInstruction_BYPASS(uint32_t* AResult) override;
  HRESULT GetInstruction_EXTEST(uint32_t* AResult) override;
  HRESULT GetInstruction_SAMPLE(uint32_t* AResult) override;
  HRESULT GetInstruction_IDCODE(uint32_t* AResult) override;
  HRESULT GetInstruction_USERCODE(uint32_t* AResult) override;
  HRESULT GetInstruction_CLAMP(uint32_t* AResult) override;
  HRESULT GetInstruction_HIGHZ(uint32_t* AResult) override;
  HRESULT GetScanClockMaxSpeed(double* AResult) override;
  HRESULT GetScanClockHaltMode(TScanClockHaltMode* AResult) override;
  HRESULT GetConformanceStatement(std::wstring* AResult) override;
  HRESULT GetCompliancePattern(std::wstring* AResult) override;
  HRESULT GetDesignWarning(std::wstring* AResult) override;
  HRESULT GetFilename(std::wstring* AResult) override;

private:
  HRESULT TapPin(TScanPin* APin, IScanPin* AResult);
};

class TScanPin_Impl final : public TBSDLPartFace<TAbstractScanPin, TScanPin> {
public:
  using TBSDLPartFace::TBSDLPartFace;

  HRESULT GetDirection(TPinDirection* AResult) override;
  HRESULT GetPinName(std::wstring* AResult) override;
  HRESULT GetPinNumber(std::wstring* AResult) override;
  HRESULT GetKind(TPinKind* AResult) override;
  HRESULT GetPinMapping(IPinMapping* AResult) override;
  HRESULT GetBoundaryCellCount(int32_t* AResult) override;
  HRESULT GetBoundaryCell(int32_t AIndex, IBoundaryCell* AResult) override;
  HRESULT GetCurrentValue(int32_t* AResult) override;
  // The host stores a sampled value by DISPID 509024 (one argument).
  HRESULT SetCurrentValue(int32_t AValue);

  HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) override;
  // Also a "BSDLValueHolder".
  HRESULT STDMETHODCALLTYPE SupportsService(BSTR AName, TBoolean* AResult) override;
};

class TPinMapping_Impl final : public TBSDLPartFace<TAbstractPinMapping, TPinMapping> {
public:
  using TBSDLPartFace::TBSDLPartFace;

  HRESULT GetPinName(std::wstring* AResult) override;
  HRESULT GetPinNumber(std::wstring* AResult) override;
  HRESULT GetScanPin(IScanPin* AResult) override;
};

class TBoundaryCell_Impl final : public TBSDLPartFace<TAbstractBoundaryCell, TBoundaryCell> {
public:
  using TBSDLPartFace::TBSDLPartFace;

  HRESULT GetCellNumber(int32_t* AResult) override;
  HRESULT GetCellKind(TCellKind* AResult) override;
  HRESULT GetPortId(std::wstring* AResult) override;
  HRESULT GetCellFunction(TCellFunction* AResult) override;
  HRESULT GetSafeBit(TBitValue* AResult) override;
  HRESULT GetControlCellNumber(int32_t* AResult) override;
  HRESULT GetDisableValue(TBitValue* AResult) override;
  HRESULT GetDisableResult(TDisableResult* AResult) override;
  HRESULT GetPin(IScanPin* AResult) override;
  HRESULT GetControlCell(IBoundaryCell* AResult) override;
  HRESULT GetTargetCell(IBoundaryCell* AResult) override;
  HRESULT GetCurrentValue(int32_t* AResult) override;
  // The host stores a sampled value by DISPID 509024 (one argument).
  HRESULT SetCurrentValue(int32_t AValue);

  HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) override;
  // Also a "BSDLValueHolder".
  HRESULT STDMETHODCALLTYPE SupportsService(BSTR AName, TBoolean* AResult) override;
};

class TInstructionOpCode_Impl final
    : public TBSDLPartFace<TAbstractInstructionOpCode, TInstructionOpCode> {
public:
  using TBSDLPartFace::TBSDLPartFace;

  HRESULT GetInstructionName(std::wstring* AResult) override;
  HRESULT GetOpCodePattern(std::wstring* AResult) override;
};

class TRegisterAssociation_Impl final
    : public TBSDLPartFace<TAbstractRegisterAssociation, TRegisterAssociation> {
public:
  using TBSDLPartFace::TBSDLPartFace;

  HRESULT GetRegisterName(std::wstring* AResult) override;
  HRESULT GetRegisterLength(int32_t* AResult) override;
  HRESULT GetInstructionOpcodeCount(int32_t* AResult) override;
  HRESULT GetInstructionOpcode(int32_t AIndex, IInstructionOpCode* AResult) override;
};

// A part that belongs to another entity than its owner's (which no builder
// makes) has no entity face here: it answers the empty entity rather than
// the wrong one.
template <class TContract, class TModel>
HRESULT TBSDLPartFace<TContract, TModel>::GetEntity(IBSDLEntity* AResult) {
  *AResult = this->Ex->FEntity == &this->FOwner.Entity()
                 ? IBSDLEntity::FromDispatch(this->FOwner.EntityFace())
                 : IBSDLEntity();
  return S_OK;
}

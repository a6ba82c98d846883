#include "bsdl-faces.h"

#include <vector>

namespace {

// An item of a list by the host's index: nullptr outside 0..count-1.
template <class T> T* ItemAt(const std::vector<T*>& AList, int32_t AIndex) {
  if (AIndex < 0 || static_cast<std::size_t>(AIndex) >= AList.size())
    return nullptr;
  return AList[static_cast<std::size_t>(AIndex)];
}

template <class TRecord> TRecord RecordOf(IDispatch* AObject) {
  return TRecord::FromDispatch(AObject);
}

template <class T> int32_t CountOf(const std::vector<T>& AList) {
  return static_cast<int32_t>(AList.size());
}

// The value a host stores into a pin or cell after sampling the boundary
// register.
struct TValueHolderTable {
  static constexpr TDispEntry ScanPin[] = {Op<&TScanPin_Impl::SetCurrentValue>(509024)};
  static constexpr TDispEntry BoundaryCell[] = {Op<&TBoundaryCell_Impl::SetCurrentValue>(509024)};
};

constexpr std::wstring_view kValueHolderService = L"BSDLValueHolder";

} // namespace

// ---- part object ------------------------------------------------------------

HRESULT STDMETHODCALLTYPE TBSDLPartObject::QueryInterface(REFIID AIid, void** AObject) {
  if (!AObject)
    return E_POINTER;
  if (!IsEqualIID(AIid, IID_IUnknown) && !IsEqualIID(AIid, IID_IDispatch)) {
    *AObject = nullptr;
    return E_NOINTERFACE;
  }
  *AObject = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TBSDLPartObject::AddRef() {
  return FOwner.AddRef();
}

ULONG STDMETHODCALLTYPE TBSDLPartObject::Release() {
  return FOwner.Release();
}

HRESULT STDMETHODCALLTYPE TBSDLPartObject::GetTypeInfoCount(UINT*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TBSDLPartObject::GetTypeInfo(UINT, LCID, ITypeInfo**) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TBSDLPartObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TBSDLPartObject::Invoke(DISPID ADispId, REFIID AIid, LCID ALocale,
                                                  WORD AFlags, DISPPARAMS* AParams,
                                                  VARIANT* AVarResult, EXCEPINFO* AExcepInfo,
                                                  UINT* AArgErr) {
  // The object itself serves nothing; its faces do.
  HRESULT hr = E_NOTIMPL;
  for (IDispatch* face : {FGenericFace, FClassFace}) {
    hr = face->Invoke(ADispId, AIid, ALocale, AFlags, AParams, AVarResult, AExcepInfo, AArgErr);
    if (hr == S_OK)
      break;
  }
  return hr;
}

// ---- entity object ----------------------------------------------------------

TBSDLEntityObject::TBSDLEntityObject(std::unique_ptr<TBSDLEntity> AEntity)
    : FEntity(std::move(AEntity)),
      FEntityFace(std::make_unique<TBSDLEntity_Impl>(FEntity.get(), *this)) {}

TBSDLEntityObject::~TBSDLEntityObject() = default;

HRESULT TBSDLEntityObject::DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) {
  return FEntityFace->DispatchInvoke(ADispId, AContext);
}

HRESULT STDMETHODCALLTYPE TBSDLEntityObject::SupportsService(BSTR AName, TBoolean* AResult) {
  return FEntityFace->SupportsService(AName, AResult);
}

TBSDLEntityObject::TPartFaces& TBSDLEntityObject::FacesOf(TBSDLObject* APart) {
  TPartFaces& faces = FParts[APart];
  if (!faces.Generic)
    faces.Generic = std::make_unique<TBSDLObject_Impl>(APart, *this);
  return faces;
}

template <class TFace, class TPart> TFace* TBSDLEntityObject::ClassFaceOf(TPart* APart) {
  if (!APart)
    return nullptr;
  TPartFaces& faces = FacesOf(APart);
  if (!faces.Class)
    faces.Class = std::make_unique<TFace>(APart, *this);
  return static_cast<TFace*>(faces.Class.get());
}

TScanPin_Impl* TBSDLEntityObject::FaceOf(TScanPin* APart) {
  return ClassFaceOf<TScanPin_Impl>(APart);
}

TPinMapping_Impl* TBSDLEntityObject::FaceOf(TPinMapping* APart) {
  return ClassFaceOf<TPinMapping_Impl>(APart);
}

TBoundaryCell_Impl* TBSDLEntityObject::FaceOf(TBoundaryCell* APart) {
  return ClassFaceOf<TBoundaryCell_Impl>(APart);
}

TInstructionOpCode_Impl* TBSDLEntityObject::FaceOf(TInstructionOpCode* APart) {
  return ClassFaceOf<TInstructionOpCode_Impl>(APart);
}

TRegisterAssociation_Impl* TBSDLEntityObject::FaceOf(TRegisterAssociation* APart) {
  return ClassFaceOf<TRegisterAssociation_Impl>(APart);
}

TBSDLObject_Impl* TBSDLEntityObject::GenericFaceOf(TBSDLObject* APart) {
  return APart ? FacesOf(APart).Generic.get() : nullptr;
}

IDispatch* TBSDLEntityObject::ObjectOf(TBSDLObject* APart) {
  TPartFaces& faces = FacesOf(APart);
  if (!faces.Object)
    faces.Object = std::make_unique<TBSDLPartObject>(*this, faces.Generic.get(), faces.Class.get());
  return faces.Object.get();
}

// ---- entity face ------------------------------------------------------------

HRESULT TBSDLEntity_Impl::GetName(std::wstring* AResult) {
  *AResult = Ex->Name;
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetInstructionLength(int32_t* AResult) {
  *AResult = Ex->InstructionLength;
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetIdCode(uint32_t* AResult) {
  *AResult = Ex->IdCode;
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetBoundaryLength(int32_t* AResult) {
  Ex->EvaluateBoundaryInfo();
  *AResult = Ex->BoundaryLength;
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetPin(int32_t AIndex, IScanPin* AResult) {
  *AResult = RecordOf<IScanPin>(FOwner.FaceOf(ItemAt(Ex->Pins, AIndex)));
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetPinMapping(int32_t AIndex, IPinMapping* AResult) {
  *AResult = RecordOf<IPinMapping>(FOwner.FaceOf(ItemAt(Ex->PinMappings, AIndex)));
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetBoundaryCell(int32_t AIndex, IBoundaryCell* AResult) {
  Ex->EvaluateBoundaryInfo();
  *AResult = RecordOf<IBoundaryCell>(FOwner.FaceOf(ItemAt(Ex->BoundaryCells, AIndex)));
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetInstructionOpcode(int32_t AIndex, IInstructionOpCode* AResult) {
  *AResult = RecordOf<IInstructionOpCode>(FOwner.FaceOf(ItemAt(Ex->InstructionOpCodes, AIndex)));
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetRegisterAssociation(int32_t AIndex, IRegisterAssociation* AResult) {
  *AResult =
      RecordOf<IRegisterAssociation>(FOwner.FaceOf(ItemAt(Ex->RegisterAssociations, AIndex)));
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetPinCount(int32_t* AResult) {
  *AResult = CountOf(Ex->Pins);
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetPinMappingCount(int32_t* AResult) {
  *AResult = CountOf(Ex->PinMappings);
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetBoundaryCellCount(int32_t* AResult) {
  Ex->EvaluateBoundaryInfo();
  *AResult = CountOf(Ex->BoundaryCells);
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetInstructionOpcodeCount(int32_t* AResult) {
  *AResult = CountOf(Ex->InstructionOpCodes);
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetRegisterAssociationCount(int32_t* AResult) {
  *AResult = CountOf(Ex->RegisterAssociations);
  return S_OK;
}

// The test-access pins come back as the pin objects themselves, not their
// faces.
HRESULT TBSDLEntity_Impl::TapPin(TScanPin* APin, IScanPin* AResult) {
  *AResult = RecordOf<IScanPin>(FOwner.PartObjectOf(APin));
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetPin_TDI(IScanPin* AResult) {
  return TapPin(Ex->TAP_TDI, AResult);
}

HRESULT TBSDLEntity_Impl::GetPin_TDO(IScanPin* AResult) {
  return TapPin(Ex->TAP_TDO, AResult);
}

HRESULT TBSDLEntity_Impl::GetPin_TMS(IScanPin* AResult) {
  return TapPin(Ex->TAP_TMS, AResult);
}

HRESULT TBSDLEntity_Impl::GetPin_TCK(IScanPin* AResult) {
  return TapPin(Ex->TAP_TCK, AResult);
}

HRESULT TBSDLEntity_Impl::GetPin_TRST(IScanPin* AResult) {
  return TapPin(Ex->TAP_TRST, AResult);
}

HRESULT TBSDLEntity_Impl::GetInstruction_BYPASS(uint32_t* AResult) {
  *AResult = Ex->Instruction_BYPASS;
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetInstruction_EXTEST(uint32_t* AResult) {
  *AResult = Ex->Instruction_EXTEST;
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetInstruction_SAMPLE(uint32_t* AResult) {
  *AResult = Ex->Instruction_SAMPLE;
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetInstruction_IDCODE(uint32_t* AResult) {
  *AResult = Ex->Instruction_IDCODE;
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetInstruction_USERCODE(uint32_t* AResult) {
  *AResult = Ex->Instruction_USERCODE;
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetInstruction_CLAMP(uint32_t* AResult) {
  *AResult = Ex->Instruction_CLAMP;
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetInstruction_HIGHZ(uint32_t* AResult) {
  *AResult = Ex->Instruction_HIGHZ;
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetScanClockMaxSpeed(double* AResult) {
  *AResult = Ex->ScanClockMaxSpeed;
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetScanClockHaltMode(TScanClockHaltMode* AResult) {
  *AResult = Ex->ScanClockHaltMode;
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetConformanceStatement(std::wstring* AResult) {
  *AResult = Ex->ConformanceStatement;
  return S_OK;
}

// The entity keeps a compliance pattern, so the host gets it rather than an
// empty text that would hide it.
HRESULT TBSDLEntity_Impl::GetCompliancePattern(std::wstring* AResult) {
  *AResult = Ex->CompliancePattern;
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetDesignWarning(std::wstring* AResult) {
  *AResult = Ex->DesignWarning;
  return S_OK;
}

HRESULT TBSDLEntity_Impl::GetFilename(std::wstring* AResult) {
  *AResult = Ex->Filename;
  return S_OK;
}

// ---- scan pin face ------------------------------------------------------------

HRESULT TScanPin_Impl::GetDirection(TPinDirection* AResult) {
  *AResult = static_cast<TPinDirection>(Ex->Direction);
  return S_OK;
}

HRESULT TScanPin_Impl::GetPinName(std::wstring* AResult) {
  *AResult = Ex->PinName;
  return S_OK;
}

HRESULT TScanPin_Impl::GetPinNumber(std::wstring* AResult) {
  *AResult = Ex->PinNumber;
  return S_OK;
}

HRESULT TScanPin_Impl::GetKind(TPinKind* AResult) {
  // A read entity's register decides which pins carry cells (and so stop
  // being supply pins): it is evaluated before the pin answers.
  if (Ex->Entity)
    Ex->Entity->EvaluateBoundaryInfo();
  *AResult = static_cast<TPinKind>(Ex->Kind);
  return S_OK;
}

HRESULT TScanPin_Impl::GetPinMapping(IPinMapping* AResult) {
  *AResult = RecordOf<IPinMapping>(FOwner.FaceOf(Ex->PinMapping));
  return S_OK;
}

HRESULT TScanPin_Impl::GetBoundaryCellCount(int32_t* AResult) {
  if (Ex->Entity)
    Ex->Entity->EvaluateBoundaryInfo();
  *AResult = CountOf(Ex->BoundaryCells);
  return S_OK;
}

HRESULT TScanPin_Impl::GetBoundaryCell(int32_t AIndex, IBoundaryCell* AResult) {
  if (Ex->Entity)
    Ex->Entity->EvaluateBoundaryInfo();
  *AResult = RecordOf<IBoundaryCell>(FOwner.FaceOf(ItemAt(Ex->BoundaryCells, AIndex)));
  return S_OK;
}

HRESULT TScanPin_Impl::GetCurrentValue(int32_t* AResult) {
  *AResult = Ex->CurrentValue;
  return S_OK;
}

HRESULT TScanPin_Impl::SetCurrentValue(int32_t AValue) {
  Ex->CurrentValue = AValue;
  return S_OK;
}

HRESULT TScanPin_Impl::DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) {
  ORV_DISPATCH_THROUGH(TValueHolderTable::ScanPin, TAbstractScanPin);
}

HRESULT STDMETHODCALLTYPE TScanPin_Impl::SupportsService(BSTR AName, TBoolean* AResult) {
  return ChainSupportsService(TAbstractScanPin::SupportsService(AName, AResult), AName,
                              kValueHolderService, AResult);
}

// ---- pin mapping face ---------------------------------------------------------

HRESULT TPinMapping_Impl::GetPinName(std::wstring* AResult) {
  *AResult = Ex->PinName;
  return S_OK;
}

HRESULT TPinMapping_Impl::GetPinNumber(std::wstring* AResult) {
  *AResult = Ex->PinNumber;
  return S_OK;
}

HRESULT TPinMapping_Impl::GetScanPin(IScanPin* AResult) {
  *AResult = RecordOf<IScanPin>(FOwner.FaceOf(Ex->ScanPin));
  return S_OK;
}

// ---- boundary cell face -------------------------------------------------------

HRESULT TBoundaryCell_Impl::GetCellNumber(int32_t* AResult) {
  *AResult = Ex->CellNumber;
  return S_OK;
}

HRESULT TBoundaryCell_Impl::GetCellKind(TCellKind* AResult) {
  *AResult = Ex->CellKind;
  return S_OK;
}

HRESULT TBoundaryCell_Impl::GetPortId(std::wstring* AResult) {
  *AResult = Ex->PortId;
  return S_OK;
}

HRESULT TBoundaryCell_Impl::GetCellFunction(TCellFunction* AResult) {
  *AResult = Ex->CellFunction;
  return S_OK;
}

HRESULT TBoundaryCell_Impl::GetSafeBit(TBitValue* AResult) {
  *AResult = Ex->SafeBit;
  return S_OK;
}

HRESULT TBoundaryCell_Impl::GetControlCellNumber(int32_t* AResult) {
  *AResult = Ex->ControlCellNumber;
  return S_OK;
}

HRESULT TBoundaryCell_Impl::GetDisableValue(TBitValue* AResult) {
  *AResult = Ex->DisableValue;
  return S_OK;
}

HRESULT TBoundaryCell_Impl::GetDisableResult(TDisableResult* AResult) {
  *AResult = Ex->DisableResult;
  return S_OK;
}

HRESULT TBoundaryCell_Impl::GetPin(IScanPin* AResult) {
  *AResult = RecordOf<IScanPin>(FOwner.FaceOf(Ex->Pin));
  return S_OK;
}

HRESULT TBoundaryCell_Impl::GetControlCell(IBoundaryCell* AResult) {
  *AResult = RecordOf<IBoundaryCell>(FOwner.FaceOf(Ex->ControlCell));
  return S_OK;
}

HRESULT TBoundaryCell_Impl::GetTargetCell(IBoundaryCell* AResult) {
  *AResult = RecordOf<IBoundaryCell>(FOwner.FaceOf(Ex->TargetCell));
  return S_OK;
}

HRESULT TBoundaryCell_Impl::GetCurrentValue(int32_t* AResult) {
  *AResult = Ex->CurrentValue;
  return S_OK;
}

HRESULT TBoundaryCell_Impl::SetCurrentValue(int32_t AValue) {
  Ex->CurrentValue = AValue;
  return S_OK;
}

HRESULT TBoundaryCell_Impl::DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) {
  ORV_DISPATCH_THROUGH(TValueHolderTable::BoundaryCell, TAbstractBoundaryCell);
}

HRESULT STDMETHODCALLTYPE TBoundaryCell_Impl::SupportsService(BSTR AName, TBoolean* AResult) {
  return ChainSupportsService(TAbstractBoundaryCell::SupportsService(AName, AResult), AName,
                              kValueHolderService, AResult);
}

// ---- op-code and register association faces ------------------------------------

HRESULT TInstructionOpCode_Impl::GetInstructionName(std::wstring* AResult) {
  *AResult = Ex->InstructionName;
  return S_OK;
}

HRESULT TInstructionOpCode_Impl::GetOpCodePattern(std::wstring* AResult) {
  *AResult = Ex->OpCodePattern;
  return S_OK;
}

HRESULT TRegisterAssociation_Impl::GetRegisterName(std::wstring* AResult) {
  *AResult = Ex->RegisterName;
  return S_OK;
}

HRESULT TRegisterAssociation_Impl::GetRegisterLength(int32_t* AResult) {
  *AResult = Ex->RegisterLength;
  return S_OK;
}

HRESULT TRegisterAssociation_Impl::GetInstructionOpcodeCount(int32_t* AResult) {
  *AResult = CountOf(Ex->InstructionOpCodes);
  return S_OK;
}

HRESULT TRegisterAssociation_Impl::GetInstructionOpcode(int32_t AIndex,
                                                        IInstructionOpCode* AResult) {
  TInstructionOpCode* opCode = nullptr;
  if (AIndex >= 0 && static_cast<std::size_t>(AIndex) < Ex->InstructionOpCodes.size())
    opCode = Ex->InstructionOpCodes[static_cast<std::size_t>(AIndex)].second;
  *AResult = RecordOf<IInstructionOpCode>(FOwner.FaceOf(opCode));
  return S_OK;
}

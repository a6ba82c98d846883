#include "fake-design.h"

#include "test-host.h"

#include <windows.h>

#include <cwctype>
#include <stdexcept>
#include <utility>

namespace {

TFakeDesign* GCurrentDesign = nullptr;

constexpr DISPID kGetDocumentKindFromPath = 509;
constexpr DISPID kWorkspaceGetProject = 501402, kWorkspaceGetProjectCount = 501404,
                 kWorkspaceGetDocumentByPath = 501412, kWorkspaceGetProjectByPath = 501413,
                 kWorkspaceGetUnifiedDataModel = 510208;
constexpr DISPID kProjectGetDocument = 500039, kProjectGetDocumentCount = 500047,
                 kProjectGetFullPath = 500062, kProjectGetFileName = 500063,
                 kProjectGetComponentMappings = 500067, kProjectGetFlattenedDocument = 500069,
                 kProjectCompile = 500088;
constexpr DISPID kDocumentGetFullPath = 500331, kDocumentGetFileName = 500332,
                 kDocumentGetKind = 500335, kDocumentGetProject = 500338,
                 kDocumentGetComponent = 500354, kDocumentGetComponentCount = 500375;
constexpr DISPID kComponentGetPin = 500145, kComponentGetPinCount = 500148,
                 kComponentGetSubProjectPath = 500162, kComponentGetDesignator = 500164,
                 kComponentGetLibraryReference = 500178;
constexpr DISPID kNetGetOwnerDocument = 500022, kNetGetItem = 500428, kNetGetPin = 500435,
                 kNetGetLine = 500437, kNetGetBusMember = 500438, kNetGetItemCount = 500439,
                 kNetGetConnectionCount = 500442, kNetGetPinCount = 500446,
                 kNetGetLineCount = 500448, kNetGetBusMemberCount = 500449,
                 kNetGetBusIndex = 500466, kNetGetBus = 500477, kNetGetPCBObjectId = 510107;
constexpr DISPID kItemIsIgnored = 500009, kItemGetOwnerDocument = 500022, kItemGetNet = 500202,
                 kItemGetName = 500206, kItemGetNetName = 500207, kItemGetPinNumber = 500230,
                 kGetObjectId = 510108;
constexpr DISPID kModelBeginUpdate = 510196, kModelEndUpdate = 510197,
                 kModelFindObjectById = 510209;
constexpr DISPID kSchGetLiveHighlightValue = 501999, kSchSetLiveHighlightValue = 502014,
                 kPcbSetLiveHighlightValue = 505484;

std::wstring Upper(std::wstring AText) {
  for (wchar_t& c : AText)
    c = wchar_t(std::towupper(c));
  return AText;
}

std::wstring FileNameOf(const std::wstring& APath) {
  return APath.substr(APath.find_last_of(L"\\/:") + 1);
}

IDispatch* DispatchOf(const TComPtr<TFakeHostObject>& AObject) {
  return AObject ? AObject->Dispatch() : nullptr;
}

// Handlers answering a fixed or a current value.
TFakeHandler Text(const std::wstring* AText) {
  return [AText](TFakeInvocation& AInvocation) {
    AInvocation.ReturnText(*AText);
    return S_OK;
  };
}

TFakeHandler Int(const int32_t* AValue) {
  return [AValue](TFakeInvocation& AInvocation) {
    AInvocation.ReturnInt(*AValue);
    return S_OK;
  };
}

template <class TGetObject> TFakeHandler Object(TGetObject AGet) {
  return [AGet](TFakeInvocation& AInvocation) {
    AInvocation.ReturnObject(AGet());
    return S_OK;
  };
}

// An indexed member of a list, and the list's count; an index outside the
// list fails as a host's list does.
template <class T>
void ServeList(TFakeHostObject& AObject, DISPID AItem, DISPID ACount,
               const std::vector<T*>* AList) {
  AObject.OnCall(AItem, [AList](TFakeInvocation& AInvocation) {
    const int32_t index = AInvocation.Int(0);
    if (index < 0 || size_t(index) >= AList->size())
      return AInvocation.Raise(L"List index out of bounds (" + std::to_wstring(index) + L")");
    AInvocation.ReturnObject(DispatchOf((*AList)[size_t(index)]->Object));
    return S_OK;
  });
  AObject.OnCall(ACount, [AList](TFakeInvocation& AInvocation) {
    AInvocation.ReturnInt(int32_t(AList->size()));
    return S_OK;
  });
}

} // namespace

TFakeDesign::TFakeDesign(TTestHost& AHost) : FHost(AHost) {
  FWorkspace = NewObject({L"IWorkspace"});
  FModel = NewObject({L"IUnifiedDataModel"});
  ServeWorkspace();
  ServeModel();
  // The client answers from whichever design is current.
  FHost.Client().OnCall(kGetDocumentKindFromPath, [](TFakeInvocation& AInvocation) {
    std::wstring kind;
    if (const TFakeDesign* design = Current()) {
      const auto found = design->FKinds.find(Upper(AInvocation.Text(0)));
      if (found != design->FKinds.end())
        kind = found->second;
    }
    AInvocation.ReturnText(kind);
    return S_OK;
  });
  FPrevious = std::exchange(GCurrentDesign, this);
}

TFakeDesign::~TFakeDesign() {
  if (GCurrentDesign == this)
    GCurrentDesign = FPrevious;
}

TFakeDesign* TFakeDesign::Current() {
  return GCurrentDesign;
}

TComPtr<TFakeHostObject> TFakeDesign::NewObject(std::initializer_list<std::wstring_view> ARecords) {
  TComPtr<TFakeHostObject> object = TFakeHostObject::Create(ARecords);
  object->SetErrorSink([this](const std::wstring& AError) { FErrors.push_back(AError); });
  return object;
}

void TFakeDesign::ServeWorkspace() {
  TFakeHostObject& workspace = *FWorkspace.Get();
  workspace.OnCall(kWorkspaceGetProject, [this](TFakeInvocation& AInvocation) {
    const int32_t index = AInvocation.Int(0);
    if (index < 0 || size_t(index) >= FProjects.size())
      return AInvocation.Raise(L"List index out of bounds (" + std::to_wstring(index) + L")");
    AInvocation.ReturnObject(DispatchOf(FProjects[size_t(index)].Object));
    return S_OK;
  });
  workspace.OnCall(kWorkspaceGetProjectCount, [this](TFakeInvocation& AInvocation) {
    AInvocation.ReturnInt(int32_t(FProjects.size()));
    return S_OK;
  });
  workspace.OnCall(kWorkspaceGetProjectByPath, [this](TFakeInvocation& AInvocation) {
    const std::wstring path = Upper(AInvocation.Text(0));
    IDispatch* found = nullptr;
    for (TProject& project : FProjects)
      if (Upper(project.FullPath) == path)
        found = DispatchOf(project.Object);
    AInvocation.ReturnObject(found);
    return S_OK;
  });
  workspace.OnCall(kWorkspaceGetDocumentByPath, [this](TFakeInvocation& AInvocation) {
    const std::wstring path = Upper(AInvocation.Text(0));
    IDispatch* found = nullptr;
    for (TDocument& document : FDocuments)
      if (Upper(document.FullPath) == path)
        found = DispatchOf(document.Object);
    AInvocation.ReturnObject(found);
    return S_OK;
  });
  workspace.OnCall(kWorkspaceGetUnifiedDataModel, Object([this] { return FModel->Dispatch(); }));
}

void TFakeDesign::ServeModel() {
  TFakeHostObject& model = *FModel.Get();
  model.OnCall(kModelBeginUpdate, [this](TFakeInvocation&) {
    ++FBatchesOpened;
    ++FBatchDepth;
    return S_OK;
  });
  model.OnCall(kModelEndUpdate, [this](TFakeInvocation& AInvocation) {
    if (FBatchDepth == 0)
      return AInvocation.Raise(L"EndUpdate without BeginUpdate");
    --FBatchDepth;
    return S_OK;
  });
  model.OnCall(kModelFindObjectById, [this](TFakeInvocation& AInvocation) {
    const auto found = FHighlights.find(AInvocation.Text(0));
    const bool known = found != FHighlights.end();
    AInvocation.SetObject(1, known ? found->second.Object->Dispatch() : nullptr);
    AInvocation.ReturnBool(known);
    return S_OK;
  });
}

TFakeDesign::TProject& TFakeDesign::AddProject(std::wstring AFullPath, std::wstring AKind) {
  TProject& project = FProjects.emplace_back();
  project.Object = NewObject({L"IProject"});
  project.FullPath = std::move(AFullPath);
  FKinds[Upper(project.FullPath)] = std::move(AKind);
  TFakeHostObject& object = *project.Object.Get();
  TProject* p = &project;
  ServeList(object, kProjectGetDocument, kProjectGetDocumentCount, &project.Documents);
  object.OnCall(kProjectGetFullPath, Text(&project.FullPath));
  object.OnCall(kProjectGetFileName, [p](TFakeInvocation& AInvocation) {
    AInvocation.ReturnText(FileNameOf(p->FullPath));
    return S_OK;
  });
  object.OnCall(kProjectGetFlattenedDocument,
                Object([p] { return p->Flattened ? DispatchOf(p->Flattened->Object) : nullptr; }));
  object.OnCall(kProjectCompile, [p](TFakeInvocation& AInvocation) {
    ++p->Compiles;
    if (!p->Flattened)
      p->Flattened = p->FlattenedOnCompile;
    AInvocation.ReturnBool(true);
    return S_OK;
  });
  object.OnCall(kProjectGetComponentMappings, [this, p](TFakeInvocation& AInvocation) {
    const std::wstring path = AInvocation.Text(0);
    p->MappingRequests.push_back(path);
    for (TDocument& document : FDocuments)
      if (Upper(document.FullPath) == Upper(path)) {
        for (TComponent* component : document.MappedComponents)
          document.Components.push_back(component);
        document.MappedComponents.clear();
      }
    AInvocation.ReturnObject(nullptr);
    return S_OK;
  });
  return project;
}

TFakeDesign::TDocument& TFakeDesign::AddDocument(TProject* AProject, std::wstring AFullPath,
                                                 std::wstring AKind) {
  TDocument& document = FDocuments.emplace_back();
  document.Object = NewObject({L"IDocument"});
  document.FullPath = std::move(AFullPath);
  document.Project = AProject;
  FKinds[Upper(document.FullPath)] = AKind;
  if (AProject)
    AProject->Documents.push_back(&document);
  TFakeHostObject& object = *document.Object.Get();
  TDocument* d = &document;
  object.OnCall(kDocumentGetFullPath, Text(&document.FullPath));
  object.OnCall(kDocumentGetFileName, [d](TFakeInvocation& AInvocation) {
    AInvocation.ReturnText(FileNameOf(d->FullPath));
    return S_OK;
  });
  object.OnCall(kDocumentGetKind, [AKind](TFakeInvocation& AInvocation) {
    AInvocation.ReturnText(AKind);
    return S_OK;
  });
  object.OnCall(kDocumentGetProject,
                Object([d] { return d->Project ? DispatchOf(d->Project->Object) : nullptr; }));
  ServeList(object, kDocumentGetComponent, kDocumentGetComponentCount, &document.Components);
  return document;
}

TFakeDesign::TNet& TFakeDesign::AddNet(TDocument* AOwner) {
  TNet& net = FNets.emplace_back();
  net.Object = NewObject({L"INet"});
  net.Owner = AOwner;
  ServeNet(net);
  return net;
}

void TFakeDesign::ServeNet(TNet& ANet) {
  TFakeHostObject& object = *ANet.Object.Get();
  TNet* n = &ANet;
  object.OnCall(kNetGetOwnerDocument,
                Object([n] { return n->Owner ? DispatchOf(n->Owner->Object) : nullptr; }));
  ServeList(object, kNetGetItem, kNetGetItemCount, &ANet.Items);
  ServeList(object, kNetGetPin, kNetGetPinCount, &ANet.Pins);
  ServeList(object, kNetGetBusMember, kNetGetBusMemberCount, &ANet.Members);
  object.OnCall(kNetGetLine, [n](TFakeInvocation& AInvocation) {
    const int32_t index = AInvocation.Int(0);
    if (index < 0 || size_t(index) >= n->Lines.size())
      return AInvocation.Raise(L"List index out of bounds (" + std::to_wstring(index) + L")");
    AInvocation.ReturnObject(n->Lines[size_t(index)]->Dispatch());
    return S_OK;
  });
  object.OnCall(kNetGetLineCount, [n](TFakeInvocation& AInvocation) {
    AInvocation.ReturnInt(int32_t(n->Lines.size()));
    return S_OK;
  });
  object.OnCall(kNetGetConnectionCount, Int(&ANet.ConnectionCount));
  object.OnCall(kNetGetBusIndex, Int(&ANet.BusIndex));
  object.OnCall(kNetGetBus, Object([n] { return n->Bus ? DispatchOf(n->Bus->Object) : nullptr; }));
  object.OnCall(kNetGetPCBObjectId, Text(&ANet.PCBObjectId));
}

TFakeDesign::TItem& TFakeDesign::AddItem(TNet& ANet, TDocument* AOwner, std::wstring AObjectId,
                                         bool AIsPin, std::wstring AName) {
  TItem& item = FItems.emplace_back();
  item.Object = NewObject({L"INetItem"});
  item.ObjectId = std::move(AObjectId);
  item.Name = std::move(AName);
  item.Owner = AOwner;
  item.Net = &ANet;
  ANet.Items.push_back(&item);
  if (AIsPin)
    ANet.Pins.push_back(&item);
  TFakeHostObject& object = *item.Object.Get();
  TItem* i = &item;
  object.OnCall(kItemIsIgnored, [i](TFakeInvocation& AInvocation) {
    AInvocation.ReturnBool(i->Ignored);
    return S_OK;
  });
  object.OnCall(kItemGetOwnerDocument,
                Object([i] { return i->Owner ? DispatchOf(i->Owner->Object) : nullptr; }));
  object.OnCall(kItemGetNet, Object([i] { return i->Net ? DispatchOf(i->Net->Object) : nullptr; }));
  object.OnCall(kItemGetName, Text(&item.Name));
  object.OnCall(kItemGetNetName, Text(&item.NetName));
  object.OnCall(kItemGetPinNumber, Text(&item.PinNumber));
  object.OnCall(kGetObjectId, Text(&item.ObjectId));
  return item;
}

void TFakeDesign::AddLine(TNet& ANet, std::wstring AObjectId) {
  TComPtr<TFakeHostObject> line = NewObject({L"ILine", L"IDMObject"});
  line->OnCall(kGetObjectId, [AObjectId](TFakeInvocation& AInvocation) {
    AInvocation.ReturnText(AObjectId);
    return S_OK;
  });
  ANet.Lines.push_back(line);
}

void TFakeDesign::AddBusMember(TNet& ABus, TNet& ANet, int32_t AIndex) {
  ANet.Bus = &ABus;
  ANet.BusIndex = AIndex;
  ABus.Members.push_back(&ANet);
}

TFakeDesign::TComponent& TFakeDesign::AddComponent(TDocument& ADocument, std::wstring ADesignator,
                                                   std::wstring ALibraryReference,
                                                   std::wstring ASubProjectPath,
                                                   bool AOnlyByMapping) {
  TComponent& component = FComponents.emplace_back();
  component.Object = NewObject({L"IComponent"});
  component.Designator = std::move(ADesignator);
  component.LibraryReference = std::move(ALibraryReference);
  component.SubProjectPath = std::move(ASubProjectPath);
  (AOnlyByMapping ? ADocument.MappedComponents : ADocument.Components).push_back(&component);
  TFakeHostObject& object = *component.Object.Get();
  ServeList(object, kComponentGetPin, kComponentGetPinCount, &component.Pins);
  object.OnCall(kComponentGetDesignator, Text(&component.Designator));
  object.OnCall(kComponentGetLibraryReference, Text(&component.LibraryReference));
  object.OnCall(kComponentGetSubProjectPath, Text(&component.SubProjectPath));
  return component;
}

TFakeDesign::TItem& TFakeDesign::AddComponentPin(TComponent& AComponent, std::wstring APinNumber,
                                                 TNet* ANet, std::wstring ANetName) {
  TItem& item = FItems.emplace_back();
  item.Object = NewObject({L"INetItem"});
  item.PinNumber = std::move(APinNumber);
  item.NetName = std::move(ANetName);
  item.Net = ANet;
  AComponent.Pins.push_back(&item);
  TFakeHostObject& object = *item.Object.Get();
  TItem* i = &item;
  object.OnCall(kItemGetNet, Object([i] { return i->Net ? DispatchOf(i->Net->Object) : nullptr; }));
  object.OnCall(kItemGetNetName, Text(&item.NetName));
  object.OnCall(kItemGetPinNumber, Text(&item.PinNumber));
  return item;
}

TFakeDesign::THighlight& TFakeDesign::AddSchObject(const std::wstring& AObjectId,
                                                   std::wstring AText) {
  // A second object under the same identifier replaces the first.
  THighlight& highlight = FHighlights[AObjectId] = THighlight();
  highlight.Object = NewObject({L"ISch_GraphicalObject"});
  highlight.Text = std::move(AText);
  THighlight* h = &highlight;
  highlight.Object->OnCall(kSchGetLiveHighlightValue, Text(&highlight.Text));
  highlight.Object->OnCall(kSchSetLiveHighlightValue, [h](TFakeInvocation& AInvocation) {
    h->Text = AInvocation.Text(0);
    ++h->Writes;
    return S_OK;
  });
  return highlight;
}

TFakeDesign::THighlight& TFakeDesign::AddPcbNet(const std::wstring& AObjectId) {
  THighlight& highlight = FHighlights[AObjectId] = THighlight();
  highlight.Object = NewObject({L"IPCB_Net"});
  highlight.Pcb = true;
  THighlight* h = &highlight;
  highlight.Object->OnCall(kPcbSetLiveHighlightValue, [h](TFakeInvocation& AInvocation) {
    h->Value = AInvocation.Int(0);
    ++h->Writes;
    return S_OK;
  });
  return highlight;
}

const TFakeDesign::THighlight& TFakeDesign::Highlight(const std::wstring& AObjectId) const {
  const auto found = FHighlights.find(AObjectId);
  if (found == FHighlights.end())
    throw std::out_of_range("no such highlight object");
  return found->second;
}

// Asked by the stand-in workspace module.
extern "C" __declspec(dllexport) HRESULT WINAPI TestHost_GetWorkspace(IUnknown** AWorkspace) {
  if (!AWorkspace)
    return E_POINTER;
  *AWorkspace = nullptr;
  TFakeDesign* design = TFakeDesign::Current();
  if (design && design->OfferWorkspace) {
    design->Workspace().AddRef();
    *AWorkspace = design->Workspace().Dispatch();
  }
  return S_OK;
}

#pragma once

// The host's design data as the plug-in reaches it by DISPID: the workspace
// (handed out by the stand-in workspace module "Ombrel.DLL"), its projects,
// their documents, the nets, net items, lines and components on them, and
// the unified data model that resolves object identifiers to the schematic
// objects and PCB nets whose live-highlight values the plug-in writes.
// Every object is a table-driven fake host object of the test host; a test
// builds the least design it needs and reads back what was written. One
// design is current at a time.

#include "fake-host-object.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

class TTestHost;

class TFakeDesign {
public:
  struct TDocument;
  struct TNet;

  struct TProject {
    TComPtr<TFakeHostObject> Object;
    std::wstring FullPath;
    std::vector<TDocument*> Documents;
    // The compiled document; Compile makes FlattenedOnCompile the flattened
    // one when there is none yet.
    TDocument* Flattened = nullptr;
    TDocument* FlattenedOnCompile = nullptr;
    int Compiles = 0;
    // The document paths whose component mappings were asked for.
    std::vector<std::wstring> MappingRequests;
  };

  struct TItem {
    TComPtr<TFakeHostObject> Object;
    std::wstring Name;
    std::wstring ObjectId;
    std::wstring PinNumber;
    std::wstring NetName;
    bool Ignored = false;
    TDocument* Owner = nullptr;
    TNet* Net = nullptr;
  };

  struct TComponent {
    TComPtr<TFakeHostObject> Object;
    std::wstring Designator;
    std::wstring LibraryReference;
    std::wstring SubProjectPath;
    std::vector<TItem*> Pins;
  };

  struct TDocument {
    TComPtr<TFakeHostObject> Object;
    std::wstring FullPath;
    TProject* Project = nullptr;
    std::vector<TComponent*> Components;
    // Components the host knows only once the project's component mappings
    // of the document were asked for.
    std::vector<TComponent*> MappedComponents;
  };

  struct TNet {
    TComPtr<TFakeHostObject> Object;
    TDocument* Owner = nullptr;
    std::vector<TItem*> Items; // every item, pins included
    std::vector<TItem*> Pins;
    std::vector<TComPtr<TFakeHostObject>> Lines;
    TNet* Bus = nullptr;
    int32_t BusIndex = -1;
    std::vector<TNet*> Members;
    int32_t ConnectionCount = 0;
    std::wstring PCBObjectId;
  };

  // What the plug-in last wrote into a highlightable object.
  struct THighlight {
    TComPtr<TFakeHostObject> Object;
    bool Pcb = false;
    std::wstring Text;  // a schematic object's value
    int32_t Value = -1; // a PCB net's value; -1: never written
    int Writes = 0;
  };

  // Serves the workspace's document kinds through AHost's client.
  explicit TFakeDesign(TTestHost& AHost);
  ~TFakeDesign();
  TFakeDesign(const TFakeDesign&) = delete;
  TFakeDesign& operator=(const TFakeDesign&) = delete;

  // The design the workspace module answers for; nullptr when none lives.
  static TFakeDesign* Current();

  // AKind is the host's kind of the path ("PCBPROJECT", "FPGAPROJECT").
  TProject& AddProject(std::wstring AFullPath, std::wstring AKind);
  // A document of a project (or of none); AKind "SCH", "PCB", ...
  TDocument& AddDocument(TProject* AProject, std::wstring AFullPath, std::wstring AKind);
  TNet& AddNet(TDocument* AOwner);
  // An item of ANet on AOwner; a pin item is also one of the net's pins.
  TItem& AddItem(TNet& ANet, TDocument* AOwner, std::wstring AObjectId, bool AIsPin,
                 std::wstring AName = L"");
  void AddLine(TNet& ANet, std::wstring AObjectId);
  // ANet becomes bit AIndex of ABus.
  void AddBusMember(TNet& ABus, TNet& ANet, int32_t AIndex);
  TComponent& AddComponent(TDocument& ADocument, std::wstring ADesignator,
                           std::wstring ALibraryReference, std::wstring ASubProjectPath = L"",
                           bool AOnlyByMapping = false);
  // A pin of a component, on ANet (or on none).
  TItem& AddComponentPin(TComponent& AComponent, std::wstring APinNumber, TNet* ANet,
                         std::wstring ANetName = L"");

  // Objects the unified data model resolves by identifier.
  THighlight& AddSchObject(const std::wstring& AObjectId, std::wstring AText = L"");
  THighlight& AddPcbNet(const std::wstring& AObjectId);
  const THighlight& Highlight(const std::wstring& AObjectId) const;

  TFakeHostObject& Workspace() { return *FWorkspace.Get(); }
  // Whether the workspace module hands the workspace out (a host without
  // an open workspace answers nothing).
  bool OfferWorkspace = true;
  TFakeHostObject& Model() { return *FModel.Get(); }
  int BatchesOpened() const { return FBatchesOpened; }
  int BatchDepth() const { return FBatchDepth; }
  // Every call a design object refused, in order.
  const std::vector<std::wstring>& Errors() const { return FErrors; }

private:
  TComPtr<TFakeHostObject> NewObject(std::initializer_list<std::wstring_view> ARecords);
  void ServeWorkspace();
  void ServeModel();
  void ServeNet(TNet& ANet);

  TTestHost& FHost;
  TComPtr<TFakeHostObject> FWorkspace;
  TComPtr<TFakeHostObject> FModel;
  std::deque<TProject> FProjects;
  std::deque<TDocument> FDocuments;
  std::deque<TNet> FNets;
  std::deque<TItem> FItems;
  std::deque<TComponent> FComponents;
  std::map<std::wstring, THighlight> FHighlights;
  // Host kinds by path, upper-cased.
  std::map<std::wstring, std::wstring> FKinds;
  std::vector<std::wstring> FErrors;
  int FBatchesOpened = 0;
  int FBatchDepth = 0;
  TFakeDesign* FPrevious = nullptr;
};

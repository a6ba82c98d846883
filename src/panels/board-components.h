#pragma once

// The board components that carry a chain device's chip. A workspace may
// hold several PCB projects, and a project several components of the same
// part, so the pins panel lists every candidate ("project file / designator")
// and links the pins of the one the user picks. The candidates that stand
// for the panel's FPGA project come first.

#include "host-records.h"

#include <memory>
#include <string>
#include <vector>

class TStrings;

// One candidate: a PCB project and a component designator in it.
class TPCBComponentInfo {
public:
  TPCBComponentInfo(std::wstring AProjectPath, std::wstring AComponentDesignator)
      : FProjectPath(std::move(AProjectPath)),
        FComponentDesignator(std::move(AComponentDesignator)) {}
  // The project's file name, " / ", the designator.
  std::wstring GetDescription() const;

  std::wstring FProjectPath;
  std::wstring FComponentDesignator;
};

class TPCBComponentInfoManager {
public:
  // Rebuilds the candidates from the workspace's PCB projects (compiling a
  // project that has no flattened document yet); none without a library
  // reference.
  void UpdateComponentsList();
  // The candidate filed under ADescription (letter case ignored), or nullptr.
  TPCBComponentInfo* GetPCBComponentInfoFromDescription(const std::wstring& ADescription) const;
  // Appends every description in list order; nothing for no list.
  void FillComponentDescriptions(TStrings* AStringList) const;
  // Whether AComponent is this chip (by the host's device-name rules, or
  // the same library reference ignoring case); ALinkedToTarget tells
  // whether it stands for the target FPGA project.
  bool MatchComponent(const IProject& AProject, const IComponent& AComponent,
                      bool& ALinkedToTarget) const;
  void ClearComponentInfos() { FComponentInfos.clear(); }

  int Count() const { return int(FComponentInfos.size()); }
  const TPCBComponentInfo& Info(int AIndex) const { return *FComponentInfos.at(AIndex).Info; }

  // The library reference a component must carry to be a candidate.
  std::wstring FLibraryReference;
  // The panel's FPGA project: components whose sub-project it is come first.
  std::wstring FTargetProjectPath;

private:
  struct TEntry {
    std::wstring Description;
    std::unique_ptr<TPCBComponentInfo> Info;
  };
  int IndexOf(const std::wstring& ADescription) const;

  std::vector<TEntry> FComponentInfos;
};

// The board-level design objects the chosen candidate resolves to: its
// project, the project's flattened schematic and its last PCB document,
// and the chip's component on each. Empty records where there is none.
struct TBoardLevelLinks {
  IProject BoardLevel_Project;
  IDocument BoardLevel_SCHDocument;
  IComponent BoardLevel_SCHComponent;
  IDocument BoardLevel_PCBDocument;
  IComponent BoardLevel_PCBComponent;
};

// The control the candidate is picked in (the pins panel's combo box).
class IBoardComponentChooser {
public:
  virtual ~IBoardComponentChooser() = default;
  virtual std::wstring GetText() const = 0;
  // Selects the item of that text.
  virtual void SetText(const std::wstring& AText) = 0;
  virtual TStrings& Items() = 0;
  virtual void SetEnabled(bool AEnabled) = 0;
  // Detaches (False) or attaches again (True) the control's change handler,
  // so that filling it relinks nothing.
  virtual void SetChangeHandlerAttached(bool AAttached) = 0;
};

// Refills the chooser with the candidates of ALibraryReference, keeping
// the chosen one when it is still there; the chooser is enabled exactly
// when it lists something.
void RefreshPCBComponentList(TPCBComponentInfoManager& AManager, IBoardComponentChooser& AChooser,
                             const std::wstring& ALibraryReference,
                             const std::wstring& AFPGAProjectPath);
// Resolves the candidate of AChosenDescription into the board-level
// objects; all empty when there is no such candidate or its project is no
// longer open.
TBoardLevelLinks FindBoardComponents(const TPCBComponentInfoManager& AManager,
                                     const std::wstring& AChosenDescription);

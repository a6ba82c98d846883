#include "board-components.h"

#include "host-modules.h"
#include "host-utilities.h"
#include "image-loaders.h"
#include "pin-links.h"
#include "string-lists.h"
#include "vfs-entry.h"

#include <windows.h>

namespace {

bool SameText(const std::wstring& A, const std::wstring& B) {
  return CompareStringOrdinal(A.c_str(), int(A.size()), B.c_str(), int(B.size()), TRUE) ==
         CSTR_EQUAL;
}

// The first component of ADocument with ADesignator (letter case ignored).
IComponent ComponentByDesignator(const IDocument& ADocument, const std::wstring& ADesignator) {
  const int32_t count = ADocument.GetComponentCount();
  for (int32_t i = 0; i < count; ++i) {
    IComponent component = ADocument.GetComponent(i);
    if (component && SameText(component.GetDesignator(), ADesignator))
      return component;
  }
  return IComponent();
}

} // namespace

std::wstring TPCBComponentInfo::GetDescription() const {
  return ExtractFileName(FProjectPath) + L" / " + FComponentDesignator;
}

int TPCBComponentInfoManager::IndexOf(const std::wstring& ADescription) const {
  for (size_t i = 0; i < FComponentInfos.size(); ++i)
    if (SameText(FComponentInfos[i].Description, ADescription))
      return int(i);
  return -1;
}

TPCBComponentInfo* TPCBComponentInfoManager::GetPCBComponentInfoFromDescription(
    const std::wstring& ADescription) const {
  const int index = IndexOf(ADescription);
  return index < 0 ? nullptr : FComponentInfos[size_t(index)].Info.get();
}

void TPCBComponentInfoManager::FillComponentDescriptions(TStrings* AStringList) const {
  if (!AStringList)
    return;
  for (const TEntry& entry : FComponentInfos)
    AStringList->Add(entry.Description);
}

bool TPCBComponentInfoManager::MatchComponent(const IProject& AProject,
                                              const IComponent& AComponent,
                                              bool& ALinkedToTarget) const {
  const std::wstring reference = AComponent.GetLibraryReference();
  bool matches = false;
  const IDeviceManager deviceManager = GetDeviceManager();
  if (deviceManager)
    matches = deviceManager.DeviceNamesMatch(reference, FLibraryReference);
  if (!matches)
    matches = SameText(reference, FLibraryReference);
  // A relative sub-project path is relative to the board project. A
  // component that stands for no project links to none, also when the
  // panel has no FPGA project.
  std::wstring subProject = AComponent.GetSubProjectPath();
  ALinkedToTarget = false;
  if (!subProject.empty()) {
    if (IsRelativePath(subProject)) {
      const std::wstring relative = subProject;
      ExpandRelativePath(AProject.GetFullPath(), relative, subProject);
    }
    ALinkedToTarget = SameText(subProject, FTargetProjectPath);
  }
  return matches;
}

void TPCBComponentInfoManager::UpdateComponentsList() {
  ClearComponentInfos();
  if (FLibraryReference.empty())
    return;
  const IWorkspace workspace = GetWorkspace();
  if (!workspace)
    return;
  const int32_t projects = workspace.GetProjectCount();
  for (int32_t p = 0; p < projects; ++p) {
    const IProject project = workspace.GetProject(p);
    if (!IsPCBProject(project))
      continue;
    if (!project.GetFlattenedDocument())
      project.Compile();
    const IDocument flattened = project.GetFlattenedDocument();
    if (!flattened)
      continue;
    const int32_t components = flattened.GetComponentCount();
    for (int32_t c = 0; c < components; ++c) {
      const IComponent component = flattened.GetComponent(c);
      bool linkedToTarget = false;
      if (!component || !MatchComponent(project, component, linkedToTarget))
        continue;
      auto info =
          std::make_unique<TPCBComponentInfo>(project.GetFullPath(), component.GetDesignator());
      std::wstring description = info->GetDescription();
      if (IndexOf(description) >= 0)
        continue;
      TEntry entry{std::move(description), std::move(info)};
      if (linkedToTarget)
        FComponentInfos.insert(FComponentInfos.begin(), std::move(entry));
      else
        FComponentInfos.push_back(std::move(entry));
    }
  }
}

void RefreshPCBComponentList(TPCBComponentInfoManager& AManager, IBoardComponentChooser& AChooser,
                             const std::wstring& ALibraryReference,
                             const std::wstring& AFPGAProjectPath) {
  AChooser.SetChangeHandlerAttached(false);
  try {
    const std::wstring chosen = AChooser.GetText();
    AManager.FLibraryReference = ALibraryReference;
    AManager.FTargetProjectPath = AFPGAProjectPath;
    AManager.UpdateComponentsList();
    TStrings& items = AChooser.Items();
    items.Clear();
    AManager.FillComponentDescriptions(&items);
    if (!chosen.empty() && items.IndexOf(chosen) >= 0)
      AChooser.SetText(chosen);
  } catch (...) {
    AChooser.SetChangeHandlerAttached(true);
    AChooser.SetEnabled(AChooser.Items().Count() > 0);
    throw;
  }
  AChooser.SetChangeHandlerAttached(true);
  AChooser.SetEnabled(AChooser.Items().Count() > 0);
}

TBoardLevelLinks FindBoardComponents(const TPCBComponentInfoManager& AManager,
                                     const std::wstring& AChosenDescription) {
  TBoardLevelLinks links;
  const TPCBComponentInfo* info = AManager.GetPCBComponentInfoFromDescription(AChosenDescription);
  if (!info)
    return links;
  const IWorkspace workspace = GetWorkspace();
  if (!workspace)
    return links;
  links.BoardLevel_Project = workspace.GetProjectByPath(info->FProjectPath);
  const IProject& project = links.BoardLevel_Project;
  if (!project)
    return links;
  // The last PCB document of the project is the board.
  for (int32_t i = project.GetDocumentCount() - 1; i >= 0; --i) {
    IDocument document = project.GetDocument(i);
    if (IsPCBDocument(document)) {
      links.BoardLevel_PCBDocument = document;
      break;
    }
  }
  const IDocument flattened = project.GetFlattenedDocument();
  if (flattened) {
    links.BoardLevel_SCHDocument = flattened;
    links.BoardLevel_SCHComponent = ComponentByDesignator(flattened, info->FComponentDesignator);
  }
  const IDocument& board = links.BoardLevel_PCBDocument;
  if (board) {
    // A board whose components are not known yet gets them from the
    // project's component mappings.
    if (board.GetComponentCount() == 0)
      project.GetComponentMappings(board.GetFullPath());
    links.BoardLevel_PCBComponent = ComponentByDesignator(board, info->FComponentDesignator);
  }
  return links;
}

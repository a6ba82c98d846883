#include "vhdl-reader-host.h"

#include "client-access.h"
#include "document-images.h"
#include "host-modules.h"
#include "host-utilities.h"
#include "parameter-list.h"

namespace {

std::wstring FileNameOnly(const std::wstring& APath) {
  const std::size_t slash = APath.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? APath : APath.substr(slash + 1);
}

} // namespace

std::wstring THostReaderSurroundings::LogFolder() {
  return GetLongTempFolder();
}

std::wstring THostReaderSurroundings::MakeTempLogFile() {
  return MakeTempFileName();
}

bool THostReaderSurroundings::ReplaceLog(const std::wstring& ATempFile,
                                         const std::wstring& AFinalFile) {
  return ReplaceFileIfNotLocked(ATempFile, AFinalFile);
}

void THostReaderSurroundings::ShowStatus(const std::wstring& AText) {
  if (Client())
    SetHostStatusText(3, AText);
}

void THostReaderSurroundings::PostError(const std::wstring& AMessage,
                                        const std::wstring& ADocumentPath) {
  const IWorkspace workspace = GetWorkspace();
  if (!workspace)
    return;
  const IQovMessagesManager messages = workspace.GetMessagesManager();
  if (!messages)
    return;
  messages.AddMessage(L"[Error]", AMessage, L"Compiler", FileNameOnly(ADocumentPath), L"", L"",
                      GetDocumentKindImageIndex(L"VHDL"), false, L"", L"");
}

void THostReaderSurroundings::MoveEditorTo(const std::wstring& ADocumentPath, std::int32_t ALine,
                                           std::int32_t AColumn) {
  const IClient client = Client();
  if (!client)
    return;
  const IServerDocument document = client.GetDocumentByPath(ADocumentPath);
  if (!document)
    return;
  client.ShowDocument(document);
  std::wstring parameters;
  SetParameterInState(parameters, L"TargetFilename", ADocumentPath);
  SetParameterInState(parameters, L"FocusWindows", L"True");
  SetParameterInState(parameters, L"Kind", L"Position");
  SetParameterInState(parameters, L"LineNumber", std::to_wstring(ALine - 1));
  SetParameterInState(parameters, L"ColumnNumber", std::to_wstring(AColumn - 1));
  SetParameterInState(parameters, L"SelectionLength", L"10");
  RunProcess(L"TEXTEDIT:CrossProbeNotify", parameters, GetCurrentDocumentView());
}

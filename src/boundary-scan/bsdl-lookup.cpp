// Finding a device's BSDL file on disk: in the library tree, in the
// temporary folder, or unpacked there from a zip archive of the same name.

#include "bsdl-lookup.h"

#include "bsdl-model.h"
#include "host-utilities.h"
#include "zip-library.h"

namespace {

// Where the file name of a path begins: after its last "\" or drive colon.
std::size_t FileNameStart(const std::wstring& APath) {
  const std::size_t separator = APath.find_last_of(L"\\:");
  return separator == std::wstring::npos ? 0 : separator + 1;
}

// The path with its extension replaced by AExtension (added when it has none).
std::wstring WithExtension(const std::wstring& APath, const std::wstring& AExtension) {
  const std::size_t dot = APath.rfind(L'.');
  if (dot == std::wstring::npos || dot < FileNameStart(APath))
    return APath + AExtension;
  return APath.substr(0, dot) + AExtension;
}

} // namespace

bool UnpackZipToFolder(const std::wstring& AArchive, const std::wstring& AFolder) {
  if (!FileExists(AArchive))
    return false;
  TXCeedZip zip(AArchive);
  zip.SetPreservePaths(false);
  // The folder is shared (the temporary folder): a file already there may be
  // another's, so it is kept, never replaced by an entry of the same name.
  zip.SetSkipIfExisting(true);
  zip.SetUnzipToFolder(AFolder);
  zip.AddFilesToProcess(L"*.*");
  return zip.UnZip() == 0;
}

std::wstring TBSDLEntity::DetermineFullPath(const std::wstring& ABSDLFileName,
                                            const std::wstring& ADeviceVendorName,
                                            const std::wstring& ADeviceFamilyName,
                                            const std::wstring& ALibraryFolder) {
  if (!IsRelativePath(ABSDLFileName))
    return ABSDLFileName;
  const std::wstring root = ALibraryFolder.empty() ? GetModuleLibraryFolder() : ALibraryFolder;
  return IncludeTrailingChar(root, L'\\') + L"BSDL\\" + ADeviceVendorName + L"\\" +
         ADeviceFamilyName + L"\\" + ABSDLFileName;
}

std::wstring TBSDLEntity::FindFullBSDLPath(const std::wstring& ASourcePath) {
  const std::wstring fileName = ASourcePath.substr(FileNameStart(ASourcePath));
  if (fileName.empty())
    return {};
  const std::wstring tempFolder = IncludeTrailingChar(GetTempFolder(), L'\\');
  const std::wstring tempCopy = tempFolder + fileName;
  if (FileExists(ASourcePath))
    return ASourcePath;
  if (FileExists(tempCopy))
    return tempCopy;
  const std::wstring archive = WithExtension(ASourcePath, L".Zip");
  if (FileExists(archive)) {
    // What the archive held decides, not the library's answer.
    UnpackZipToFolder(archive, tempFolder);
    if (FileExists(tempCopy))
      return tempCopy;
  }
  return {};
}

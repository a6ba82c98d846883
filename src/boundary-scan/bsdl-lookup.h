#pragma once

#include <string>

// Unpacks every file of an archive straight into AFolder (stored folders
// dropped); a file already in the folder is kept, never overwritten. True
// only when the archive exists and the zip library reports success.
bool UnpackZipToFolder(const std::wstring& AArchive, const std::wstring& AFolder);

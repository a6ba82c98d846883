#pragma once

#include <cstdio>
#include <windows.h>

// A scratch file for a test's captured output, deleted when closed. The C
// library's tmpfile() makes its names in the root folder and, with several
// test programs running at once under Wine, sometimes answers null; this
// takes a unique name in the temporary folder instead.
inline std::FILE *OpenScratchFile() {
  wchar_t folder[MAX_PATH];
  if (!GetTempPathW(MAX_PATH, folder))
    return nullptr;
  for (int attempt = 0; attempt < 100; ++attempt) {
    wchar_t name[MAX_PATH];
    if (!GetTempFileNameW(folder, L"orv", 0, name))
      continue;
    if (std::FILE *file = _wfopen(name, L"w+bD"))
      return file;
    DeleteFileW(name);
  }
  return nullptr;
}

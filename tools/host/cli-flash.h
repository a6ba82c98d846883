#pragma once

// The flash verb of the command-line host: loads a program image, and has
// the part's own flash writer erase, program and verify the chip's flash,
// with a text progress bar. Everything is asked of the plug-in by DISPID.

#include "plugin-library.h"
#include "test-host.h"

#include <oaidl.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct TFlashOptions {
  bool Verify = true;
  bool EraseAll = false;
};

// One contiguous run of image bytes at its flash address.
struct TFlashBlock {
  uint32_t Address = 0;
  std::vector<uint8_t> Bytes;
};

// The image in a HEX, ELF or raw file, as address-ordered blocks with the
// loader's adjacent pieces joined (a later piece wins where pieces overlap).
// Raises std::runtime_error with the user's text when the file is missing,
// cannot be read as an image or holds no data.
std::vector<TFlashBlock> LoadFlashImage(const std::wstring& APath);

// "flash <part> <image> [--no-verify] [--erase-all]": binds the part's
// driver to the host's chain device at AChainPosition and flashes the
// image. It refuses, before anything is written, when the binding fails or
// the device there does not answer the part's IDCODE, and reports the
// device it found. Answers 0 on success, 1 after a message on AErr for any
// failure.
int FlashVerb(TPluginLibrary& APlugin, TTestHost& AHost,
              const std::vector<std::wstring>& AArguments, std::FILE* AOut = stdout,
              std::FILE* AErr = stderr, unsigned AChainPosition = 0);

// The same on a driver already bound to the chip.
int FlashDriver(IDispatch& ADriver, const std::wstring& AImagePath, const TFlashOptions& AOptions,
                std::FILE* AOut = stdout, std::FILE* AErr = stderr);

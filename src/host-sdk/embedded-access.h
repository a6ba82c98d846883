#pragma once

#include "host-records.h"

#include <windows.h>

#include <string>

// The host's embedded-project services: the embedded-memory manager and the
// software-platform documents of embedded projects.

// The design workspace seen as the embedded-memory manager (the one host
// object answers both); empty when the host has no workspace.
IEmbeddedMemoryManager GetEmbeddedMemoryManager();

// The software-platform document of a platform file: the client's open
// document of that path, or else the file opened as an "EmbeddedStack"
// document when it exists. AStack is emptied first and stays empty for an
// empty name, a missing file or no client. Any error inside answers
// E_UNEXPECTED; no exception leaves.
HRESULT GetEmbeddedStack(const std::wstring& AFileName, IEmbeddedStack& AStack) noexcept;

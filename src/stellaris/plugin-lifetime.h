#pragma once

// When the plug-in lets go of what it holds of the host.

// Releases every host object and cached host answer the library keeps
// process-wide (client, client API, device families, host modules, virtual
// file system entries, the local identity). The next use binds afresh.
void ReleaseHostServices();

// Linux: what the registry file offers beyond the Win32 calls.
#pragma once

#include <windows.h>

// A value for this run only, as the saver's command-line options give them:
// queries under root\subkey see it in place of the stored one (and the key
// exists), while the file is never written with it.
void OverrideRegistryValue(HKEY root, LPCSTR subkey, LPCSTR name, DWORD type, const BYTE *data, DWORD size);

// Both programs run elevated from folders that other programs can write to
// (a downloads folder, the temporary folder). A DLL of a system name planted
// there must never load: the programs import statically only DLLs that the
// system loads from System32 alone (its KnownDLLs), restrict the search of
// every later load to System32 before anything else, and load any other
// system DLL by its full System32 path.
#pragma once

#include <windows.h>

// The first call of both programs. Where SetDefaultDllDirectories exists
// (Windows 8 on, Windows 7 with its loader update), every later load by name,
// the system's own included, searches System32 alone. Elsewhere the strongest
// that remains: the current folder is taken out of the search
// (SetDllDirectoryA("")) and SearchPath looks there last; the program's own
// folder stays searched, which is why nothing but KnownDLLs is imported and
// LoadSystemLibrary names the full path. Either way, the system DLLs that
// system components load later by name (the themes, and the blending helpers
// they delay-load) are loaded now by their full path: a loader that would
// still search the program's folder for them (the fallback's, or one that
// applies no default directories to delay-loaded imports) finds them loaded.
// Returns whether the search is restricted to System32.
bool RestrictDllSearch();

// An export of a loaded DLL as the function type it has (through a plain
// function pointer: a cast straight from FARPROC draws -Wcast-function-type).
template <class Fn> Fn DllExport(HMODULE hDll, const char* pszName)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(hDll, pszName)));
}

// A system DLL by its full path in System32 (for a 32-bit program on 64-bit
// Windows, the system maps that to its 32-bit folder); null when it cannot be
// loaded.
HMODULE LoadSystemLibrary(const char* pszName);

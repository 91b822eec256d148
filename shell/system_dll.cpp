#include "shell/system_dll.h"

#include "shell/comguard.h"
#include "shell/strutil.h"

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetSearchPathModeFn = BOOL(WINAPI*)(DWORD);

constexpr const char* kLoadedLater[] = {"uxtheme.dll", "msimg32.dll"};

// A kernel32 export that older systems lack. kernel32 is always loaded.
template <class Fn> Fn Kernel32Export(const char* pszName)
{
    return DllExport<Fn>(GetModuleHandleA("kernel32.dll"), pszName);
}

}  // namespace

bool RestrictDllSearch()
{
    auto pfnSet = Kernel32Export<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
    bool bRestricted = pfnSet && pfnSet(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!bRestricted) {
        SetDllDirectoryA("");
        if (auto pfnMode = Kernel32Export<SetSearchPathModeFn>("SetSearchPathMode"))
            pfnMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
    }
    for (const char* pszName : kLoadedLater)
        LoadSystemLibrary(pszName);
    return bRestricted;
}

HMODULE LoadSystemLibrary(const char* pszName)
{
    char szDir[MAX_PATH], szPath[MAX_PATH];
    UINT cch = GetSystemDirectoryA(szDir, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH || !PathJoin(szPath, sizeof szPath, szDir, pszName))
        return nullptr;
    // The DLL's own imports are then looked for beside it first.
    return LoadLibraryExA(szPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

const Ole32* LoadOle32()
{
    static Ole32 ole;
    if (ole.pfnCoUninitialize)
        return &ole;
    HMODULE hOle32 = LoadSystemLibrary("ole32.dll");
    if (!hOle32)
        return nullptr;
    ole.pfnCoInitialize = DllExport<decltype(ole.pfnCoInitialize)>(hOle32, "CoInitialize");
    ole.pfnCoCreateInstance = DllExport<decltype(ole.pfnCoCreateInstance)>(hOle32, "CoCreateInstance");
    ole.pfnCoUninitialize = ole.pfnCoInitialize && ole.pfnCoCreateInstance
                                ? DllExport<decltype(ole.pfnCoUninitialize)>(hOle32, "CoUninitialize")
                                : nullptr;
    return ole.pfnCoUninitialize ? &ole : nullptr;
}

#include "shell/system_dll.h"

#include "shell/strutil.h"

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetSearchPathModeFn = BOOL(WINAPI*)(DWORD);

// A kernel32 export that older systems lack. kernel32 is always loaded.
template <class Fn> Fn Kernel32Export(const char* pszName)
{
    FARPROC pfn = GetProcAddress(GetModuleHandleA("kernel32.dll"), pszName);
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(pfn));
}

}  // namespace

bool RestrictDllSearch()
{
    if (auto pfnSet = Kernel32Export<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories"))
        if (pfnSet(LOAD_LIBRARY_SEARCH_SYSTEM32))
            return true;
    SetDllDirectoryA("");
    if (auto pfnMode = Kernel32Export<SetSearchPathModeFn>("SetSearchPathMode"))
        pfnMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
    return false;
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

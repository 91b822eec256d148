// The DLL the planted_dlls row lays under system names where a program may
// look for them: loaded into any process, it leaves C:\QuarnelPlanted\NAME
// (its own file name) holding that process's path, and refuses to load.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hDll, DWORD dwReason, LPVOID)
{
    if (dwReason != DLL_PROCESS_ATTACH)
        return TRUE;
    char szDll[MAX_PATH] = "", szMarker[MAX_PATH + 20] = "C:\\QuarnelPlanted\\", szProcess[MAX_PATH] = "";
    GetModuleFileNameA(hDll, szDll, MAX_PATH);
    const char* pszName = strrchr(szDll, '\\') ? strrchr(szDll, '\\') + 1 : szDll;
    lstrcpynA(szMarker + lstrlenA(szMarker), pszName, MAX_PATH);
    DWORD cch = GetModuleFileNameA(nullptr, szProcess, MAX_PATH), cbWritten = 0;
    HANDLE hFile = CreateFileA(szMarker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (hFile != INVALID_HANDLE_VALUE) {
        WriteFile(hFile, szProcess, cch, &cbWritten, nullptr);
        CloseHandle(hFile);
    }
    return FALSE;
}

// The registry entries: the shell's folder locations read, the product's
// App Paths and Uninstall entries written, all under HKEY_LOCAL_MACHINE.
#include "shell/regguard.h"
#include "shell/wizard_state.h"
#include "shortcuts/shortcuts.h"

#include <cstring>

static_assert(SHORTCUT_TEXT_SIZE == WIZARD_TEXT_SIZE, "the rules size the wizard's buffers");
static_assert(VALUE_TYPE_SZ == REG_SZ, "the value table's type is the registry's");

int ReadShellFolder(char* szFolder, size_t cchFolder, const char* pszValueName)
{
    RegKeyGuard hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, szShellFoldersKey, 0, KEY_READ, hKey.Out()) != ERROR_SUCCESS)
        return 0;
    // Whatever type the value has, its bytes are taken as text; a value
    // longer than the buffer fails the query.
    char szData[SHORTCUT_TEXT_SIZE] = {};
    DWORD cbData = sizeof(szData);
    if (RegQueryValueExA(hKey, pszValueName, nullptr, nullptr, reinterpret_cast<BYTE*>(szData), &cbData) !=
        ERROR_SUCCESS)
        return 0;
    return ShellFolderFromValue(szFolder, cchFolder, szData, sizeof(szData));
}

// The values of the table that live under pszParentKey, in table order, in
// its product subkey (made when missing, kept with its other values).
static void WriteProductEntry(const char* pszParentKey, const char* pszProgramGroup)
{
    RegKeyGuard hParent;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszParentKey, 0, KEY_READ | KEY_WRITE, hParent.Out()) != ERROR_SUCCESS)
        return;
    RegKeyGuard hProduct;
    char szClass[] = "";
    if (RegCreateKeyExA(hParent, szProductKey, 0, szClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        hProduct.Out(), nullptr) != ERROR_SUCCESS)
        return;
    for (const RegistryValue& value : aRegistryValues) {
        char szData[SHORTCUT_TEXT_SIZE];
        if (std::strcmp(value.pszKey, pszParentKey) != 0 ||
            !ComposeValueData(szData, sizeof(szData), value.source, szInstallDir, pszProgramGroup))
            continue;
        // A refused write leaves that value missing; the next is still tried.
        RegSetValueExA(hProduct, value.pszName, 0, value.dwType, reinterpret_cast<const BYTE*>(szData),
                       ValueDataSize(szData));
    }
}

void WriteAppPathEntry() { WriteProductEntry(szAppPathsKey, ""); }

void WriteUninstallEntry(const char* pszProgramGroup) { WriteProductEntry(szUninstallKey, pszProgramGroup); }

#include "shell/common_controls.h"

#include "shell/system_dll.h"

namespace {

using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

}  // namespace

const CommonControls* LoadCommonControls()
{
    static CommonControls controls;
    static bool bLoaded;
    if (bLoaded)
        return &controls;
    HMODULE hComctl = LoadSystemLibrary("comctl32.dll");
    if (!hComctl)
        return nullptr;
    auto pfnInit = DllExport<InitCommonControlsExFn>(hComctl, "InitCommonControlsEx");
    controls.pfnImageListCreate = DllExport<decltype(controls.pfnImageListCreate)>(hComctl, "ImageList_Create");
    controls.pfnImageListReplaceIcon =
        DllExport<decltype(controls.pfnImageListReplaceIcon)>(hComctl, "ImageList_ReplaceIcon");
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    if (!pfnInit || !controls.pfnImageListCreate || !controls.pfnImageListReplaceIcon || !pfnInit(&icc)) {
        FreeLibrary(hComctl);
        return nullptr;
    }
    bLoaded = true;
    return &controls;
}

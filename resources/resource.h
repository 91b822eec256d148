// Numeric ids shared by the resource script and the code. Dialog templates
// and the page artwork are addressed by name ("IDD_AGREEMENT", "IDB_KORVEN"),
// so those names must never be defined here.
#pragma once

// Strings
#define IDS_LICENCE 150
#define IDS_CLASS_NAME 301

// Icons: the window class, then the browsers' folder, up and product images
#define IDI_SETUP 200
#define IDI_FOLDER 201
#define IDI_FOLDER_UP 202
#define IDI_FOLDER_PRODUCT 203

// The compressed payload (RT_RCDATA)
#define IDR_PAYLOAD 15734

// Commands of the main window and the copy page
#define IDM_CLOSE_SETUP 300
#define IDM_START_WIZARD 4444
#define IDM_START_COPY 4445

// Controls
#define IDC_BROWSE 100          // pages: "Browse"
#define IDC_TARGET_EDIT 101     // pages: the install directory / program group
#define IDC_RESULT_PATH 102     // directory browser: the directory that would result
#define IDC_FREE_SPACE 103      // directory browser: free-space line
#define IDC_DRIVE_COMBO 104     // directory browser: drives
#define IDC_FOLDER_NAME 105     // directory browser: product folder name
#define IDC_FOLDER_LIST 107     // directory browser: folders
#define IDC_DESKTOP_CHECK 110   // shortcut page: desktop shortcut
#define IDC_LICENCE_TEXT 151    // agreement page: licence text
#define IDC_GROUP_PATH 211      // shortcut-folder browser: folder that would result
#define IDC_GROUP_LIST 212      // shortcut-folder browser: folders
#define IDC_PROGRESS_BAR 214    // copy page: the bar is painted over this
#define IDC_COPY_STATUS 215     // copy page: status line

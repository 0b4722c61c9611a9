#include <cwchar>
#include <iterator>

#include "resource.h"
#include "viewer_icon.h"
#include "win32/resources.h"
#include "win32/winuser.h"

namespace {

// Command ids of the framework's edit commands and of File/New.
constexpr WORD ID_FILE_NEW = 57600;
constexpr WORD ID_EDIT_COPY = 57634;
constexpr WORD ID_EDIT_CUT = 57635;
constexpr WORD ID_EDIT_PASTE = 57637;
constexpr WORD ID_EDIT_UNDO = 57643;

// Accelerator flags and keys.
constexpr BYTE FVIRTKEY = 0x01;
constexpr BYTE FSHIFT = 0x04;
constexpr BYTE FCONTROL = 0x08;
constexpr BYTE FALT = 0x10;
constexpr WORD VK_BACK = 0x08;
constexpr WORD VK_INSERT = 0x2D;
constexpr WORD VK_DELETE = 0x2E;

// Dialog and control styles.
constexpr DWORD DS_FIXEDSYS = 0x0008;
constexpr DWORD DS_MODALFRAME = 0x0080;
constexpr DWORD DS_SHELLFONT = 0x0040 | DS_FIXEDSYS;
constexpr DWORD SS_ICON = 0x0003;
constexpr DWORD SS_NOPREFIX = 0x0080;

// The frame string: title, document name, file-new name, filter name, filter extension.
constexpr wchar_t kFrameString[] = L"Brevona\n\nBrevona\nBrevona Files (*.title)\n.title\n";
constexpr wchar_t kAppTitle[] = L"Brevona";
constexpr wchar_t kOleInitFailed[] =
    L"OLE initialization failed.  Make sure that the OLE libraries are the correct version.";
constexpr wchar_t kMakerName[] = L"Tirravel";

const MenuResourceItem kMainMenu[] = {
    {0, 0, L"&File"},
    {1, ID_FILE_NEW, L"&New"},
};

const ACCEL kAccelerators[] = {
    {FVIRTKEY | FCONTROL, 'C', ID_EDIT_COPY},  {FVIRTKEY | FCONTROL, VK_INSERT, ID_EDIT_COPY},
    {FVIRTKEY | FCONTROL, 'V', ID_EDIT_PASTE}, {FVIRTKEY | FSHIFT, VK_INSERT, ID_EDIT_PASTE},
    {FVIRTKEY | FCONTROL, 'X', ID_EDIT_CUT},   {FVIRTKEY | FSHIFT, VK_DELETE, ID_EDIT_CUT},
    {FVIRTKEY | FCONTROL, 'Z', ID_EDIT_UNDO},  {FVIRTKEY | FALT, VK_BACK, ID_EDIT_UNDO},
};

const DialogResourceControl kAboutControls[] = {
    {DialogControlKind::Icon, -1, nullptr, 128, 14, 14, 21, 20, WS_CHILD | WS_VISIBLE | SS_ICON},
    {DialogControlKind::Text, -1, L"Viewer, Version 1.0", 0, 42, 14, 114, 8,
     WS_CHILD | WS_VISIBLE | WS_GROUP | SS_NOPREFIX},
    {DialogControlKind::Text, -1, L"Copyright (C) Tirravel. All rights reserved.", 0, 42, 26, 114,
     8, WS_CHILD | WS_VISIBLE | WS_GROUP},
    {DialogControlKind::Button, IDOK, L"OK", 0, 113, 41, 50, 14,
     WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON},
};

const DialogResource kAboutBox = {
    L"About Viewer",
    170,
    62,
    L"MS Shell Dlg",
    8,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT,
    kAboutControls,
    static_cast<WORD>(std::size(kAboutControls)),
};

template <std::size_t N>
void RegisterString(UINT id, const wchar_t (&text)[N]) {
    // Without the terminator: a string resource is its units.
    Win32RegisterResource(0, RT_STRING, MAKEINTRESOURCEW(static_cast<WORD>(id)), text,
                          static_cast<DWORD>((N - 1) * sizeof(wchar_t)));
}

// Registered while static objects are constructed, before the program's entry point runs.
const bool g_registered = (RegisterViewerResources(), true);

}  // namespace

void RegisterViewerResources() {
    Win32RegisterResource(0, RT_GROUP_ICON, MAKEINTRESOURCEW(IDR_MAINFRAME), kViewerIcon,
                          static_cast<DWORD>(sizeof kViewerIcon));
    RegisterString(IDR_MAINFRAME, kFrameString);
    RegisterString(IDS_APP_TITLE, kAppTitle);
    RegisterString(IDP_OLE_INIT_FAILED, kOleInitFailed);
    RegisterString(IDS_MAKER_NAME, kMakerName);
    Win32RegisterResource(0, RT_MENU, MAKEINTRESOURCEW(IDR_MAINFRAME), kMainMenu,
                          static_cast<DWORD>(sizeof kMainMenu));
    Win32RegisterResource(0, RT_ACCELERATOR, MAKEINTRESOURCEW(IDR_MAINFRAME), kAccelerators,
                          static_cast<DWORD>(sizeof kAccelerators));
    Win32RegisterResource(0, RT_DIALOG, MAKEINTRESOURCEW(IDD_ABOUTBOX), &kAboutBox,
                          static_cast<DWORD>(sizeof kAboutBox));
}

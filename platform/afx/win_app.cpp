#include <glib.h>
#include <glib/gstdio.h>

#include <string>

#include "afx/afxext.h"
#include "afx/afxwin.h"
#include "win32/gtk_window.h"
#include "win32/trace.h"
#include "win32/wide_files.h"

namespace {

CWinApp* g_app = nullptr;

constexpr const char* kWorkspaceGroup = "Workspace";
constexpr const char* kPlacementKey = "WindowPlacement";

CStringW WideFromUtf8(const char* utf8) {
    gunichar* wide = g_utf8_to_ucs4(utf8 ? utf8 : "", -1, nullptr, nullptr, nullptr);
    CStringW s(wide ? reinterpret_cast<const wchar_t*>(wide) : L"");
    g_free(wide);
    return s;
}

}  // namespace

int CWinThread::Run() {
    if (m_pMainWnd)
        Win32RunMessageLoop();
    return ExitInstance();
}

CWinApp::CWinApp(LPCWSTR appName) : m_pszAppName(appName ? appName : L"") {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

int CWinApp::ExitInstance() {
    return 0;
}

void CWinApp::SetRegistryKey(LPCWSTR key) {
    m_pszRegistryKey = key ? key : L"";
    Win32Trace(("SetRegistryKey " + Win32PathToUtf8(m_pszRegistryKey)).c_str());
}

CRuntimeClass* CMFCToolTipCtrl::GetThisClass() {
    static CRuntimeClass runtimeClass{"CMFCToolTipCtrl"};
    return &runtimeClass;
}

void CTooltipManager::SetTooltipParams(UINT tooltipTypes, CRuntimeClass* tooltipClass,
                                       CMFCToolTipInfo* params) {
    m_types = tooltipTypes;
    m_class = tooltipClass;
    if (params)
        m_params = *params;
}

CWinAppEx::CWinAppEx(BOOL bResourceSmartUpdate) : m_bResourceSmartUpdate(bResourceSmartUpdate) {}

void CWinAppEx::EnableTaskbarInteraction(BOOL) {
    Win32Trace("EnableTaskbarInteraction");
}

BOOL CWinAppEx::InitTooltipManager() {
    if (!m_tooltipManager)
        m_tooltipManager = std::make_unique<CTooltipManager>();
    Win32Trace("InitTooltipManager");
    return TRUE;
}

CStringW CWinAppEx::GetSettingsPath() const {
    if (m_pszRegistryKey.IsEmpty())
        return CStringW();
    return WideFromUtf8(g_get_user_config_dir()) + L"/" + m_pszRegistryKey + L"/" + m_pszAppName +
           L"/settings.ini";
}

BOOL CWinAppEx::LoadState(CFrameWnd* frame) {
    const CStringW path = GetSettingsPath();
    if (path.IsEmpty() || !frame)
        return FALSE;
    GKeyFile* settings = g_key_file_new();
    BOOL loaded = g_key_file_load_from_file(settings, Win32PathToUtf8(path).c_str(),
                                            G_KEY_FILE_NONE, nullptr);
    if (loaded && m_bLoadWindowPlacement) {
        gsize count = 0;
        gint* placement =
            g_key_file_get_integer_list(settings, kWorkspaceGroup, kPlacementKey, &count, nullptr);
        if (placement && count == 4 && placement[2] > 0 && placement[3] > 0) {
            SetWindowPos(frame->m_hWnd, 0, placement[0], placement[1], placement[2], placement[3],
                         SWP_NOZORDER);
        }
        g_free(placement);
    }
    g_key_file_free(settings);
    Win32Trace(loaded ? "LoadState read" : "LoadState none");
    return loaded;
}

BOOL CWinAppEx::SaveState(CFrameWnd* frame) {
    const CStringW path = GetSettingsPath();
    RECT r{};
    if (path.IsEmpty() || !frame || !GetWindowRect(frame->m_hWnd, &r))
        return FALSE;
    const std::string file = Win32PathToUtf8(path);
    gchar* folder = g_path_get_dirname(file.c_str());
    g_mkdir_with_parents(folder, 0700);
    g_free(folder);
    GKeyFile* settings = g_key_file_new();
    g_key_file_load_from_file(settings, file.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
    gint placement[4] = {r.left, r.top, r.right - r.left, r.bottom - r.top};
    g_key_file_set_integer_list(settings, kWorkspaceGroup, kPlacementKey, placement, 4);
    const BOOL saved = g_key_file_save_to_file(settings, file.c_str(), nullptr);
    g_key_file_free(settings);
    Win32Trace(saved ? "SaveState" : "SaveState failed");
    return saved;
}

CWinApp* AfxGetApp() {
    return g_app;
}

CWnd* AfxGetMainWnd() {
    return g_app ? g_app->GetMainWnd() : nullptr;
}

// Every resource and every module here is the executable's.
HINSTANCE AfxGetInstanceHandle() {
    return 0;
}
HINSTANCE AfxGetResourceHandle() {
    return 0;
}

int AfxMessageBox(LPCWSTR text, UINT type) {
    CWnd* main = AfxGetMainWnd();
    return MessageBoxW(main ? main->m_hWnd : 0, text, g_app ? g_app->m_pszAppName.GetString() : L"",
                       type);
}

int AfxMessageBox(UINT idPrompt, UINT type) {
    CStringW text;
    text.LoadString(idPrompt);
    return AfxMessageBox(text.GetString(), type);
}

BOOL AfxOleInit() {
    Win32Trace("AfxOleInit");
    return TRUE;
}

void AfxOleTerm(BOOL) {
    Win32Trace("AfxOleTerm");
}

void AfxEnableControlContainer() {
    Win32Trace("AfxEnableControlContainer");
}

// The extended application and frame classes, the tooltip manager and CDialogEx.
#pragma once

#include <memory>

#include "afx/afxwin.h"

class CMFCToolTipInfo {
  public:
    BOOL m_bVislManagerTheme = FALSE;
};

class CMFCToolTipCtrl {
  public:
    static CRuntimeClass* GetThisClass();
};

// The toolkit shows tooltips itself; the manager keeps the parameters it is given.
class CTooltipManager {
  public:
    void SetTooltipParams(UINT tooltipTypes, CRuntimeClass* tooltipClass, CMFCToolTipInfo* params);

  private:
    UINT m_types = 0;
    CRuntimeClass* m_class = nullptr;
    CMFCToolTipInfo m_params;
};

class CWinAppEx : public CWinApp {
  public:
    explicit CWinAppEx(BOOL bResourceSmartUpdate = FALSE);

    // No taskbar of its own here: succeeds and says so in the platform trace.
    void EnableTaskbarInteraction(BOOL enable = TRUE);
    BOOL InitTooltipManager();
    CTooltipManager* GetTooltipManager() { return m_tooltipManager.get(); }

    // The workspace state in the per-user settings ("Workspace" group of the settings file
    // under <config folder>/<registry key>/<application title>): read when the main frame
    // is loaded, written when it closes. The saved window placement is applied only while
    // m_bLoadWindowPlacement is set.
    virtual BOOL LoadState(CFrameWnd* frame);
    virtual BOOL SaveState(CFrameWnd* frame);
    // The settings file; empty before SetRegistryKey.
    CStringW GetSettingsPath() const;

    BOOL m_bResourceSmartUpdate;  // no toolbars to update here: kept, not used
    BOOL m_bLoadWindowPlacement = TRUE;

  private:
    std::unique_ptr<CTooltipManager> m_tooltipManager;
};

class CFrameWndEx : public CFrameWnd {
  public:
    // The frame, then the workspace state of the application object.
    BOOL LoadFrame(UINT nIDResource, DWORD style, CWnd* pParentWnd,
                   CCreateContext* pContext) override;

  protected:
    void OnClose() override;  // saves the workspace state, then destroys the window
};

class CDialogEx : public CDialog {
  public:
    using CDialog::CDialog;
};

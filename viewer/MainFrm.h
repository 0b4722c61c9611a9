// The main window: a frame without menu, toolbar or status bar whose client area the
// browser's window covers. It owns the view, keeps the browser sized to the client area
// and gives it the keyboard focus.
#pragma once

#include "CefView.h"
#include "afx/afxext.h"
#include "cef/cef_task.h"

class CMainFrame : public CFrameWndEx {
  public:
    CMainFrame();
    ~CMainFrame() override;

    CRuntimeClass* GetRuntimeClass() const override;
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;

    // Gives the browser's window the size cx x cy at the client area's origin, and tells the
    // browser, which lays its page out again from the loop: nothing runs inside this call
    // (it is made from the size handler). UI thread only.
    void ResizeBrowser(int cx, int cy);

    CCefView* m_pCefView;  // UI thread only; owned

  protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnSetFocus(CWnd* pOldWnd) override;
};

// A resize carried over to the UI thread.
class CResizeTask : public CefRefCounted<CefTask> {
  public:
    CResizeTask(int cx, int cy) : m_cx(cx), m_cy(cy) {}
    CResizeTask(const CResizeTask&) = delete;
    CResizeTask& operator=(const CResizeTask&) = delete;

    // CefTask methods:
    void Execute() override;

  private:
    // Set at construction and only read after it: any thread.
    int m_cx;
    int m_cy;
};

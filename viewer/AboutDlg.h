#pragma once

#include "afx/afxext.h"

// The about box: dialog 100, no parent, no handlers of its own.
class CAboutDlg : public CDialogEx {
  public:
    CAboutDlg();
};

#include "AboutDlg.h"

#include "resource.h"

CAboutDlg::CAboutDlg() : CDialogEx(IDD_ABOUTBOX, nullptr) {}

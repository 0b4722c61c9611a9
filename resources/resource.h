// Ids of the viewer's resources.
#pragma once

#include "win32/types.h"

constexpr UINT IDR_MAINFRAME = 128;        // icon, frame string, menu, accelerators
constexpr UINT IDD_ABOUTBOX = 100;         // the about dialog
constexpr UINT IDP_OLE_INIT_FAILED = 100;  // string: OLE could not be initialised
constexpr UINT IDS_MAKER_NAME = 32272;     // string: the maker, the settings key
constexpr UINT IDS_APP_TITLE = 57344;      // string: the framework's application title

// Registers the resource table with the executable's module (0). It is registered at
// start-up already; tests call it again after removing the module's resources.
void RegisterViewerResources();

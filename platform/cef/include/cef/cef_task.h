// Work posted to a thread of the layer. Only the UI thread exists here: the main thread,
// whose loop is CefRunMessageLoop.
#pragma once

#include "cef/cef_base.h"

enum CefThreadId {
    TID_UI = 0,
};

class CefTask : public virtual CefBaseRefCounted {
  public:
    virtual void Execute() = 0;
};

// Queues the task on the thread's loop; the layer holds a reference until it has run.
// False for a thread that does not exist or a null task.
bool CefPostTask(CefThreadId threadId, CefRefPtr<CefTask> task);
bool CefCurrentlyOn(CefThreadId threadId);

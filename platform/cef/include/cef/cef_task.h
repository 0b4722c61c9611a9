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

// Queues the task on the thread's loop; the layer holds a reference until it has run, or
// until the loop drops it unrun. False for a thread that does not exist or a null task.
bool CefPostTask(CefThreadId threadId, CefRefPtr<CefTask> task);
bool CefCurrentlyOn(CefThreadId threadId);

// Reports a call of function off the UI thread and ends the process.
[[noreturn]] void CefUiThreadRequired(const char* function);

// The check of an operation that the UI thread alone may run: off that thread a build with
// checks (without NDEBUG) ends at once, naming the operation; a release build does not check.
inline void CefRequireUiThread(const char* function = __builtin_FUNCTION()) {
#ifndef NDEBUG
    if (!CefCurrentlyOn(TID_UI))
        CefUiThreadRequired(function);
#else
    static_cast<void>(function);
#endif
}

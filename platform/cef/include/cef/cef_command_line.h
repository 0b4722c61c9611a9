// A process's command line: the program, its switches ("--name" or "--name=value") in the
// order they were appended, and its other arguments.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cef/cef_base.h"
#include "cef/cef_string.h"

class CefCommandLine : public CefRefCounted<> {
  public:
    static CefRefPtr<CefCommandLine> CreateCommandLine();
    // The browser process's own command line (set by CefExecuteProcess / CefInitialize).
    static CefRefPtr<CefCommandLine> GetGlobalCommandLine();

    void InitFromArgv(int argc, const char* const* argv);

    CefString GetProgram() const { return program_; }
    void SetProgram(const CefString& program) { program_ = program; }
    bool HasSwitches() const { return !switches_.empty(); }
    bool HasSwitch(const CefString& name) const;
    CefString GetSwitchValue(const CefString& name) const;  // the last value given
    void AppendSwitch(const CefString& name);
    void AppendSwitchWithValue(const CefString& name, const CefString& value);
    // Switches in order: name and value (empty for a switch without one).
    const std::vector<std::pair<CefString, CefString>>& GetSwitchList() const { return switches_; }
    void AppendArgument(const CefString& argument) { arguments_.push_back(argument); }
    const std::vector<CefString>& GetArguments() const { return arguments_; }

  private:
    CefString program_;
    std::vector<std::pair<CefString, CefString>> switches_;
    std::vector<CefString> arguments_;
};

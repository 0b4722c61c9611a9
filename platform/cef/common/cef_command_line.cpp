#include "cef/cef_command_line.h"

#include <string_view>

CefRefPtr<CefCommandLine> CefCommandLine::CreateCommandLine() {
    return new CefCommandLine();
}

CefRefPtr<CefCommandLine> CefCommandLine::GetGlobalCommandLine() {
    static CefRefPtr<CefCommandLine> global = CreateCommandLine();
    return global;
}

// "--name=value" and "--name" are switches; everything after a bare "--" is an argument.
void CefCommandLine::InitFromArgv(int argc, const char* const* argv) {
    switches_.clear();
    arguments_.clear();
    program_ = argc > 0 && argv[0] ? CefString(argv[0]) : CefString();
    bool onlyArguments = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] ? argv[i] : "";
        if (!onlyArguments && arg == "--") {
            onlyArguments = true;
        } else if (!onlyArguments && arg.size() > 2 && arg.substr(0, 2) == "--") {
            const std::string_view body = arg.substr(2);
            const std::size_t eq = body.find('=');
            if (eq == std::string_view::npos) {
                AppendSwitch(std::string(body));
            } else {
                AppendSwitchWithValue(std::string(body.substr(0, eq)),
                                      std::string(body.substr(eq + 1)));
            }
        } else {
            AppendArgument(std::string(arg));
        }
    }
}

bool CefCommandLine::HasSwitch(const CefString& name) const {
    for (const auto& entry : switches_) {
        if (entry.first == name)
            return true;
    }
    return false;
}

CefString CefCommandLine::GetSwitchValue(const CefString& name) const {
    CefString value;
    for (const auto& entry : switches_) {
        if (entry.first == name)
            value = entry.second;
    }
    return value;
}

void CefCommandLine::AppendSwitch(const CefString& name) {
    switches_.emplace_back(name, CefString());
}

void CefCommandLine::AppendSwitchWithValue(const CefString& name, const CefString& value) {
    switches_.emplace_back(name, value);
}

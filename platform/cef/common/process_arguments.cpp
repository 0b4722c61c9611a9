#include "process_arguments.h"

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The arguments are NUL-terminated, one after the other.
void InitFromProcessArguments(CefCommandLine& commandLine) {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string raw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> args;
    for (std::size_t start = 0; start < raw.size();) {
        const std::size_t end = raw.find('\0', start);
        args.push_back(
            raw.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    std::vector<const char*> argv;
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    commandLine.InitFromArgv(static_cast<int>(argv.size()), argv.data());
}

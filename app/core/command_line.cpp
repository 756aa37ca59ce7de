#include "app/core/command_line.h"

#include <strings.h>

namespace qd40::app {

namespace {
bool sameWord(const std::string& a, const char* b) {
    return ::strcasecmp(a.c_str(), b) == 0;
}

std::vector<std::string> tokens(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    for (const std::string& arg : args) {
        std::string token;
        for (char c : arg) {
            if (c == '-' || c == '/' || c == ' ' || c == '\t') {
                if (!token.empty())
                    out.push_back(std::move(token));
                token.clear();
            } else {
                token += c;
            }
        }
        if (!token.empty())
            out.push_back(std::move(token));
    }
    return out;
}

constexpr const char* kSwitches[] = {"UnregServer", "RegServer", "StartOpcServer"};

// An argument is a switch when it starts with "-" or, once its leading
// separators are dropped, is one of ours ("/RegServer", "RegServer"); any
// other argument, an absolute path among them, names a document.
bool isSwitch(const std::string& arg) {
    if (!arg.empty() && arg[0] == '-')
        return true;
    const size_t start = arg.find_first_not_of("-/ \t");
    if (start == std::string::npos)
        return !arg.empty();
    const std::string word = arg.substr(start, arg.find_last_not_of(" \t") + 1 - start);
    for (const char* s : kSwitches)
        if (sameWord(word, s))
            return true;
    return false;
}
}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    std::vector<std::string> switches;
    for (const std::string& arg : args) {
        if (isSwitch(arg))
            switches.push_back(arg);
        else if (cl.documentPath.empty())
            cl.documentPath = arg;
    }
    for (const std::string& token : tokens(switches)) {
        if (sameWord(token, "UnregServer")) {
            cl.unregServer = true;
            break;
        }
        if (sameWord(token, "RegServer")) {
            cl.regServer = true;
            break;
        }
        if (sameWord(token, "StartOpcServer"))
            cl.startOpcServer = true;
    }
    return cl;
}

}  // namespace qd40::app

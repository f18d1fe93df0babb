#include "debugger/gdb_command.h"

namespace korl {

namespace {

std::string Slashes(std::string_view path) {
    std::string out(path);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

} // namespace

std::string FormatGdbCommand(GdbCommand code, std::string_view argument) {
    std::string arg(argument.substr(0, kMaxCommandArgument));
    for (char& c : arg)
        if (c == '\r' || c == '\n') c = ' ';
    switch (code) {
        case CMD_RUN:
            return "-exec-run\r\n";
        case CMD_EXIT:
            return "-gdb-exit\r\n";
        case CMD_BREAK_INSERT:
            return "-break-insert " + arg + "\r\n";
        case CMD_BREAK_DELETE:
            return "-break-delete " + arg + "\r\n";
        case CMD_CONTINUE:
            return "-exec-continue\r\n";
        case CMD_STEP:
            return "-exec-step\r\n";
        case CMD_NEXT:
            return "-exec-next\r\n";
        case CMD_FINISH:
            return "-exec-finish\r\n";
        case CMD_UNTIL:
            return "-exec-until " + arg + "\r\n";
        case CMD_EVALUATE:
            return "-data-evaluate-expression " + arg + "\r\n";
        case CMD_STACK_LIST:
            return "-stack-list-frames\r\n";
    }
    return {};
}

GdbState StateForCommand(GdbCommand code) {
    switch (code) {
        case CMD_EXIT:
            return STATE_EXIT;
        case CMD_BREAK_INSERT:
            return STATE_BREAK_INSERT;
        case CMD_BREAK_DELETE:
            return STATE_BREAK_DELETE;
        case CMD_EVALUATE:
            return STATE_EVALUAE_EXPRESSION;
        case CMD_STACK_LIST:
            return STATE_STACK_LIST;
        default:
            return STATE_EXEC;
    }
}

bool IsExecCommand(GdbCommand code) { return StateForCommand(code) == STATE_EXEC; }

std::string BreakpointLocation(std::string_view file, int line) {
    std::string path = Slashes(file);
    if (path.find(' ') != std::string::npos) path = "\\\"" + path + "\\\"";
    return "\"" + path + ":" + std::to_string(line) + "\"";
}

std::string UntilLocation(std::string_view file, int line) {
    return "\"" + Slashes(file) + ":" + std::to_string(line) + "\"";
}

std::string QuoteExpression(std::string_view expression) {
    bool bare = !expression.empty() && expression[0] != '-' && expression[0] != '"';
    for (char c : expression)
        if (c == ' ' || c == '\t' || c == '"' || c == '\\' || c == '\'' || c == '\r' || c == '\n')
            bare = false;
    if (bare) return std::string(expression);
    std::string out = "\"";
    for (char c : expression) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace korl

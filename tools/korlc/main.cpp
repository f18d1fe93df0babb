#include "command.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "korl_version.h"

namespace korlc {

std::vector<Command>& registry() {
    static std::vector<Command> commands;
    return commands;
}

bool wantsHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) return true;
    return false;
}

} // namespace korlc

static void usage(FILE* out) {
    auto cmds = korlc::registry();
    std::sort(cmds.begin(), cmds.end(), [](const korlc::Command& a, const korlc::Command& b) {
        return std::strcmp(a.name, b.name) < 0;
    });
    std::fprintf(out,
                 "usage: korlc COMMAND [ARGS...]\n"
                 "Korl's project, build, analysis and waveform tools without windows.\n\n"
                 "commands:\n");
    for (const auto& c : cmds) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fprintf(out, "\n'korlc COMMAND --help' describes one command.\n");
}

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0) {
        usage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("Korl %s\n", KORL_VERSION);
        return 0;
    }
    for (const auto& c : korlc::registry())
        if (std::strcmp(c.name, argv[1]) == 0) return c.run(argc - 1, argv + 1);
    std::fprintf(stderr, "korlc: unknown command '%s'\n", argv[1]);
    usage(stderr);
    return 2;
}

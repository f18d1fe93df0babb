#pragma once
// Help > About: Korl's version and the versions of the tools it found.
#include <QString>

namespace korl {
struct ToolLayout;
}

struct Korl_ToolVersions {
    QString qt;
    QString systemc;
    QString make;
    QString compiler;
    QString debugger;
};

// Asks make, g++ and gdb for their versions (at once, at most a few seconds
// in all) and reads SystemC's from its header. The first call asks; later
// calls answer from memory.
const Korl_ToolVersions& Korl_FoundToolVersions(const korl::ToolLayout& tools);

// The version in the first line a tool prints for --version ("GNU Make 4.3",
// "g++ (Debian 12.2.0-14) 12.2.0"): its last word that starts with a digit.
QString Korl_VersionFromFirstLine(const QString& output);
// "2.3.4" from the text of SystemC's sc_ver.h; empty when it names none.
QString Korl_SystemCVersionFromHeader(const QString& header);

// The About box's text.
QString Korl_AboutText(const korl::ToolLayout& tools);

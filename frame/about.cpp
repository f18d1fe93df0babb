#include "frame/about.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <memory>

#include "base/qt/strings.h"
#include "project/toollayout.h"

#ifndef KORL_VERSION_TEXT
#define KORL_VERSION_TEXT "unknown"
#endif

using korl::Q;

QString Korl_VersionFromFirstLine(const QString& output) {
    const QString first = output.section('\n', 0, 0).trimmed();
    const QStringList words = first.split(' ', Qt::SkipEmptyParts);
    for (auto it = words.rbegin(); it != words.rend(); ++it)
        if (!it->isEmpty() && it->front().isDigit()) return *it;
    return first;
}

QString Korl_SystemCVersionFromHeader(const QString& header) {
    QStringList parts;
    for (const char* name : {"SC_VERSION_MAJOR", "SC_VERSION_MINOR", "SC_VERSION_PATCH"}) {
        const QRegularExpression re(QString("#\\s*define\\s+%1\\s+(\\d+)").arg(name));
        const auto m = re.match(header);
        if (!m.hasMatch()) return QString();
        parts << m.captured(1);
    }
    return parts.join('.');
}

const Korl_ToolVersions& Korl_FoundToolVersions(const korl::ToolLayout& tools) {
    static std::unique_ptr<Korl_ToolVersions> found;
    if (found) return *found;
    found = std::make_unique<Korl_ToolVersions>();
    found->qt = qVersion();

    QFile header(Q(tools.systemcInclude) + "/sysc/kernel/sc_ver.h");
    if (header.size() < (1 << 20) && header.open(QIODevice::ReadOnly))
        found->systemc = Korl_SystemCVersionFromHeader(QString::fromUtf8(header.readAll()));

    // All three at once, bounded together: a tool that hangs costs seconds, not the session.
    struct Ask {
        QString program;
        QString* answer;
        std::unique_ptr<QProcess> process;
    };
    Ask asks[] = {{Q(tools.make), &found->make, nullptr},
                  {Q(tools.compiler), &found->compiler, nullptr},
                  {Q(tools.debugger), &found->debugger, nullptr}};
    for (Ask& a : asks) {
        if (a.program.isEmpty()) continue;
        a.process = std::make_unique<QProcess>();
        a.process->setProcessChannelMode(QProcess::MergedChannels);
        a.process->start(a.program, {"--version"});
    }
    QDeadlineTimer deadline(3000);
    for (Ask& a : asks) {
        if (!a.process) continue;
        if (a.process->waitForFinished(int(std::max<qint64>(1, deadline.remainingTime()))) &&
            a.process->exitStatus() == QProcess::NormalExit) {
            *a.answer = Korl_VersionFromFirstLine(QString::fromUtf8(a.process->readAll().left(4096)));
        } else {
            a.process->kill();
            a.process->waitForFinished(200);
        }
    }
    return *found;
}

QString Korl_AboutText(const korl::ToolLayout& tools) {
    const Korl_ToolVersions& v = Korl_FoundToolVersions(tools);
    auto line = [](const QString& name, const QString& version, const std::string& path = {}) {
        QString text = name + " " + (version.isEmpty() ? QString("not found") : version);
        if (!path.empty() && !version.isEmpty()) text += " (" + Q(path) + ")";
        return text + "\n";
    };
    return QString("Korl %1\n").arg(KORL_VERSION_TEXT) +
           "An IDE for SystemC hardware models: projects, editing, building, debugging, design "
           "browsing and waveforms.\n\n" +
           line("Qt", v.qt) + line("SystemC", v.systemc, tools.systemcInclude) +
           line("make", v.make, tools.make) + line("g++", v.compiler, tools.compiler) +
           line("gdb", v.debugger, tools.debugger);
}

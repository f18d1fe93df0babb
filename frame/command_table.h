#pragma once
#include <QKeySequence>
#include <QList>
#include <QString>

namespace korl {

// One menu command: its id, menu text (the part after a tab is the hint the
// menu shows), the keys that trigger it and the toolbar icon name.
struct CommandInfo {
    int id;
    const char* text;
    QList<QKeySequence> keys;
    const char* icon; // nullptr: no toolbar icon
    const char* tip;  // status-bar prompt
};

const QList<CommandInfo>& CommandTable();
const CommandInfo* FindCommand(int id);

// Menu text without the hint and without '&', for tooltips and messages.
QString PlainCommandName(int id);

// File commands the active child document carries out itself (Save, Print, ...).
bool IsDocumentCommand(int id);
// Commands the frame carries out itself; every other id goes to the active child.
bool IsFrameCommand(int id);
bool IsEditCommand(int id);
bool IsWaveCommand(int id);

} // namespace korl

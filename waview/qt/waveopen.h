#pragma once
// How the shell opens dumps in wave windows, and the snapshot program.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QString>
#include <QStringList>

class QMdiArea;
class QProgressDialog;
class QWidget;
class Waview_ChildFrame;

struct Waview_ConvertOptions {
    int progressDelayMs = 500; // a longer conversion shows a progress dialog
    bool showMessages = true;  // the converter's boxes; off: only returned
    // Called once the progress dialog is shown (tests cancel through it).
    std::function<void(QProgressDialog&)> onProgressShown;
};

// A box to show: title and text (the converter's "Error", "Parser Error").
struct Waview_OpenMessage {
    std::string title;
    std::string text;
};

class Waview_FileManager;

struct Waview_ConvertResult {
    bool ok = false;
    bool cancelled = false;
    std::string wavePath; // where Save writes; nothing is written on import
    std::shared_ptr<Waview_FileManager> document;
    std::string warnings;                     // what was skipped or approximated ("" for none)
    std::vector<Waview_OpenMessage> messages; // boxes, and why it failed otherwise
};

// Imports a dump into a document on a worker thread while the GUI stays
// alive. No wave file is written (Save writes it).
Waview_ConvertResult ConvertDump(const QString& dumpPath, QWidget* messageParent,
                                 const Waview_ConvertOptions& options = {});

// Open VCD File, `korl FILE.vcd` and a dropped dump: converts and shows the
// dump; a dump already open has its window activated and reloaded. Null when
// conversion failed or was cancelled.
Waview_ChildFrame* OpenVcdFile(QMdiArea* area, const QString& path, QWidget* messageParent);

// `korl --snapshot FILE.vcd -o PICTURE.png [--window FROM:TO] [--cursor T]...
// [--size WxH]`: returns the exit status, or -1 when argv is no snapshot
// request. Creates its own offscreen application.
int WaveSnapshotMain(int argc, char** argv);
// The snapshot itself, inside a running application.
int WaveSnapshot(const QStringList& args, QString* error);

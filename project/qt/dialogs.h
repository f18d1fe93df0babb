#pragma once
// Message boxes and file dialogs of the window layer, each behind a hook so
// that tests can answer them without a modal loop.
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

namespace korl {

// A file-dialog filter: what the list shows and the patterns it selects.
struct FileFilter {
    QString description; // e.g. "Project Files (*.k1)"
    QString patterns;    // e.g. "*.k1" or "*.c;*.cpp" (';' separated)
};

struct FileDialogRequest {
    enum Kind { OpenOne, OpenMany, Save } kind = OpenOne;
    QString caption;
    QString directory;
    QString initialName;
    QList<FileFilter> filters;
    bool overwritePrompt = true;
};

struct FileDialogResult {
    bool accepted = false;
    QStringList files;   // absolute paths
    int filterIndex = 0; // the filter selected when the dialog closed
};

using FileDialogHook = std::function<FileDialogResult(const FileDialogRequest&)>;
void SetFileDialogHook(FileDialogHook hook);
FileDialogResult RunFileDialog(QWidget* parent, const FileDialogRequest& request);

struct MessageRequest {
    QString caption;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon;
    // A check box under the text ("Do not ask again") when not empty; its
    // state goes to *checked.
    QString checkBox;
    bool* checked = nullptr;
};
using MessageBoxHook = std::function<QMessageBox::StandardButton(const MessageRequest&)>;
void SetMessageBoxHook(MessageBoxHook hook);

// A message box with the caption "Korl" unless another is given.
QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        QMessageBox::Icon icon = QMessageBox::Information,
                                        const QString& caption = QStringLiteral("Korl"));

// A Yes/No question with "Do not ask again": once answered Yes with the box
// ticked, the setting `settingsKey` keeps the answer and the question is not
// asked any more (true = Yes).
bool AskUnlessSuppressed(QWidget* parent, const QString& text, const QString& settingsKey);

// The filter lists of the project and file dialogs.
QList<FileFilter> ProjectFileFilters();
QList<FileFilter> SourceFileFilters(); // File Open, Save As
QList<FileFilter> AddExistingFilters();
QList<FileFilter> AddNewFileFilters();
QList<FileFilter> VcdFileFilters();

} // namespace korl

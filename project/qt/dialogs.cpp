#include "project/qt/dialogs.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QSettings>

namespace korl {
namespace {

FileDialogHook& DialogHook() {
    static FileDialogHook hook;
    return hook;
}

MessageBoxHook& BoxHook() {
    static MessageBoxHook hook;
    return hook;
}

// Qt's dialogs read the patterns between the parentheses separated by blanks.
QString QtFilter(const FileFilter& f) {
    QString name = f.description;
    const int paren = name.lastIndexOf(" (");
    if (paren > 0 && name.endsWith(')')) name.truncate(paren);
    const QStringList pats = f.patterns.split(';', Qt::SkipEmptyParts);
    return name + " (" + pats.join(' ') + ")";
}

} // namespace

void SetFileDialogHook(FileDialogHook hook) { DialogHook() = std::move(hook); }
void SetMessageBoxHook(MessageBoxHook hook) { BoxHook() = std::move(hook); }

FileDialogResult RunFileDialog(QWidget* parent, const FileDialogRequest& request) {
    if (DialogHook()) return DialogHook()(request);
    QFileDialog dlg(parent, request.caption, request.directory);
    QStringList names;
    for (const auto& f : request.filters) names << QtFilter(f);
    dlg.setNameFilters(names);
    switch (request.kind) {
        case FileDialogRequest::OpenOne:
            dlg.setFileMode(QFileDialog::ExistingFile);
            dlg.setAcceptMode(QFileDialog::AcceptOpen);
            break;
        case FileDialogRequest::OpenMany:
            dlg.setFileMode(QFileDialog::ExistingFiles);
            dlg.setAcceptMode(QFileDialog::AcceptOpen);
            break;
        case FileDialogRequest::Save:
            dlg.setFileMode(QFileDialog::AnyFile);
            dlg.setAcceptMode(QFileDialog::AcceptSave);
            if (!request.overwritePrompt) dlg.setOption(QFileDialog::DontConfirmOverwrite);
            break;
    }
    if (!request.initialName.isEmpty()) dlg.selectFile(request.initialName);
    FileDialogResult r;
    if (dlg.exec() != QDialog::Accepted) return r;
    r.accepted = true;
    r.files = dlg.selectedFiles();
    r.filterIndex = std::max<qsizetype>(0, names.indexOf(dlg.selectedNameFilter()));
    return r;
}

QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text,
                                        QMessageBox::StandardButtons buttons, QMessageBox::Icon icon,
                                        const QString& caption) {
    if (BoxHook()) return BoxHook()({caption, text, buttons, icon});
    QMessageBox box(icon, caption, text, buttons, parent);
    return QMessageBox::StandardButton(box.exec());
}

bool AskUnlessSuppressed(QWidget* parent, const QString& text, const QString& settingsKey) {
    QSettings settings;
    if (settings.value(settingsKey, false).toBool()) return true;
    bool dontAsk = false;
    MessageRequest r{QStringLiteral("Korl"),
                     text,
                     QMessageBox::Yes | QMessageBox::No,
                     QMessageBox::Question,
                     QStringLiteral("Do not ask again"),
                     &dontAsk};
    QMessageBox::StandardButton answer;
    if (BoxHook()) {
        answer = BoxHook()(r);
    } else {
        QMessageBox box(r.icon, r.caption, r.text, r.buttons, parent);
        box.setDefaultButton(QMessageBox::Yes);
        auto* check = new QCheckBox(r.checkBox, &box);
        box.setCheckBox(check);
        answer = QMessageBox::StandardButton(box.exec());
        dontAsk = check->isChecked();
    }
    const bool yes = answer == QMessageBox::Yes;
    if (yes && dontAsk) settings.setValue(settingsKey, true);
    return yes;
}

QList<FileFilter> ProjectFileFilters() { return {{"Project Files (*.k1)", "*.k1"}}; }

QList<FileFilter> SourceFileFilters() {
    return {{"C/C++ Files (*.c;*.cc;*.cpp;*cxx;*.h;*.hpp;*.hxx)", "*.c;*.cc;*.cpp;*cxx;*.h;*.hpp;*.hxx"},
            {"All Files (*.*)", "*"}};
}

QList<FileFilter> AddExistingFilters() {
    return {{"Source/Header Files (*.c;*.cc;*.cpp;*h;*hpp)", "*.c;*.cc;*.cpp;*h;*hpp;"},
            {"All Files (*.*)", "*"}};
}

QList<FileFilter> AddNewFileFilters() {
    return {{"Source Files (*.cpp)", "*.cpp;"}, {"Header Files (*.h)", "*.h"}};
}

QList<FileFilter> VcdFileFilters() { return {{"VCD Files (*.vcd)", "*.vcd"}}; }

} // namespace korl

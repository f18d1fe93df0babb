#include "editor/editor_prompts.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

Korl_EditorPrompts Defaults() {
    Korl_EditorPrompts p;
    p.askYesNo = [](QWidget* parent, const QString& text) {
        return QMessageBox::question(parent, QStringLiteral("Korl"), text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::Yes) == QMessageBox::Yes;
    };
    p.askSaveChanges = [](QWidget* parent, const QString& text, const QString& fileName) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Korl"), text,
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
        box.setInformativeText(fileName);
        box.setDefaultButton(QMessageBox::Save);
        box.setEscapeButton(QMessageBox::Cancel);
        switch (box.exec()) {
            case QMessageBox::Save:
                return Korl_SaveAnswer::Save;
            case QMessageBox::Discard:
                return Korl_SaveAnswer::Discard;
            default:
                return Korl_SaveAnswer::Cancel;
        }
    };
    p.warn = [](QWidget* parent, const QString& text) {
        QMessageBox::warning(parent, QStringLiteral("Korl"), text);
    };
    p.inform = [](QWidget* parent, const QString& text) {
        QMessageBox::information(parent, QStringLiteral("Korl"), text);
    };
    p.saveFileName = [](QWidget* parent, const QString& initialPath) {
        QFileDialog dialog(parent, QStringLiteral("Save As"), initialPath, Korl_SourceFileFilter());
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
        if (!initialPath.isEmpty()) dialog.selectFile(initialPath);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
        return dialog.selectedFiles().first();
    };
    p.askLine = [](QWidget* parent, int currentLine, int maxLine) {
        bool ok = false;
        const int line = QInputDialog::getInt(parent, QStringLiteral("Go To Line"),
                                              QStringLiteral("Line number (1 - %1):").arg(maxLine),
                                              currentLine, 1, maxLine, 1, &ok);
        return ok ? line : 0;
    };
    return p;
}

Korl_EditorPrompts& Current() {
    static Korl_EditorPrompts p = Defaults();
    return p;
}

} // namespace

const Korl_EditorPrompts& Korl_GetEditorPrompts() { return Current(); }

void Korl_SetEditorPrompts(const Korl_EditorPrompts& prompts) {
    Korl_EditorPrompts d = Defaults();
    Korl_EditorPrompts& c = Current();
    c.askYesNo = prompts.askYesNo ? prompts.askYesNo : d.askYesNo;
    c.askSaveChanges = prompts.askSaveChanges ? prompts.askSaveChanges : d.askSaveChanges;
    // A caller that answers only yes/no questions decides Save or Discard with that answer.
    if (!prompts.askSaveChanges && prompts.askYesNo) {
        c.askSaveChanges = [yesNo = prompts.askYesNo](QWidget* parent, const QString& text, const QString&) {
            return yesNo(parent, text) ? Korl_SaveAnswer::Save : Korl_SaveAnswer::Discard;
        };
    }
    c.warn = prompts.warn ? prompts.warn : d.warn;
    c.inform = prompts.inform ? prompts.inform : d.inform;
    c.saveFileName = prompts.saveFileName ? prompts.saveFileName : d.saveFileName;
    c.askLine = prompts.askLine ? prompts.askLine : d.askLine;
}

void Korl_ResetEditorPrompts() { Current() = Defaults(); }

QString Korl_SourceFileFilter() {
    return QStringLiteral(
        "C/C++ Files (*.c;*.cc;*.cpp;*cxx;*.h;*.hpp;*.hxx) (*.c *.cc *.cpp *cxx *.h *.hpp *.hxx);;"
        "All Files (*.*) (*)");
}

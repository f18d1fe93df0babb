// The editor document's file side: loading, saving (beside the old file, then
// renamed over it) and the check for changes made outside Korl.
#include "editor/editor_document.h"

#include <QFile>
#include <QPointer>
#include <unistd.h>

#include "editor/editor_prompts.h"
#include "editor/file_io.h"

namespace {

QString ErrorText(int err) { return QString::fromStdString(korl_editor::SystemErrorText(err)); }

std::int64_t WriteTimeOf(const QString& path) {
    return korl_editor::FileWriteTime(QFile::encodeName(path).toStdString());
}

} // namespace

bool Korl_EditorView::LoadDocument(const QString& fullPath, const QString& shortName) {
    int err = 0;
    if (!control_->LoadFile(fullPath, &err)) {
        Korl_GetEditorPrompts().warn(this,
                                     QStringLiteral("Failed to load: %1\n\n").arg(fullPath) + ErrorText(err));
        return false;
    }
    fullPath_ = fullPath;
    shortName_ = shortName;
    writeTime_ = WriteTimeOf(fullPath);
    SyncMarks();
    // Files we may not write (installed library sources) open read-only.
    control_->setReadOnly(::access(QFile::encodeName(fullPath).constData(), W_OK) != 0);
    RefreshTitle();
    EmitStatus();
    return true;
}

bool Korl_EditorView::WriteTo(const QString& path) {
    int err = 0;
    if (!control_->SaveFile(path, &err)) {
        Korl_GetEditorPrompts().warn(
            this, QStringLiteral("Error: Failed to save: %1\n\n").arg(path) + ErrorText(err));
        return false;
    }
    writeTime_ = WriteTimeOf(path);
    return true;
}

bool Korl_EditorView::SaveDocument() {
    if (fullPath_.isEmpty()) return SaveDocumentAs();
    if (!control_->IsModified() && WriteTimeOf(fullPath_) == writeTime_) return true;
    const bool ok = WriteTo(fullPath_);
    RefreshTitle();
    return ok;
}

bool Korl_EditorView::SaveDocumentAs() {
    const QString chosen = Korl_GetEditorPrompts().saveFileName(this, fullPath_);
    if (chosen.isEmpty()) return false;
    return SaveDocumentTo(chosen);
}

bool Korl_EditorView::SaveDocumentTo(const QString& path) {
    if (path.isEmpty() || !WriteTo(path)) return false;
    fullPath_ = path;
    shortName_ = Korl_EditorManager::FileNameRule(path);
    control_->setReadOnly(false);
    RefreshTitle();
    EmitStatus();
    if (manager_) Q_EMIT manager_->titlesChanged();
    return true;
}

void Korl_EditorView::CheckForOutsideChange() {
    if (!checkAllowed_ || fullPath_.isEmpty()) return;
    const std::int64_t now = WriteTimeOf(fullPath_);
    if (now == 0 || now <= writeTime_) return;
    checkAllowed_ = false;
    QPointer<Korl_EditorView> self(this);
    const bool reload = Korl_GetEditorPrompts().askYesNo(
        this,
        QStringLiteral(
            "%1\n\nThis file has been modified outside of\nthis application.  Do you want to reload it?")
            .arg(shortName_));
    if (!self) return;
    if (reload) {
        const int line = control_->CaretLine();
        int err = 0;
        if (control_->LoadFile(fullPath_, &err)) {
            SyncMarks();
            control_->GotoLine(line);
        } else {
            Korl_GetEditorPrompts().warn(
                this, QStringLiteral("Failed to load: %1\n\n").arg(fullPath_) + ErrorText(err));
        }
        if (!self) return;
    }
    // Asked once per change: whatever the answer, this time is now known.
    const std::int64_t after = WriteTimeOf(fullPath_);
    writeTime_ = after != 0 ? after : now;
    checkAllowed_ = true;
    RefreshTitle();
}

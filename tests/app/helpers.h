#pragma once
// Shared set-up of the window tests: answered prompts, a scratch copy of the
// example project, and a frame that neither reads nor writes window state.
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "frame/main_frame.h"
#include "editor/editor_prompts.h"
#include "project/qt/dialogs.h"

// QTRY_* report to QTest only; under GoogleTest a timed-out QTRY returns from
// the test silently. This wait reports the failure to GoogleTest instead.
#define KORL_WAIT_EQ(actual, expected, timeoutMs)                                              \
    do {                                                                                       \
        QDeadlineTimer korlWaitDeadline_(timeoutMs);                                           \
        while (!((actual) == (expected)) && !korlWaitDeadline_.hasExpired()) QTest::qWait(10); \
        EXPECT_EQ((actual), (expected));                                                       \
    } while (0)

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace korltest {

// Records every message box and answers with `answer`.
struct Prompts {
    QStringList texts;
    QMessageBox::StandardButton answer = QMessageBox::No;
    QList<QMessageBox::StandardButton> answers;  // taken in order before `answer`
    QList<Korl_SaveAnswer> saveAnswers;          // "Save Changes to file?", in order
    QStringList saveNames;                       // the file each of those named
    QList<korl::FileDialogResult> dialogAnswers; // taken in order
    QList<korl::FileDialogRequest> dialogs;

    Prompts() {
        korl::SetMessageBoxHook([this](const korl::MessageRequest& r) {
            texts << r.text;
            if (!answers.isEmpty()) return answers.takeFirst();
            // Yes and No stand for Save and Discard where those are offered.
            QMessageBox::StandardButton a = answer;
            if (a == QMessageBox::Yes && r.buttons.testFlag(QMessageBox::Save)) a = QMessageBox::Save;
            if (a == QMessageBox::No && r.buttons.testFlag(QMessageBox::Discard)) a = QMessageBox::Discard;
            return r.buttons.testFlag(a) ? a : QMessageBox::Ok;
        });
        korl::SetFileDialogHook([this](const korl::FileDialogRequest& r) {
            dialogs << r;
            return dialogAnswers.isEmpty() ? korl::FileDialogResult{} : dialogAnswers.takeFirst();
        });
        Korl_EditorPrompts ep;
        ep.askYesNo = [this](QWidget*, const QString& t) {
            texts << t;
            return answer == QMessageBox::Yes;
        };
        ep.askSaveChanges = [this](QWidget*, const QString& t, const QString& name) {
            texts << t;
            saveNames << name;
            if (!saveAnswers.isEmpty()) return saveAnswers.takeFirst();
            if (answer == QMessageBox::Cancel) return Korl_SaveAnswer::Cancel;
            return answer == QMessageBox::Yes ? Korl_SaveAnswer::Save : Korl_SaveAnswer::Discard;
        };
        ep.warn = [this](QWidget*, const QString& t) { texts << t; };
        ep.inform = [this](QWidget*, const QString& t) { texts << t; };
        ep.saveFileName = [](QWidget*, const QString&) { return QString(); };
        ep.askLine = [](QWidget*, int, int) { return 0; };
        Korl_SetEditorPrompts(ep);
    }
    ~Prompts() {
        korl::SetMessageBoxHook({});
        korl::SetFileDialogHook({});
        Korl_ResetEditorPrompts();
    }
    void Choose(const QStringList& files, int filter = 0) {
        dialogAnswers << korl::FileDialogResult{true, files, filter};
    }
};

inline Korl_MainFrame::Options NoState() { return {false, false}; }

// Copies the example project into a scratch directory.
inline QString CopyExample(const QTemporaryDir& dir, const QString& name = "counter") {
    const QDir src(QString(KORL_SOURCE_DIR) + "/examples/" + name);
    for (const QString& f : src.entryList(QDir::Files)) QFile::copy(src.filePath(f), dir.filePath(f));
    return dir.filePath(name + ".k1");
}

inline void WriteFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(data);
}

} // namespace korltest

#pragma once
// Shared pieces of the editor tests: scripted prompts, a breakpoint table with
// the main frame's semantics, and file helpers.

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QMdiArea>
#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "editor/editor_document.h"
#include "editor/editor_prompts.h"

// Records every question and notice; answers questions from a script.
struct PromptLog {
    std::vector<QString> questions;
    std::vector<QString> warnings;
    std::vector<QString> notices;
    bool answer = false;
    // The answer to "Save Changes to file?": Save when `answer`, else Discard,
    // unless `cancel`.
    bool cancel = false;
    std::vector<QString> savePromptNames;
    QString saveAsPath;

    void Install() {
        Korl_EditorPrompts p;
        p.askYesNo = [this](QWidget*, const QString& text) {
            questions.push_back(text);
            return answer;
        };
        p.askSaveChanges = [this](QWidget*, const QString& text, const QString& name) {
            questions.push_back(text);
            savePromptNames.push_back(name);
            if (cancel) return Korl_SaveAnswer::Cancel;
            return answer ? Korl_SaveAnswer::Save : Korl_SaveAnswer::Discard;
        };
        p.warn = [this](QWidget*, const QString& text) { warnings.push_back(text); };
        p.inform = [this](QWidget*, const QString& text) { notices.push_back(text); };
        p.saveFileName = [this](QWidget*, const QString&) { return saveAsPath; };
        p.askLine = [](QWidget*, int, int) { return 0; };
        Korl_SetEditorPrompts(p);
    }
};

// The frame's breakpoint table: Add toggles an existing record away.
struct TableHost : Korl_BreakpointHost {
    std::vector<std::pair<QString, int>> records;
    void AddBreakpoint(const QString& file, int line) override {
        for (auto it = records.begin(); it != records.end(); ++it) {
            if (it->first == file && it->second == line) {
                records.erase(it);
                return;
            }
        }
        records.emplace_back(file, line);
    }
    void RemoveBreakpoint(const QString& file, int line) override {
        for (auto it = records.begin(); it != records.end(); ++it) {
            if (it->first == file && it->second == line) {
                records.erase(it);
                return;
            }
        }
    }
    // A table that follows the text moves its records with the marks.
    bool follow = false;
    void MoveBreakpoint(const QString& file, int fromLine, int toLine) override {
        if (!follow) return;
        for (auto& r : records) {
            if (r.first == file && r.second == fromLine) {
                r.second = toLine;
                return;
            }
        }
    }
    QList<int> BreakpointLines(const QString& file) const override {
        QList<int> lines;
        for (const auto& r : records) {
            if (r.first == file) lines << r.second;
        }
        return lines;
    }
    std::vector<int> LinesOf(const QString& file) const {
        std::vector<int> out;
        for (int l : BreakpointLines(file)) out.push_back(l);
        return out;
    }
};

inline void WriteText(const QString& path, const std::string& text) {
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string ReadText(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Moves the file's modification time forward, as another program's write would.
inline void TouchLater(const QString& path, int seconds) {
    namespace fs = std::filesystem;
    const fs::path p(path.toStdString());
    fs::last_write_time(p, fs::last_write_time(p) + std::chrono::seconds(seconds));
}

inline std::string NumberedLines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) text += "line " + std::to_string(i) + "\n";
    return text;
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        prompts.Install();
        area = std::make_unique<QMdiArea>();
        area->resize(900, 600);
        manager = std::make_unique<Korl_EditorManager>(area.get());
        manager->SetAutoChangeCheck(false);
        manager->SetBreakpointHost(&host);
    }
    void TearDown() override {
        manager.reset();
        area.reset();
        Korl_ResetEditorPrompts();
    }
    QString Path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
    QString Make(const QString& name, const std::string& text) {
        WriteText(Path(name), text);
        return Path(name);
    }
    Korl_EditorView* Open(const QString& path) {
        Korl_EditorChildFrame* child = manager->OpenDocument(path, Korl_EditorManager::FileNameRule(path));
        return child ? child->View() : nullptr;
    }
    static void FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QTemporaryDir dir;
    PromptLog prompts;
    TableHost host;
    std::unique_ptr<QMdiArea> area;
    std::unique_ptr<Korl_EditorManager> manager;
};

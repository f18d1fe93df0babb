#pragma once
// Every question and notice the editor shows goes through these functions, so
// that a test (or a headless caller) can answer them. The defaults are message
// boxes with the caption "Korl".

#include <QString>
#include <functional>

class QWidget;

// The answers to a question about unsaved changes.
enum class Korl_SaveAnswer { Save, Discard, Cancel };

struct Korl_EditorPrompts {
    // Unsaved changes: `text` is the question, `fileName` names the document.
    std::function<Korl_SaveAnswer(QWidget* parent, const QString& text, const QString& fileName)>
        askSaveChanges;
    // Yes/No question with the question icon; true = Yes.
    std::function<bool(QWidget* parent, const QString& text)> askYesNo;
    // A failure the user must see (warning icon).
    std::function<void(QWidget* parent, const QString& text)> warn;
    // A notice such as the find-wrap text (information icon).
    std::function<void(QWidget* parent, const QString& text)> inform;
    // Save dialog; returns the chosen path or an empty text when cancelled.
    std::function<QString(QWidget* parent, const QString& initialPath)> saveFileName;
    // Asks for a 1-based line number between 1 and maxLine; 0 when cancelled.
    std::function<int(QWidget* parent, int currentLine, int maxLine)> askLine;
};

// The prompts in use; every member is set (defaults fill what a caller leaves empty).
const Korl_EditorPrompts& Korl_GetEditorPrompts();
// Replaces the prompts; empty members fall back to the defaults (without
// askSaveChanges, askYesNo's answer decides Save or Discard).
void Korl_SetEditorPrompts(const Korl_EditorPrompts& prompts);
// Back to the message boxes.
void Korl_ResetEditorPrompts();

// The source-file filter of the Open and Save As dialogs.
QString Korl_SourceFileFilter();

#pragma once
// The two languages of the editing control: "SystemC" for source documents and
// "CompileOut" for the Compile pane. A language record keeps the lists exactly
// as they are registered; the lexers derive their colouring from it.

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include "editor/qsci.h"

struct Korl_LanguageRecord {
    QString name;
    int setting0 = 0; // the two numeric settings of the record
    int setting1 = 1;
    QStringList keywords;
    QStringList operators;
    QString singleLineComment;
    QString blockCommentStart;
    QString blockCommentEnd;
    QStringList scopeOpen;  // texts that open a scope
    QStringList scopeClose; // texts that close a scope
    QString stringDelimiters;
    QString escape;
    QString terminator;
};

const Korl_LanguageRecord& Korl_SystemCLanguage();
const Korl_LanguageRecord& Korl_CompileOutLanguage();

// The editors' monospace font (10 points).
QFont Korl_EditorFont();

// C++ colouring with the SystemC keyword list, plus the SystemC library types
// and macros as a second keyword set.
class Korl_SystemCLexer : public QsciLexerCPP {
    Q_OBJECT
public:
    explicit Korl_SystemCLexer(QObject* parent = nullptr);
    const char* language() const override { return "SystemC"; }
    const char* keywords(int set) const override;

private:
    QByteArray primary_;
    QByteArray secondary_;
};

// Line colouring of build output: errors, warnings, the Compiling/Linking
// lines and the summary line.
class Korl_CompileOutLexer : public QsciLexerCustom {
    Q_OBJECT
public:
    enum Style {
        Default = 0,
        Keyword = 1,     // "Compiling..." and "Linking..." lines
        ErrorLine = 2,   // text of a line reporting an error
        WarningLine = 3, // text of a line reporting a warning
        SummaryOk = 4,   // "NAME - 0 error(s), N warning(s)"
        SummaryFailed = 5,
        ErrorWord = 6,   // the word "error:" itself
        WarningWord = 7, // the word "warning:" itself
    };
    explicit Korl_CompileOutLexer(QObject* parent = nullptr);
    const char* language() const override { return "CompileOut"; }
    QString description(int style) const override;
    void styleText(int start, int end) override;
    QColor defaultColor(int style) const override;
    QFont defaultFont(int style) const override;
    QColor defaultPaper(int style) const override;

    // The style of one line of build output (without its line end), by the
    // same rules the lexer colours with; the word styles are inside it.
    static Style LineStyle(const QByteArray& line);
};

#include "editor/language.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QRegularExpression>
#include <QSet>

#include "editor/qsci.h"

namespace {

Korl_LanguageRecord MakeSystemC() {
    Korl_LanguageRecord r;
    r.name = QStringLiteral("SystemC");
    // Registered as listed, #printf and the repeated new and delete included.
    r.keywords = QStringLiteral(
                     "#define #elif #else #endif #error #if #ifdef #ifndef #include #line #pragma "
                     "#printf #undef auto break case catch bool char class const const_cast "
                     "continue default delete do double dynamic_cast else enum except extern "
                     "false finally float for friend goto if inline int long mutable namespace "
                     "new operator private protected public register reinterpret_cast return "
                     "short signed sizeof static static_cast struct switch template this throw "
                     "true try typedef typeid union unsigned using virtual void volatile while "
                     "xalloc new delete SC_MODULE SC_CTOR SC_METHOD SC_THREAD SC_CTHREAD "
                     "SC_HAS_PROCESS")
                     .split(QLatin1Char(' '));
    r.operators = QStringLiteral(
                      ":: . -> ++ -- * & + - ! ~ sizeof typeid const_cast dynamic_cast "
                      "reinterpret_cast static_cast .* ->* * / % << >> < > <= >= == != & ^ | && "
                      "|| ? = *= /= %= += -= <<= >>= &= |= ^=")
                      .split(QLatin1Char(' '));
    r.singleLineComment = QStringLiteral("//");
    r.blockCommentStart = QStringLiteral("/*");
    r.blockCommentEnd = QStringLiteral("*/");
    r.scopeOpen = {QStringLiteral("{")};
    r.scopeClose = {QStringLiteral("}")};
    r.stringDelimiters = QStringLiteral("\"'");
    r.escape = QStringLiteral("\\");
    r.terminator = QStringLiteral(";");
    return r;
}

Korl_LanguageRecord MakeCompileOut() {
    Korl_LanguageRecord r;
    r.name = QStringLiteral("CompileOut");
    r.keywords = {QStringLiteral("Compiling..."), QStringLiteral("Linking")};
    r.operators = {QStringLiteral("error:")};
    r.scopeOpen = {QStringLiteral("warning:")};
    r.scopeClose = {QStringLiteral("warning:")};
    return r;
}

// SystemC library names coloured as types.
const char kSystemCTypes[] =
    "sc_module sc_module_name sc_in sc_out sc_inout sc_in_clk sc_out_clk sc_inout_clk "
    "sc_in_rv sc_out_rv sc_inout_rv sc_in_resolved sc_out_resolved sc_inout_resolved "
    "sc_signal sc_signal_rv sc_signal_resolved sc_buffer sc_clock sc_fifo sc_fifo_in "
    "sc_fifo_out sc_mutex sc_semaphore sc_event sc_event_queue sc_port sc_export "
    "sc_interface sc_prim_channel sc_channel sc_time sc_time_unit sc_trace_file "
    "sc_int sc_uint sc_bigint sc_biguint sc_bv sc_lv sc_bit sc_logic sc_fixed sc_ufixed "
    "sc_fix sc_ufix sc_int_base sc_uint_base sc_signed sc_unsigned sc_string "
    "sc_signal_in_if sc_signal_inout_if sc_fifo_in_if sc_fifo_out_if "
    "sc_main sc_start sc_stop sc_time_stamp sc_simulation_time sc_delta_count "
    "sc_trace sc_create_vcd_trace_file sc_close_vcd_trace_file sc_report_handler "
    "sc_core sc_dt tlm tlm_utils sc_report "
    "wait notify next_trigger sensitive sensitive_pos sensitive_neg dont_initialize "
    "SC_NS SC_PS SC_FS SC_US SC_MS SC_SEC SC_ZERO_TIME SC_LOGIC_0 SC_LOGIC_1 SC_LOGIC_Z "
    "SC_LOGIC_X SC_REPORT_INFO SC_REPORT_WARNING SC_REPORT_ERROR SC_REPORT_FATAL "
    "SC_FORK SC_JOIN SC_CTHREAD SC_HAS_PROCESS";

QByteArray JoinUnique(const QStringList& words) {
    QSet<QString> seen;
    QStringList out;
    for (const QString& w : words) {
        if (w.startsWith(QLatin1Char('#'))) continue; // preprocessor lines have their own colour
        if (seen.contains(w)) continue;
        seen.insert(w);
        out << w;
    }
    return out.join(QLatin1Char(' ')).toLatin1();
}

const QColor kInk(0x1e, 0x1e, 0x1e);
const QColor kPaper(0xff, 0xff, 0xff);

} // namespace

const Korl_LanguageRecord& Korl_SystemCLanguage() {
    static const Korl_LanguageRecord r = MakeSystemC();
    return r;
}

const Korl_LanguageRecord& Korl_CompileOutLanguage() {
    static const Korl_LanguageRecord r = MakeCompileOut();
    return r;
}

QFont Korl_EditorFont() {
    static const QFont font = [] {
        // Courier New where installed; otherwise the clearest monospace at hand.
        for (const char* family : {"Courier New", "DejaVu Sans Mono", "Liberation Mono", "Noto Sans Mono"}) {
            QFont f(QString::fromLatin1(family), 10);
            f.setStyleHint(QFont::Monospace);
            f.setFixedPitch(true);
            if (QFontInfo(f).family().compare(QString::fromLatin1(family), Qt::CaseInsensitive) == 0)
                return f;
        }
        QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        f.setPointSize(10);
        return f;
    }();
    return font;
}

Korl_SystemCLexer::Korl_SystemCLexer(QObject* parent) : QsciLexerCPP(parent) {
    primary_ = JoinUnique(Korl_SystemCLanguage().keywords);
    secondary_ = QByteArray(kSystemCTypes);
    setFoldComments(true);
    setFoldCompact(false);
    setHighlightEscapeSequences(true);
    setStylePreprocessor(true);

    const QFont base = Korl_EditorFont();
    setDefaultFont(base);
    setFont(base, -1);
    setDefaultPaper(kPaper);
    setPaper(kPaper, -1);
    setDefaultColor(kInk);
    setColor(kInk, -1);

    QFont bold = base;
    bold.setBold(true);
    QFont italic = base;
    italic.setItalic(true);

    const QColor comment(0x3a, 0x7d, 0x44);
    const QColor keyword(0x00, 0x33, 0xb3);
    const QColor type(0x1f, 0x7a, 0x8c);
    const QColor str(0xa3, 0x15, 0x15);
    const QColor number(0x09, 0x86, 0x58);
    const QColor preproc(0x87, 0x3b, 0xa8);
    const QColor op(0x40, 0x40, 0x40);

    for (int s : {Comment, CommentLine, CommentDoc, CommentLineDoc, CommentDocKeyword, CommentDocKeywordError,
                  PreProcessorComment, PreProcessorCommentLineDoc}) {
        setColor(comment, s);
        setFont(italic, s);
        setColor(comment, s + 64); // inactive code keeps the colours, greyed by the lexer
    }
    setColor(keyword, Keyword);
    setFont(bold, Keyword);
    setColor(type, KeywordSet2);
    setColor(type, GlobalClass);
    for (int s : {DoubleQuotedString, SingleQuotedString, RawString, VerbatimString,
                  TripleQuotedVerbatimString, HashQuotedString}) {
        setColor(str, s);
    }
    setColor(QColor(0xc0, 0x00, 0x00), UnclosedString);
    setPaper(QColor(0xff, 0xe8, 0xe8), UnclosedString);
    setColor(QColor(0xb0, 0x5a, 0x00), EscapeSequence);
    setColor(number, Number);
    setColor(preproc, PreProcessor);
    setColor(op, Operator);
    setColor(kInk, Identifier);
}

const char* Korl_SystemCLexer::keywords(int set) const {
    if (set == 1) return primary_.constData();
    if (set == 2) return secondary_.constData();
    return QsciLexerCPP::keywords(set);
}

// ---------------------------------------------------------------------------

Korl_CompileOutLexer::Korl_CompileOutLexer(QObject* parent) : QsciLexerCustom(parent) {
    setDefaultFont(Korl_EditorFont());
    setDefaultPaper(kPaper);
    setDefaultColor(kInk);
}

QString Korl_CompileOutLexer::description(int style) const {
    switch (style) {
        case Default:
            return QStringLiteral("Default");
        case Keyword:
            return QStringLiteral("Keyword");
        case ErrorLine:
            return QStringLiteral("Error");
        case WarningLine:
            return QStringLiteral("Warning");
        case SummaryOk:
            return QStringLiteral("Summary");
        case SummaryFailed:
            return QStringLiteral("Failed summary");
        case ErrorWord:
            return QStringLiteral("Error word");
        case WarningWord:
            return QStringLiteral("Warning word");
        default:
            return QString();
    }
}

QColor Korl_CompileOutLexer::defaultColor(int style) const {
    switch (style) {
        case Keyword:
            return QColor(0x00, 0x33, 0xb3);
        case ErrorLine:
            return QColor(0xb0, 0x10, 0x10);
        case ErrorWord:
            return QColor(0xd0, 0x00, 0x00);
        case WarningLine:
            return QColor(0x8a, 0x5a, 0x00);
        case WarningWord:
            return QColor(0xb8, 0x6e, 0x00);
        case SummaryOk:
            return QColor(0x1d, 0x7a, 0x2e);
        case SummaryFailed:
            return QColor(0xb0, 0x10, 0x10);
        default:
            return kInk;
    }
}

QFont Korl_CompileOutLexer::defaultFont(int style) const {
    QFont f = Korl_EditorFont();
    if (style == Keyword || style == ErrorWord || style == WarningWord || style == SummaryOk ||
        style == SummaryFailed) {
        f.setBold(true);
    }
    return f;
}

QColor Korl_CompileOutLexer::defaultPaper(int style) const {
    Q_UNUSED(style);
    return kPaper;
}

Korl_CompileOutLexer::Style Korl_CompileOutLexer::LineStyle(const QByteArray& line) {
    static const QRegularExpression summary(
        QStringLiteral(" - (\\d+) error\\(s\\), \\d+ warning\\(s\\)\\s*$"));
    if (line.contains("error:") || line.contains("undefined reference to")) return ErrorLine;
    if (line.contains("warning:")) return WarningLine;
    const QRegularExpressionMatch m = summary.match(QString::fromUtf8(line));
    if (m.hasMatch()) return m.captured(1) == QLatin1String("0") ? SummaryOk : SummaryFailed;
    for (const QString& k : Korl_CompileOutLanguage().keywords) {
        if (line.startsWith(k.toLatin1())) return Keyword;
    }
    return Default;
}

void Korl_CompileOutLexer::styleText(int start, int end) {
    QsciScintilla* ed = editor();
    if (!ed || end <= start) return;
    // Whole lines only: the style of a line depends on all of its text.
    const int firstLine = static_cast<int>(ed->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, start));
    const int lastLine = static_cast<int>(ed->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, end));
    for (int line = firstLine; line <= lastLine; ++line) {
        const long from = ed->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line);
        const long to = ed->SendScintilla(QsciScintilla::SCI_GETLINEENDPOSITION, line);
        const long next = line + 1 < ed->lines()
                              ? ed->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line + 1)
                              : ed->SendScintilla(QsciScintilla::SCI_GETLENGTH);
        const int len = static_cast<int>(to - from);
        QByteArray text(len + 1, '\0');
        if (len > 0) ed->SendScintilla(QsciScintilla::SCI_GETTEXTRANGE, from, to, text.data());
        text.resize(len);
        const Style style = LineStyle(text);
        startStyling(from);
        if (style == ErrorLine || style == WarningLine) {
            const QByteArray word =
                style == ErrorLine ? QByteArrayLiteral("error:") : QByteArrayLiteral("warning:");
            const int at = static_cast<int>(text.indexOf(word));
            if (at >= 0) {
                setStyling(at, style);
                setStyling(word.size(), style == ErrorLine ? ErrorWord : WarningWord);
                setStyling(len - at - word.size(), style);
            } else {
                setStyling(len, style);
            }
        } else {
            setStyling(len, style);
        }
        if (next > to) setStyling(static_cast<int>(next - to), Default);
    }
}

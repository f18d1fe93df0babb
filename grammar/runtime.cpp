#include <algorithm>
#include <cstring>
#include <new>

#include "grammar/parser_impl.h"

namespace {

const char* const kSymbolNames[kSymCount] = {
    "value_change_dump",
    "declaration_command",
    "simulation_command",
    "comment_command",
    "date_command",
    "scope_command",
    "timescale_command",
    "version_command",
    "dumpall_command",
    "dumpoff_command",
    "dumpon_command",
    "dumpvars_command",
    "value_change",
    "simulation_time",
    "comment_string",
    "string",
    "date_text",
    "scope_type",
    "scope_identifier",
    "scope_body",
    "var_command",
    "var_type",
    "var_size",
    "var_identifier",
    "var_name",
    "var_range",
    "decimal_number",
    "msb_index",
    "lsb_index",
    "bit_select_index",
    "time_coefficient",
    "time_unit",
    "versin_text",
    "binary_number",
    "real_number",
    "vector_number",
    "numeric",
    "space_symbol",
};

struct CodeText {
    int32_t code;
    const char* text;
};
const CodeText kMessageTexts[] = {
    {1001, "Internal error"},
    {1002, "Unresolved symbol"},
    {1003, "External symbol is not registered"},
    {1004, "Max stack exceeded"},
    {1005, "Parse failed"},
    {1006, "End-of-file expected"},
    {1007, "Constraint violation"},
    {1008, "Could not resolve start symbol"},
    {1009, "#SYMBOL function failed - could not resolve symbol name"},
    {1010, "No implicit delimiter found after literal"},
    {1011, "No ending quote found for 'quotedstring'"},
    {1099, "Parse Aborted"},
    {1103, "Error opening grammar file"},
    {1104, "Incorrect grammar version"},
    {1105, "Grammar is invalid"},
    {1250, "Error allocating memory"},
    {1257, "Memory allocation error building tree"},
    {1600, "No grammar has been set"},
    {1601, "No input file or buffer has been set"},
    {1602, "Error opening the source file"},
    {1603, "No source data stream is currently open"},
    {1604, "There is no parse currently in progress"},
    {1700, "User defined parse error"},
    {1701, "Synchronization parse error"},
    {1702, "Unexpected text"},
    {1703, "Expected term not found"},
};

// Little-endian reader over the container that never reads past its end.
struct ByteReader {
    const unsigned char* p;
    size_t size, pos = 0;
    bool U32(uint32_t& v) {
        if (size - pos < 4) return false;
        v = uint32_t(p[pos]) | uint32_t(p[pos + 1]) << 8 | uint32_t(p[pos + 2]) << 16 |
            uint32_t(p[pos + 3]) << 24;
        pos += 4;
        return true;
    }
    bool I32(int32_t& v) {
        uint32_t u;
        if (!U32(u)) return false;
        v = static_cast<int32_t>(u);
        return true;
    }
    bool Skip(uint64_t n) {
        if (size - pos < n) return false;
        pos += n;
        return true;
    }
};

} // namespace

const char* VcdSymbolName(int32_t sym) { return sym >= 0 && sym < kSymCount ? kSymbolNames[sym] : ""; }

const char* ParserMessageText(int32_t code) {
    for (const auto& m : kMessageTexts)
        if (m.code == code) return m.text;
    return "";
}

ParserInterface::ParserInterface() : d(std::make_unique<Impl>()) {}
ParserInterface::~ParserInterface() = default;

ParserInterface* GetParserInterface() { return new (std::nothrow) ParserInterface(); }
void ReleaseParserInterface(ParserInterface* p) { delete p; }

void ParserInterface::Impl::Error(int32_t code, std::string expecting, int64_t line) {
    PgMessage m;
    m.code = code;
    m.expecting = std::move(expecting);
    m.line = line;
    m.startPos = static_cast<int64_t>(src.Offset());
    errors.push_back(std::move(m));
}

// --- grammar container -----------------------------------------------------

bool ParserInterface::LoadGrammarFromBuffer(const void* data, size_t size) {
    Impl& g = *d;
    g.grammarLoaded = false;
    g.contexts.clear();
    g.names.clear();
    g.byteCode.clear();
    g.sortedContexts.clear();
    auto fail = [&](int32_t code) {
        g.Error(code, "", 0);
        g.contexts.clear();
        g.names.clear();
        g.byteCode.clear();
        return false;
    };
    const auto* bytes = static_cast<const unsigned char*>(data);
    const size_t idLen = std::strlen(kGrammarIdentification);
    if (!bytes || size < 20 + idLen || std::memcmp(bytes + 20, kGrammarIdentification, idLen) != 0)
        return fail(kPgGrammarInvalid);
    ByteReader r{bytes, size};
    uint32_t version = 0;
    r.U32(version);
    if (version < 4 || version > 7) return fail(kPgIncorrectVersion);
    if (!r.Skip(256 - 4)) return fail(kPgErrorOpeningGrammar);

    uint32_t n = 0;
    if (!r.U32(n) || uint64_t(n) * 20 > size - r.pos) return fail(kPgErrorOpeningGrammar);
    g.contexts.resize(n);
    for (auto& c : g.contexts) {
        r.I32(c.nameIndex);
        r.I32(c.parent);
        r.I32(c.kind);
        r.I32(c.value);
        r.I32(c.reserved);
    }
    uint32_t m = 0;
    if (!r.U32(m)) return fail(kPgErrorOpeningGrammar);
    for (uint32_t i = 0; i < m; ++i) {
        if (version >= 6) {
            uint32_t len = 0;
            if (!r.U32(len) || len > size - r.pos) return fail(kPgErrorOpeningGrammar);
            g.names.emplace_back(reinterpret_cast<const char*>(bytes + r.pos), len);
            r.pos += len;
        } else {
            if (size - r.pos < 32) return fail(kPgErrorOpeningGrammar);
            const char* s = reinterpret_cast<const char*>(bytes + r.pos);
            g.names.emplace_back(s, strnlen(s, 32));
            r.pos += 32;
        }
    }
    uint32_t k = 0;
    if (!r.U32(k) || !r.Skip(uint64_t(k) * 292)) return fail(kPgErrorOpeningGrammar);
    uint32_t b = 0;
    if (!r.U32(b) || b > size - r.pos) return fail(kPgErrorOpeningGrammar);
    try {
        g.byteCode.assign(bytes + r.pos, bytes + r.pos + b);
    } catch (const std::bad_alloc&) {
        return fail(kPgAllocError);
    }
    for (const auto& c : g.contexts)
        if (c.nameIndex < 0 || static_cast<size_t>(c.nameIndex) >= g.names.size())
            return fail(kPgGrammarInvalid);
    g.sortedContexts.resize(g.contexts.size());
    for (size_t i = 0; i < g.contexts.size(); ++i) g.sortedContexts[i] = int32_t(i);
    std::stable_sort(g.sortedContexts.begin(), g.sortedContexts.end(), [&](int32_t a, int32_t c) {
        return g.names[g.contexts[a].nameIndex] < g.names[g.contexts[c].nameIndex];
    });
    g.version = int32_t(version);
    g.grammarLoaded = true;
    return true;
}

int32_t ParserInterface::GrammarVersion() const { return d->version; }
const std::vector<std::string>& ParserInterface::GrammarNames() const { return d->names; }
const std::vector<GrammarContext>& ParserInterface::GrammarContexts() const { return d->contexts; }
size_t ParserInterface::ByteCodeSize() const { return d->byteCode.size(); }

const GrammarContext* ParserInterface::FindContext(std::string_view name) const {
    const Impl& g = *d;
    auto it =
        std::lower_bound(g.sortedContexts.begin(), g.sortedContexts.end(), name,
                         [&](int32_t a, std::string_view n) { return g.names[g.contexts[a].nameIndex] < n; });
    if (it == g.sortedContexts.end() || g.names[g.contexts[*it].nameIndex] != name) return nullptr;
    return &g.contexts[*it];
}

// --- messages --------------------------------------------------------------

int ParserInterface::GetMessageCount() const {
    return static_cast<int>(d->errors.size() + d->warnings.size());
}

static const PgMessage* MessageAt(const ParserInterface::Impl& g, int i) {
    if (i < 0) return nullptr;
    const size_t ne = g.errors.size();
    if (size_t(i) < ne) return &g.errors[ne - 1 - i];
    if (size_t(i) - ne < g.warnings.size()) return &g.warnings[i - ne];
    return nullptr;
}

int ParserInterface::GetMessageCode(int i) const {
    const PgMessage* m = MessageAt(*d, i);
    return m ? m->code : 0;
}

PGString ParserInterface::GetMessageDescription(int i) const {
    const PgMessage* m = MessageAt(*d, i);
    return m ? ParserMessageText(m->code) : "";
}

PGString ParserInterface::GetMessageProperty(int i, const char* name) const {
    const PgMessage* m = MessageAt(*d, i);
    if (!m || !name) return "";
    const std::string_view p = name;
    if (p == "ErrorCode") return std::to_string(m->code);
    if (p == "Severity") return std::to_string(m->severity);
    if (p == "Description") return ParserMessageText(m->code);
    if (p == "Expecting") return m->expecting;
    if (p == "LineNumber") return std::to_string(m->line);
    if (p == "StartPos") return std::to_string(m->startPos);
    if (p == "NumChars" || p == "ConstraintID" || p == "NodeID" || p == "StepNumber" ||
        p == "GrammarOffset" || p == "SymbolID")
        return "0";
    if (p == "GrammarName") return d->grammarLoaded && d->names.size() > 4 ? d->names[4] : "VCD";
    return "";
}

// --- tree ------------------------------------------------------------------

int32_t ParserInterface::Impl::NewNode(int32_t sym, int32_t parent) {
    PgNode n;
    n.sym = sym;
    n.parent = parent;
    n.textOff = text.size();
    const int32_t id = static_cast<int32_t>(nodes.size());
    nodes.push_back(n);
    if (parent >= 0) {
        PgNode& p = nodes[parent];
        if (p.last >= 0)
            nodes[p.last].next = id;
        else
            p.first = id;
        p.last = id;
        ++p.count;
    }
    return id;
}

int32_t ParserInterface::Impl::Leaf(int32_t sym, int32_t parent, std::string_view t) {
    const int32_t id = NewNode(sym, parent);
    nodes[id].textOff = text.size();
    nodes[id].textLen = static_cast<uint32_t>(std::min<size_t>(t.size(), UINT32_MAX));
    text.append(t.data(), nodes[id].textLen);
    return id;
}

void ParserInterface::Impl::Reset() {
    nodes.clear();
    text.clear();
    errors.clear();
    warnings.clear();
    simList = -1;
    started = finished = false;
    lastParent = lastIndex = lastChild = -1;
}

void ParserInterface::Impl::JoinText(int32_t node, std::string& out) const {
    const PgNode& n = nodes[node];
    if (n.first < 0) {
        if (!out.empty() && n.textLen) out += ' ';
        out.append(text, n.textOff, n.textLen);
        return;
    }
    for (int32_t c = n.first; c >= 0; c = nodes[c].next) JoinText(c, out);
}

bool ParserInterface::OpenFileStream(const std::string& path) {
    d->Reset();
    if (!d->src.OpenFile(path)) {
        d->Error(kPgErrorOpeningSource, "", 0);
        return false;
    }
    return true;
}

void ParserInterface::OpenBuffer(std::string text) {
    d->Reset();
    d->src.OpenBuffer(std::move(text));
}

void ParserInterface::SetStreaming(bool on) { d->streaming = on; }
bool ParserInterface::ParseFinished() const { return d->finished; }
uint64_t ParserInterface::BytesRead() const { return d->finished ? d->bytesAtEnd : d->src.Offset(); }

bool ParserInterface::Parse() {
    Impl& g = *d;
    if (!g.src.IsOpen()) {
        if (g.errors.empty()) g.Error(kPgNoInput, "", 0);
        return false;
    }
    g.nodes.clear();
    g.text.clear();
    const int32_t root = g.NewNode(kSymValueChangeDump, -1);
    const int32_t decl = g.NewNode(kSymDeclarationCommand, root);
    if (!g.ParseDeclarations(decl)) {
        g.finished = true;
        g.bytesAtEnd = g.src.Offset();
        g.src.Close();
        return false;
    }
    g.simList = g.NewNode(kSymSimulationCommand, root);
    g.simNodeMark = g.nodes.size();
    g.simTextMark = g.text.size();
    g.started = true;
    if (!g.streaming) {
        while (g.ProduceSimCommand()) {
        }
    }
    return g.errors.empty();
}

PGNode ParserInterface::FindSymbolNode(const char* symbolName, int nth) {
    if (!symbolName) return 0;
    int seen = 0;
    for (size_t i = 0; i < d->nodes.size(); ++i)
        if (std::strcmp(VcdSymbolName(d->nodes[i].sym), symbolName) == 0 && ++seen >= nth) return i + 1;
    return 0;
}

PGNode ParserInterface::GetChildNode(PGNode node, int i) {
    Impl& g = *d;
    if (!g.Valid(node) || i < 0) return 0;
    const int32_t id = static_cast<int32_t>(node - 1);
    if (id == g.simList && g.nodes[id].first < 0 && g.started && !g.finished) g.ProduceSimCommand();
    const PgNode& n = g.nodes[id];
    int32_t c, k;
    if (g.lastParent == id && g.lastIndex <= i && g.lastChild >= 0) {
        c = g.lastChild;
        k = g.lastIndex;
    } else {
        c = n.first;
        k = 0;
    }
    for (; c >= 0 && k < i; ++k) c = g.nodes[c].next;
    if (c < 0) return 0;
    g.lastParent = id;
    g.lastIndex = i;
    g.lastChild = c;
    return PGNode(c) + 1;
}

PGNode ParserInterface::GetNextSiblingNode(PGNode node) {
    Impl& g = *d;
    if (!g.Valid(node)) return 0;
    const int32_t id = static_cast<int32_t>(node - 1);
    if (g.nodes[id].next >= 0) return PGNode(g.nodes[id].next) + 1;
    if (g.nodes[id].parent == g.simList && g.simList >= 0 && id == g.nodes[g.simList].last && g.started &&
        !g.finished) {
        if (g.ProduceSimCommand()) return PGNode(g.nodes[g.simList].last) + 1;
    }
    return 0;
}

int ParserInterface::GetChildCount(PGNode node) {
    if (!d->Valid(node)) return 0;
    return d->N(node).count;
}

PGString ParserInterface::GetNodeSymbolName(PGNode node) {
    if (!d->Valid(node)) return "";
    return VcdSymbolName(d->N(node).sym);
}

int32_t ParserInterface::NodeSymbol(PGNode node) const { return d->Valid(node) ? d->N(node).sym : -1; }

std::string_view ParserInterface::NodeTextView(PGNode node) const {
    if (!d->Valid(node)) return {};
    const PgNode& n = d->N(node);
    return std::string_view(d->text).substr(n.textOff, n.textLen);
}

PGString ParserInterface::GetNodeText(PGNode node) {
    if (!d->Valid(node)) return "";
    const PgNode& n = d->N(node);
    if (n.first < 0) return std::string(NodeTextView(node));
    // A command's text is its parts separated by single blanks.
    std::string out;
    d->JoinText(static_cast<int32_t>(node - 1), out);
    return out;
}

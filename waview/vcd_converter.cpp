#include "waview/vcd_converter.h"

#include <cstdlib>
#include <algorithm>
#include <cstring>

#include "grammar/parser.h"
#include "waview/wvwfile.h"

namespace {

constexpr int kMaxScopeDepth = 1000;
constexpr int64_t kMaxBusWidth = 65536;

int32_t StateCodeOf(char c) {
    switch (c) {
        case '0':
            return 0;
        case '1':
            return 1;
        case 'z':
        case 'Z':
            return 2;
        case 'x':
        case 'X':
            return 3;
        default:
            return static_cast<unsigned char>(c);
    }
}

// Decimal text to int64; false on overflow or a non-digit.
bool ParseDecimal(std::string_view s, int64_t& out) {
    bool neg = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        neg = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        if (v > (uint64_t(INT64_MAX) - uint64_t(c - '0')) / 10) return false;
        v = v * 10 + uint64_t(c - '0');
    }
    out = neg ? -int64_t(v) : int64_t(v);
    return true;
}

// A row name of at most kMaxRowName bytes. The suffix (a bit index) is kept
// and the base cut instead, so the bits of a long-named bus stay apart.
std::string Cut(std::string_view base, std::string_view suffix = {}) {
    if (suffix.size() > kMaxRowName) suffix = suffix.substr(0, kMaxRowName);
    std::string s(base.substr(0, std::min(base.size(), kMaxRowName - suffix.size())));
    s += suffix;
    return s;
}

} // namespace

Waview_VCDConverter::Waview_VCDConverter(const std::string& dumpPath)
    : doc_(std::make_unique<Waview_FileManager>()),
      dumpPath_(dumpPath),
      wavePath_(WaveFilePathFor(dumpPath)) {}

Waview_VCDConverter::~Waview_VCDConverter() {
    if (parser_) ReleaseParserInterface(parser_);
}

bool Waview_VCDConverter::Fail(std::string why) {
    diagnostics_.push_back(std::move(why));
    return false;
}

void Waview_VCDConverter::ReportParserMessages() {
    const int n = parser_->GetMessageCount();
    for (int i = 0; i < n; ++i) {
        std::string text = parser_->GetMessageDescription(i);
        const int code = parser_->GetMessageCode(i);
        // The nesting limit names its line too: without it a deep dump
        // gives no clue where to look.
        if (code == kPgParseFailed || code == kPgEofExpected || code == kPgMaxStackExceeded)
            text += "\nExpecting " + parser_->GetMessageProperty(i, "Expecting") +
                    "\nin line: " + parser_->GetMessageProperty(i, "LineNumber") + " of " + dumpPath_;
        messages_.push_back({"Parser Error", text});
    }
}

bool Waview_VCDConverter::Convert() {
    parser_ = GetParserInterface();
    if (!parser_) {
        messages_.push_back({"Error", "Error: Can not use of vcd parser !"});
        return false;
    }
    // The VCD parser is built in; there is no compiled grammar to load.
    parser_->SetStreaming(true);
    if (useText_)
        parser_->OpenBuffer(std::move(inputText_));
    else
        parser_->OpenFileStream(dumpPath_);
    if (parser_->GetMessageCount() == 0) parser_->Parse();
    bool ok = false;
    if (parser_->GetMessageCount() == 0) {
        ok = Walk();
    }
    bytesParsed_ = parser_->BytesRead();
    if (parser_->GetMessageCount() > 0) {
        ReportParserMessages();
        ok = false;
    } else if (ok && wavePath_ == dumpPath_) {
        messages_.push_back({"Error", "The wave file would replace the dump " + dumpPath_});
        ok = false;
    } else if (ok) {
        std::string error;
        if (!WriteWaveFile(*doc_, wavePath_, &error, largestTime_)) {
            messages_.push_back({"Error", error});
            ok = false;
        } else {
            // Same end time a reader computes: the largest last-entry time.
            int64_t end = -1;
            for (int32_t i = 0; i < doc_->SignalCount(); ++i)
                if (const ChangeEntry* e = doc_->Signal(i)->LastEntry()) end = std::max(end, e->time);
            doc_->SetEndTime(end);
        }
    }
    ReleaseParserInterface(parser_);
    parser_ = nullptr;
    return ok;
}

bool Waview_VCDConverter::Walk() {
    ParserInterface& p = *parser_;
    const PGNode root = p.FindSymbolNode("value_change_dump", 1);
    const PGNode declList = p.GetChildNode(root, 0);
    for (PGNode n = p.GetChildNode(declList, 0); n; n = p.GetNextSiblingNode(n)) {
        const int32_t sym = p.NodeSymbol(n);
        if (sym == kSymScopeCommand) {
            if (Scope(p.GetChildNode(n, 0), 0, 0, 0) < 0) return false;
        } else if (sym == kSymTimescaleCommand) {
            if (!Timescale(n)) return false;
        }
    }
    const PGNode simList = p.GetNextSiblingNode(declList);
    for (PGNode n = p.GetChildNode(simList, 0); n; n = p.GetNextSiblingNode(n)) {
        if (cancel_ && cancel_->load(std::memory_order_relaxed)) return Fail("cancelled");
        switch (VcdSymbolName(p.NodeSymbol(n))[0]) {
            case 'c':
                break;
            case 'd':
                for (PGNode v = p.GetChildNode(n, 0); v; v = p.GetNextSiblingNode(v))
                    if (!ValueChange(v)) return false;
                break;
            case 's':
                if (!SetTime(p.NodeTextView(n))) return false;
                break;
            case 'v':
                if (!ValueChange(n)) return false;
                break;
            default:
                return Fail("unexpected simulation command " + p.GetNodeSymbolName(n));
        }
    }
    return true;
}

bool Waview_VCDConverter::Timescale(uint64_t node) {
    ParserInterface& p = *parser_;
    const PGNode coeff = p.GetChildNode(node, 0);
    const std::string unit = p.GetNodeText(p.GetNextSiblingNode(coeff));
    int64_t c = 0;
    if (!ParseDecimal(p.NodeTextView(coeff), c) || c <= 0 || c > INT32_MAX)
        return Fail("bad time coefficient '" + p.GetNodeText(coeff) + "'");
    static const char kUnits[] = "GMKsmunpf";
    // The whole unit must be one of s, ms … fs, Ks, Ms, Gs: its first letter
    // alone would take "parsecs" for picoseconds.
    const char* at = unit.empty() ? nullptr : std::strchr(kUnits, unit[0]);
    const bool whole = at && (unit == "s" || (unit.size() == 2 && unit[1] == 's' && unit[0] != 's'));
    if (!whole) return Fail("unknown time unit '" + unit + "'");
    coefficient_ = c;
    doc_->SetTimescaleExponent(static_cast<int32_t>((3 - (at - kUnits)) * 3));
    return true;
}

int32_t Waview_VCDConverter::Scope(uint64_t scopeType, int32_t level, int32_t order, int depth) {
    ParserInterface& p = *parser_;
    if (depth > kMaxScopeDepth) return Fail("scopes nest too deeply"), -1;
    const PGNode ident = p.GetNextSiblingNode(scopeType);
    if (!scopeType || !ident) return Fail("scope without identifier"), -1;
    Waview_CompositeHierarchy* row = doc_->NewCompositeRow();
    row->level = level;
    row->order = order;
    row->name = Cut(p.GetNodeText(ident));
    const int32_t rowIndex = row->index;
    int32_t i = 0;
    for (PGNode body = p.GetNextSiblingNode(ident); body; body = p.GetNextSiblingNode(body), ++i) {
        const PGNode item = p.GetChildNode(body, 0);
        int32_t child = -1;
        if (p.NodeSymbol(item) == kSymScopeCommand)
            child = Scope(p.GetChildNode(item, 0), level + 1, i, depth + 1);
        else if (p.NodeSymbol(item) == kSymVarCommand)
            child = Variable(item, level + 1, i);
        else
            return Fail("unexpected item in scope " + row->name), -1;
        if (child < 0) return -1;
        // Rows are owned by the document; fetch again since the list grew.
        static_cast<Waview_CompositeHierarchy*>(doc_->Row(rowIndex))->children.push_back(child);
    }
    return rowIndex;
}

int32_t Waview_VCDConverter::Variable(uint64_t node, int32_t level, int32_t order) {
    ParserInterface& p = *parser_;
    const std::string type = p.GetNodeText(p.GetChildNode(node, 0));
    const std::string sizeText = p.GetNodeText(p.GetChildNode(node, 1));
    const std::string code = p.GetNodeText(p.GetChildNode(node, 2));
    const std::string name = p.GetNodeText(p.GetChildNode(node, 3));
    const PGNode range = p.GetChildNode(node, 4);
    std::string first, second;
    if (range) {
        first = p.GetNodeText(p.GetChildNode(range, 0));
        second = p.GetNodeText(p.GetChildNode(range, 1));
    }
    int64_t size = 0;
    if (!ParseDecimal(sizeText, size) || size < 1) return Fail("bad size of " + name), -1;

    int32_t typeCode = 0;
    if (type == "integer")
        typeCode = kTypeInteger;
    else if (type == "real" || type == "realtime" || type == "shortreal")
        typeCode = kTypeReal;
    else if (size <= 1)
        typeCode = kTypeVerilog;
    // An alias: a later declaration of a code shows the first one's signal.
    const Target* alias = FindTarget(code);
    if (typeCode) {
        const bool share = alias && alias->signal && alias->signal->GetTypeCode() == typeCode;
        Waview_Signal* s = share ? alias->signal : doc_->NewSignal(typeCode);
        Waview_ScalarHierarchy* row = doc_->NewScalarRow();
        row->level = level;
        row->order = order;
        row->name = range ? Cut(name, "[" + first + "]") : Cut(name);
        row->signalIndex = s->index;
        AddTarget(code, Target{row->index, s, 0, 0});
        return row->index;
    }
    if (size > kMaxBusWidth)
        return Fail(name + " is " + sizeText + " bits wide; at most " + std::to_string(kMaxBusWidth) +
                    " are shown"),
               -1;
    Waview_CompositeHierarchy* bus = doc_->NewCompositeRow();
    bus->level = level;
    bus->order = order;
    bus->name = Cut(name);
    const int32_t busIndex = bus->index;
    AddTarget(code,
              Target{busIndex, nullptr, static_cast<uint32_t>(busBits_.size()), static_cast<uint32_t>(size)});
    int64_t msb = size - 1, lsb = 0;
    if (!first.empty() && !second.empty()) {
        if (!ParseDecimal(first, msb) || !ParseDecimal(second, lsb)) return Fail("bad range of " + name), -1;
    }
    const int64_t step = lsb < msb ? 1 : -1;
    int64_t bit = lsb + (size - 1) * step;
    std::vector<int32_t> children;
    children.reserve(size_t(size));
    const bool share = alias && !alias->signal && alias->width == size;
    for (int64_t i = 0; i < size; ++i, bit -= step) {
        Waview_Signal* s = share ? busBits_[alias->firstBit + size_t(i)] : doc_->NewSignal(kTypeVerilog);
        Waview_ScalarHierarchy* row = doc_->NewScalarRow();
        row->level = level + 1;
        row->order = static_cast<int32_t>(i);
        row->name = Cut(name, "[" + std::to_string(bit) + "]");
        row->signalIndex = s->index;
        children.push_back(row->index);
        if (!share) busBits_.push_back(s);
    }
    static_cast<Waview_CompositeHierarchy*>(doc_->Row(busIndex))->children = std::move(children);
    return busIndex;
}

bool Waview_VCDConverter::SetTime(std::string_view digits) {
    int64_t t = 0;
    if (!ParseDecimal(digits, t) || (coefficient_ > 1 && t > INT64_MAX / coefficient_))
        return Fail("time #" + std::string(digits) + " is too large");
    currentTime_ = t * coefficient_;
    if (currentTime_ > largestTime_) largestTime_ = currentTime_;
    return true;
}

bool Waview_VCDConverter::Pack(std::string_view code, uint64_t& key) {
    if (code.empty() || code.size() > 7) return false;
    uint64_t k = uint64_t(code.size()) << 56;
    for (size_t i = 0; i < code.size(); ++i) k |= uint64_t(uint8_t(code[i])) << (8 * i);
    key = k;
    return true;
}

const Waview_VCDConverter::Target* Waview_VCDConverter::FindTarget(std::string_view code) const {
    uint64_t key;
    if (Pack(code, key)) {
        if (shortCodes_.empty()) return nullptr;
        const size_t mask = shortCodes_.size() - 1;
        for (size_t i = (key * 0x9E3779B97F4A7C15ull) >> 20 & mask;; i = (i + 1) & mask) {
            if (shortCodes_[i].first == key) return &targets_[shortCodes_[i].second];
            if (shortCodes_[i].first == 0) return nullptr;
        }
    }
    auto it = longCodes_.find(code);
    return it == longCodes_.end() ? nullptr : &targets_[it->second];
}

void Waview_VCDConverter::AddTarget(const std::string& code, const Target& t) {
    if (FindTarget(code)) return; // the first declaration keeps the code
    const int32_t index = static_cast<int32_t>(targets_.size());
    targets_.push_back(t);
    uint64_t key;
    if (!Pack(code, key)) {
        longCodes_.emplace(code, index);
        return;
    }
    if ((shortCount_ + 1) * 2 > shortCodes_.size()) {
        std::vector<std::pair<uint64_t, int32_t>> old(std::max<size_t>(64, shortCodes_.size() * 2));
        old.swap(shortCodes_);
        shortCount_ = 0;
        for (const auto& [k, v] : old)
            if (k) {
                const size_t mask = shortCodes_.size() - 1;
                size_t i = (k * 0x9E3779B97F4A7C15ull) >> 20 & mask;
                while (shortCodes_[i].first) i = (i + 1) & mask;
                shortCodes_[i] = {k, v};
                ++shortCount_;
            }
    }
    const size_t mask = shortCodes_.size() - 1;
    size_t i = (key * 0x9E3779B97F4A7C15ull) >> 20 & mask;
    while (shortCodes_[i].first) i = (i + 1) & mask;
    shortCodes_[i] = {key, index};
    ++shortCount_;
}

bool Waview_VCDConverter::ValueChange(uint64_t node) {
    ParserInterface& p = *parser_;
    const PGNode value = p.GetChildNode(node, 0);
    const PGNode ident = p.GetNextSiblingNode(value);
    const Target* target = FindTarget(p.NodeTextView(ident));
    // An undeclared identifier code names no signal: the change is skipped.
    if (!target) return true;
    const std::string_view text = p.NodeTextView(value);
    const int32_t sym = p.NodeSymbol(value);
    if (sym == kSymBinaryNumber) {
        // A scalar value aimed at a bus has no signal to go to: skipped.
        if (target->signal) target->signal->AppendState(currentTime_, StateCodeOf(text[0]));
        return true;
    }
    if (sym == kSymRealNumber) {
        if (target->signal) {
            char buf[64];
            const size_t n = std::min(text.size(), sizeof buf - 1);
            std::memcpy(buf, text.data(), n);
            buf[n] = 0;
            target->signal->AppendReal(currentTime_, std::atof(buf));
        }
        return true;
    }
    if (sym != kSymVectorNumber) return Fail("unexpected value change");
    if (target->signal) {
        target->signal->AppendInteger(currentTime_, static_cast<int64_t>(UnsignedOfBits(text)));
        return true;
    }
    const size_t n = target->width;
    Waview_Signal* const* bits = busBits_.data() + target->firstBit;
    // Shorter values extend on the left: 0 for 0/1, else the first digit (x, z).
    const char pad = text.empty() ? '0' : (text[0] == '0' || text[0] == '1') ? '0' : text[0];
    const size_t len = text.size();
    if (len >= n) {
        const char* src = text.data() + (len - n); // longer values keep their low bits
        for (size_t i = 0; i < n; ++i) bits[i]->AppendState(currentTime_, StateCodeOf(src[i]));
    } else {
        const size_t padded = n - len;
        const int32_t padCode = StateCodeOf(pad);
        for (size_t i = 0; i < padded; ++i) bits[i]->AppendState(currentTime_, padCode);
        for (size_t i = padded; i < n; ++i) bits[i]->AppendState(currentTime_, StateCodeOf(text[i - padded]));
    }
    return true;
}

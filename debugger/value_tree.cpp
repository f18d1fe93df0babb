#include "debugger/value_tree.h"

#include "debugger/gdb_command.h"
#include "debugger/mi_text.h"

#include <cctype>

namespace korl {

namespace {

constexpr std::size_t kMaxPrintedDepth = 256;

class PrintedReader {
public:
    explicit PrintedReader(std::string_view t) : t_(t) {}

    bool Value(PrintedNode& node) {
        SkipBlanks();
        if (AtEnd()) return false;
        std::size_t start = pos_;
        if (Peek() == '{' && FunctionPointer()) {
            if (!Scalar()) return false;
            node.text.assign(t_.substr(start, pos_ - start));
            return true;
        }
        if (Peek() == '{') {
            if (++depth_ > kMaxPrintedDepth) return false;
            node.braced = true;
            ++pos_;
            SkipBlanks();
            while (!AtEnd() && Peek() != '}') {
                PrintedNode child;
                if (!Item(child)) return false;
                if (child.text != "<No data fields>" && !StartsWith(child.name, "_vptr"))
                    node.children.push_back(std::move(child));
                if (pendingElided_) node.elided = true;
                pendingElided_ = false;
                SkipBlanks();
                if (Take("...")) node.elided = true;
                SkipBlanks();
                if (AtEnd()) return false;
                if (Peek() == ',') {
                    ++pos_;
                    SkipBlanks();
                } else if (Peek() != '}') {
                    return false;
                }
            }
            if (AtEnd()) return false;
            ++pos_;
            --depth_;
        } else {
            if (!Scalar()) return false;
            std::string_view text = t_.substr(start, pos_ - start);
            while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
            if (text.size() > 3 && text.substr(text.size() - 3) == "...") {
                // gdb's element limit cuts a run of scalars: "199..."
                text.remove_suffix(3);
                elidedScalar_ = true;
            }
            node.text.assign(text);
            return !node.text.empty();
        }
        node.text.assign(t_.substr(start, pos_ - start));
        return true;
    }

    bool Item(PrintedNode& node) {
        std::size_t start = pos_;
        if (Name(node.name) && Take(" = ")) {
        } else {
            node.name.clear();
            pos_ = start;
        }
        elidedScalar_ = false;
        if (!Value(node)) return false;
        SkipBlanks();
        if (Take("<repeats ")) {
            std::size_t digits = pos_;
            while (!AtEnd() && std::isdigit(static_cast<unsigned char>(Peek()))) ++pos_;
            auto n = ParseUnsigned(t_.substr(digits, pos_ - digits));
            if (!n || !Take(" times>")) return false;
            node.repeats = std::size_t(*n);
        }
        if (elidedScalar_) pendingElided_ = true;
        return true;
    }

    bool Name(std::string& name) {
        std::size_t start = pos_;
        if (AtEnd()) return false;
        if (Peek() == '<') {
            int depth = 0;
            while (!AtEnd()) {
                char c = t_[pos_++];
                if (c == '<')
                    ++depth;
                else if (c == '>' && --depth == 0)
                    break;
            }
            if (depth != 0) return false;
        } else if (Peek() == '[') {
            while (!AtEnd() && Peek() != ']') ++pos_;
            if (AtEnd()) return false;
            ++pos_;
        } else {
            if (Take("static ")) {
            }
            while (!AtEnd() && (std::isalnum(static_cast<unsigned char>(Peek())) || Peek() == '_' ||
                                Peek() == '.' || Peek() == ':' || Peek() == '$'))
                ++pos_;
        }
        if (pos_ == start) return false;
        name.assign(t_.substr(start, pos_ - start));
        return true;
    }

    // "{int (int)} 0x1139 <scale(int, int)>": a function's address, whose
    // type is braced; pos_ moves past the type when it is one.
    bool FunctionPointer() {
        std::size_t close = t_.find('}', pos_);
        if (close == std::string_view::npos || !StartsWith(t_.substr(close + 1), " 0x")) return false;
        std::string_view type = t_.substr(pos_ + 1, close - pos_ - 1);
        if (type.find('=') != std::string_view::npos || type.find('{') != std::string_view::npos)
            return false;
        pos_ = close + 1;
        return true;
    }

    // A scalar up to the next ',' or '}' outside quotes, parentheses and
    // symbol brackets ("0x55 <vtable for sc_dt::sc_int<8>+16>").
    bool Scalar() {
        int paren = 0, angle = 0;
        std::size_t start = pos_;
        while (!AtEnd()) {
            char c = Peek();
            if (c == '"' || c == '\'') {
                if (!Quoted(c)) return false;
                continue;
            }
            if (angle == 0 && paren == 0 && (c == ',' || c == '}')) break;
            if (angle == 0 && paren == 0 && StartsWith(t_.substr(pos_), " <repeats ")) break;
            if (c == '(')
                ++paren;
            else if (c == ')' && paren > 0)
                --paren;
            else if (c == '<' && (angle > 0 || pos_ == start || t_[pos_ - 1] == ' '))
                ++angle;
            else if (c == '>' && angle > 0)
                --angle;
            ++pos_;
        }
        return pos_ > start;
    }

    bool Quoted(char q) {
        ++pos_;
        while (!AtEnd()) {
            char c = t_[pos_++];
            if (c == '\\') {
                if (AtEnd()) return false;
                ++pos_;
            } else if (c == q) {
                return true;
            }
        }
        return false;
    }

    bool Take(std::string_view s) {
        if (!StartsWith(t_.substr(pos_), s)) return false;
        pos_ += s.size();
        return true;
    }
    void SkipBlanks() {
        while (!AtEnd() && Peek() == ' ') ++pos_;
    }
    bool AtEnd() const { return pos_ >= t_.size(); }
    char Peek() const { return t_[pos_]; }

    std::size_t pos_ = 0;
    bool pendingElided_ = false;

private:
    std::string_view t_;
    std::size_t depth_ = 0;
    bool elidedScalar_ = false;
};

bool IsSdCoreBase(std::string_view name) {
    return StartsWith(name, "<sc_core::") || StartsWith(name, "<sc_module") || StartsWith(name, "<sc_object");
}

} // namespace

bool ParsePrintedValue(std::string_view text, PrintedNode& out) {
    out = PrintedNode{};
    PrintedReader r(text);
    if (!r.Value(out)) return false;
    r.SkipBlanks();
    return r.AtEnd() && out.braced;
}

std::string CollapsedLine(const WatchValue& node) {
    if (!node.aggregate) return node.value;
    std::string out = "{";
    const auto& c = node.children;
    for (std::size_t i = 0; i < c.size();) {
        if (i > 0) out += ", ";
        if (!node.array) {
            out += c[i].name + " = " + c[i].value;
            ++i;
            continue;
        }
        std::size_t run = 1;
        while (i + run < c.size() && c[i + run].value == c[i].value) ++run;
        if (run >= kRepeatThreshold) {
            out += c[i].value + " <repeats " + std::to_string(run) + " times>";
            i += run;
        } else {
            out += c[i].value;
            ++i;
        }
    }
    if (node.moreFrom > 0) out += "...";
    return out + "}";
}

WatchTreeEvaluation::WatchTreeEvaluation(std::string expression) {
    root_.name = expression;
    root_.expression = expression;
    rootEval_ = std::make_unique<WatchEvaluation>(std::move(expression));
    if (rootEval_->Done()) Supply(EvalResult{});
}

std::unique_ptr<WatchTreeEvaluation> WatchTreeEvaluation::Page(std::string arrayExpression,
                                                               std::size_t from) {
    std::unique_ptr<WatchTreeEvaluation> t(new WatchTreeEvaluation());
    t->root_.name = arrayExpression;
    t->root_.expression = arrayExpression;
    t->pageFrom_ = from;
    t->stage_ = Stage::PageLength;
    t->next_ = "sizeof(" + arrayExpression + ")/sizeof(" + MemberPath(arrayExpression, "[0]") + ")";
    if (t->next_.size() > kMaxCommandArgument) {
        t->root_.value = std::string(kExpressionTooLong);
        t->done_ = true;
    }
    return t;
}

const std::string& WatchTreeEvaluation::NextExpression() const {
    static const std::string kNone;
    if (done_) return kNone;
    switch (stage_) {
        case Stage::Root:
            return rootEval_->NextExpression();
        case Stage::Members:
            return pending_.front().eval->NextExpression();
        default:
            return next_;
    }
}

WatchValue* WatchTreeEvaluation::At(const std::vector<std::size_t>& path) {
    WatchValue* node = &root_;
    for (std::size_t i : path) node = &node->children[i];
    return node;
}

void WatchTreeEvaluation::Build(WatchValue& node, const PrintedNode& printed, const std::string& expression,
                                std::vector<std::size_t>& path, std::size_t indexBase) {
    node.expression = expression;
    if (!printed.braced) {
        node.value = printed.text;
        return;
    }
    ValueShape shape = ShapeOf(printed.text);
    if (shape != ValueShape::Aggregate) {
        auto eval = std::make_unique<WatchEvaluation>(expression, printed.text);
        if (eval->Done())
            node.value = eval->Result();
        else
            pending_.push_back({path, std::move(eval)});
        return;
    }
    node.aggregate = true;
    bool named = !printed.children.empty() && !printed.children.front().name.empty() &&
                 printed.children.front().name.front() != '[';
    node.array = !named;
    std::size_t index = indexBase;
    bool full = false;
    for (const PrintedNode& child : printed.children) {
        if (node.array) {
            for (std::size_t r = 0; r < child.repeats; ++r, ++index) {
                if (node.children.size() >= kWatchPage) {
                    node.moreFrom = index;
                    full = true;
                    break;
                }
                WatchValue c;
                c.name = "[" + std::to_string(index) + "]";
                path.push_back(node.children.size());
                node.children.push_back(std::move(c));
                Build(node.children.back(), child, MemberPath(expression, node.children.back().name), path,
                      0);
                path.pop_back();
            }
            if (full) break;
            continue;
        }
        if (IsSdCoreBase(child.name)) continue; // the kernel's bookkeeping, not the user's data
        WatchValue c;
        c.name = child.name;
        bool base = !child.name.empty() && child.name.front() == '<';
        std::string path2 = base ? expression : MemberPath(expression, "." + child.name);
        path.push_back(node.children.size());
        node.children.push_back(std::move(c));
        Build(node.children.back(), child, path2, path, 0);
        path.pop_back();
    }
    if (node.array && printed.elided && !full) node.moreFrom = index;
}

void WatchTreeEvaluation::Collapse(WatchValue& node) {
    for (auto& c : node.children) Collapse(c);
    if (node.aggregate) node.value = CollapsedLine(node);
}

void WatchTreeEvaluation::Advance() {
    while (!pending_.empty() && pending_.front().eval->Done()) {
        At(pending_.front().path)->value = pending_.front().eval->Result();
        pending_.pop_front();
    }
    if (pending_.empty()) {
        Collapse(root_);
        done_ = true;
        return;
    }
    stage_ = Stage::Members;
}

void WatchTreeEvaluation::Supply(const EvalResult& result) {
    if (done_) return;
    switch (stage_) {
        case Stage::Root: {
            if (!rootEval_->Done()) rootEval_->Supply(result);
            if (!rootEval_->Done()) return;
            PrintedNode printed;
            if (rootEval_->Aggregate() && ParsePrintedValue(rootEval_->Result(), printed)) {
                std::vector<std::size_t> path;
                Build(root_, printed, rootEval_->Expression(), path, 0);
                root_.expression = rootEval_->Expression();
                Advance();
                return;
            }
            root_.value = rootEval_->Result();
            done_ = true;
            return;
        }
        case Stage::PageLength: {
            auto length = result.ok ? ParseUnsigned(result.value) : std::nullopt;
            if (!length || *length <= pageFrom_) {
                root_.value = result.ok ? std::string() : result.value;
                done_ = true;
                return;
            }
            std::size_t count = std::min<std::size_t>(std::size_t(*length) - pageFrom_, kWatchPage);
            stage_ = Stage::PageItems;
            next_ = MemberPath(root_.expression, "[" + std::to_string(pageFrom_) + "]") + "@" +
                    std::to_string(count);
            if (pageFrom_ + count < *length) root_.moreFrom = pageFrom_ + count;
            return;
        }
        case Stage::PageItems: {
            PrintedNode printed;
            if (!result.ok || !ParsePrintedValue(result.value, printed)) {
                root_.value = result.value;
                done_ = true;
                return;
            }
            std::size_t more = root_.moreFrom;
            root_.moreFrom = 0;
            std::vector<std::size_t> path;
            Build(root_, printed, root_.expression, path, pageFrom_);
            root_.array = true;
            root_.moreFrom = more;
            Advance();
            return;
        }
        case Stage::Members:
            pending_.front().eval->Supply(result);
            Advance();
            return;
    }
}

WatchValue EvaluateWatchTree(std::string_view expression,
                             const std::function<EvalResult(const std::string&)>& evaluate) {
    WatchTreeEvaluation tree{std::string(expression)};
    while (!tree.Done()) tree.Supply(evaluate(tree.NextExpression()));
    return tree.Result();
}

} // namespace korl

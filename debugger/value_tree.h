// Arrays, structs and classes as trees of decoded values. gdb prints an
// aggregate once; its SystemC integers and logic values are decoded from
// that text, and only members that need more (vectors, big integers,
// signals, ports) are asked for again through their expression path.
#pragma once

#include "debugger/value_decoder.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korl {

// Array elements shown at once; the "..." child loads the next page.
constexpr std::size_t kWatchPage = 200;
// gdb's own threshold for "<repeats N times>".
constexpr std::size_t kRepeatThreshold = 10;

struct WatchValue {
    std::string name;       // member name, "[3]", "<Base>", or the watch expression
    std::string expression; // what gdb evaluates for this node
    std::string value;      // decoded; for an aggregate its collapsed line
    std::vector<WatchValue> children;
    bool aggregate = false;
    bool array = false;
    // An array longer than shown: the index its "..." child loads from.
    std::size_t moreFrom = 0;
};

// gdb's printed aggregate as a tree of undecoded values (names and the
// text of each leaf); false when the text is not one gdb would print.
struct PrintedNode {
    std::string name; // empty for array elements
    std::string text; // a leaf's text, or the whole "{...}"
    std::vector<PrintedNode> children;
    std::size_t repeats = 1;
    bool braced = false;
    bool elided = false; // gdb stopped at its element limit ("...")
};
bool ParsePrintedValue(std::string_view text, PrintedNode& out);

// The collapsed line of a decoded aggregate, like gdb's own.
std::string CollapsedLine(const WatchValue& node);

// One watch as a tree, step by step like WatchEvaluation.
class WatchTreeEvaluation {
public:
    explicit WatchTreeEvaluation(std::string expression);
    // Loads the page of `array` (its expression) starting at `from`.
    static std::unique_ptr<WatchTreeEvaluation> Page(std::string arrayExpression, std::size_t from);

    bool Done() const { return done_; }
    const std::string& NextExpression() const;
    void Supply(const EvalResult& result);
    const WatchValue& Result() const { return root_; }

private:
    struct Pending {
        std::vector<std::size_t> path; // child indices from the root
        std::unique_ptr<WatchEvaluation> eval;
    };
    WatchTreeEvaluation() = default;
    void Build(WatchValue& node, const PrintedNode& printed, const std::string& expression,
               std::vector<std::size_t>& path, std::size_t indexBase);
    void Advance();
    void Collapse(WatchValue& node);
    WatchValue* At(const std::vector<std::size_t>& path);

    enum class Stage { Root, PageLength, PageItems, Members };
    Stage stage_ = Stage::Root;
    bool done_ = false;
    WatchValue root_;
    std::unique_ptr<WatchEvaluation> rootEval_;
    std::deque<Pending> pending_;
    std::string next_;
    std::size_t pageFrom_ = 0;
};

// Whole evaluation with a blocking evaluation step.
WatchValue EvaluateWatchTree(std::string_view expression,
                             const std::function<EvalResult(const std::string&)>& evaluate);

} // namespace korl

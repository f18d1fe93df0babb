// Watch evaluation: rewriting ports and signals to their current value and
// decoding what gdb prints for the SystemC data types.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korl {

// Longest value text kept from a reply (longer values are cut).
constexpr std::size_t kMaxValueText = 1024 * 1024;
// Widest vector or number decoded; wider objects show gdb's text.
constexpr std::size_t kMaxDecodedBits = 1 << 20;
// Most 30-bit digits of a big integer shown as a decimal number.
constexpr std::size_t kMaxBigDigits = 2048;

inline constexpr std::string_view kNoSymbol = "No symbol in current context";
inline constexpr std::string_view kExpressionTooLong = "Expression too long";

// The "value=" text of a "^done" reply, escapes as gdb wrote them.
std::string ReplyValue(std::string_view reply);

// `width` low bits of `word`, most significant first, '0'-padded.
std::string FormatBits(std::uint64_t word, int width);
// 0, 1, z (control 1, data 0), x (both 1) per bit.
std::string FormatLogic(std::uint64_t data, std::uint64_t control, int width);

// The same over 32-bit words, least significant word first.
std::string FormatBitWords(const std::vector<std::uint32_t>& words, std::size_t width);
std::string FormatLogicWords(const std::vector<std::uint32_t>& data,
                             const std::vector<std::uint32_t>& control, std::size_t width);

// 30-bit digits, least significant first, as one decimal number.
std::string BigDigitsToDecimal(const std::vector<std::uint32_t>& digits, bool negative);

// Words of a printed array ("{1, 2}", "{0 <repeats 12 times>, 5}") or one
// word ("165"); nullopt unless exactly `count` unsigned 32-bit words.
std::optional<std::vector<std::uint32_t>> ParseWordList(std::string_view text, std::size_t count);

struct EvalResult {
    bool ok = false;
    std::string value; // the value text, or kNoSymbol after an error
};

// One watch, step by step: ask NextExpression() of gdb, hand the answer to
// Supply(), until Done(). Lets a blocking caller and a callback-driven one
// share the same rules.
class WatchEvaluation {
public:
    explicit WatchEvaluation(std::string expression);
    // The first answer is already known (a member of a printed aggregate).
    WatchEvaluation(std::string expression, const std::string& knownValue);

    bool Done() const { return done_; }
    const std::string& NextExpression() const { return next_; }
    void Supply(const EvalResult& result);
    const std::string& Result() const { return result_; }
    // The value is an array, struct or class: Result() is gdb's text of it
    // and Expression() the expression that printed it (a reference or a
    // pointer followed).
    bool Aggregate() const { return aggregate_; }
    const std::string& Expression() const { return expression_; }

private:
    enum class Stage { First, Rewritten, Deref, BigDigits, BitData, LogicData, LogicControl };

    void Decode();
    void Finish(std::string text);
    void FetchWords(const std::string& pointerMember, const std::string& countMember);
    bool TakeWords(const EvalResult& result);

    Stage stage_ = Stage::First;
    bool done_ = false;
    std::string expression_; // X: the expression whose value is decoded
    std::string next_;
    std::string first_; // the first value, shown when a follow-up fails
    std::string value_; // the value being decoded
    std::string result_;
    std::string prefix_; // "0x... -> " for a pointer followed
    bool aggregate_ = false;

    // word fetching, in chunks that gdb prints without eliding
    std::string pointer_, countMember_;
    std::size_t wordsWanted_ = 0, chunkStart_ = 0, chunkSize_ = 0;
    std::vector<std::uint32_t> words_, data_;
    std::size_t width_ = 0;
    bool negative_ = false;
};

// `expression` with `member` (".m_val", "[3]") appended, parenthesised
// first unless it is a plain chain of names, members and subscripts.
std::string MemberPath(const std::string& expression, std::string_view member);

// What a printed value is, from its text alone.
enum class ValueShape {
    Scalar,    // a plain C++ value or gdb's message
    SystemC,   // a SystemC integer, vector or logic value: decoded as one value
    Channel,   // a signal or port: its current value is read
    Aggregate, // an array, struct or class: shown as a tree
};
ValueShape ShapeOf(std::string_view value);

// Whole evaluation with a blocking evaluation step.
std::string EvaluateWatch(std::string_view expression,
                          const std::function<EvalResult(const std::string&)>& evaluate);

} // namespace korl

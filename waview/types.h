#pragma once
// Value types of the wave viewer: state tables, colours, levels, text formats,
// number conversions shared with composite rows, and per-segment geometry.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

static_assert(std::endian::native == std::endian::little,
              "entries are stored and written in little-endian memory order");

// One value change: time and a 64-bit value field (state code in the low
// word, a 64-bit integer, or a double). Same layout in memory and on disk.
struct ChangeEntry {
    int64_t time = -1;
    uint64_t bits = 0;

    int32_t State() const { return static_cast<int32_t>(static_cast<uint32_t>(bits)); }
    int64_t Int() const { return static_cast<int64_t>(bits); }
    double Real() const {
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    void SetState(int32_t code) { bits = static_cast<uint32_t>(code); }
    void SetInt(int64_t v) { bits = static_cast<uint64_t>(v); }
    void SetReal(double v) { std::memcpy(&bits, &v, sizeof bits); }
};
static_assert(sizeof(ChangeEntry) == 16);

enum TypeCode : int32_t {
    kTypeInteger = 1,
    kTypeReal = 2,
    kTypeBit = 4,
    kTypeVerilog = 8,
    kTypeStdLogic = 16,
};

enum Radix : int32_t {
    kRadixBinary = 1,
    kRadixHex = 2,
    kRadixUnsigned = 4,
    kRadixSigned = 8,
    kRadixOctal = 16, // not in the row popup's original four; listings and tests
};

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kNumericColour{255, 128, 128};
inline constexpr Rgb kBusColour{255, 255, 0};

// Geometry of one drawing view: x(t) = ((t - start) * num) / den, truncated.
struct SegmentView {
    int64_t start = 0;
    int64_t scaleNum = 1;
    int64_t scaleDen = 1;
    int width = 0; // pixels
    int64_t X(int64_t t) const;
};

struct RowRect {
    int top = 0;
    int bottom = 0;
};

// The device context of a segment: receives solid one-pixel lines.
class SegmentSink {
public:
    virtual ~SegmentSink() = default;
    virtual void Line(int64_t x1, int64_t y1, int64_t x2, int64_t y2, Rgb colour) = 0;
};

class Waview_Type {
public:
    explicit Waview_Type(int32_t code) : typeCode_(code) {}
    virtual ~Waview_Type() = default;
    virtual int32_t GetTypeCode() const { return typeCode_; }
    // Draws the stretch from prev (or the left edge) to next. Returns 1 while
    // x1 is inside the view, 0 when the caller should stop walking entries.
    virtual int DrawSegment(const SegmentView& view, const RowRect& rect, SegmentSink& dc,
                            const ChangeEntry* prev, const ChangeEntry* next, const ChangeEntry* minEntry,
                            const ChangeEntry* maxEntry, int digital) const = 0;
    // Text of one entry in a radix; " " when entry is null.
    virtual std::string& FormatEntry(std::string& out, const ChangeEntry* entry, int radix) const = 0;

private:
    int32_t typeCode_;
};

class Waview_ValueType : public Waview_Type {
public:
    using Waview_Type::Waview_Type;
};

class Waview_IntType : public Waview_ValueType {
public:
    Waview_IntType() : Waview_ValueType(kTypeInteger) {}
    int DrawSegment(const SegmentView&, const RowRect&, SegmentSink&, const ChangeEntry*, const ChangeEntry*,
                    const ChangeEntry*, const ChangeEntry*, int) const override;
    std::string& FormatEntry(std::string& out, const ChangeEntry* entry, int radix) const override;
};

class Waview_RealType : public Waview_ValueType {
public:
    Waview_RealType() : Waview_ValueType(kTypeReal) {}
    int DrawSegment(const SegmentView&, const RowRect&, SegmentSink&, const ChangeEntry*, const ChangeEntry*,
                    const ChangeEntry*, const ChangeEntry*, int) const override;
    std::string& FormatEntry(std::string& out, const ChangeEntry* entry, int radix) const override;
};

struct StateInfo {
    char ch;
    Rgb colour;
    double level;
};

class Waview_StateType : public Waview_Type {
public:
    Waview_StateType(int32_t code, const StateInfo* table, int count)
        : Waview_Type(code), table_(table), count_(count) {}
    int StateCount() const { return count_; }
    // Codes outside the table (a dump's odd value character keeps its own
    // character code) show as that character, drawn red at mid level.
    char StateChar(int32_t code) const;
    Rgb StateColour(int32_t code) const;
    double StateLevel(int32_t code) const;

    int DrawSegment(const SegmentView&, const RowRect&, SegmentSink&, const ChangeEntry*, const ChangeEntry*,
                    const ChangeEntry*, const ChangeEntry*, int) const override;
    std::string& FormatEntry(std::string& out, const ChangeEntry* entry, int radix) const override;

private:
    const StateInfo* table_;
    int count_;
};

class Waview_BitType : public Waview_StateType {
public:
    Waview_BitType();
};
class Waview_VerilogType : public Waview_StateType {
public:
    Waview_VerilogType();
};
class Waview_StdLogicType : public Waview_StateType {
public:
    Waview_StdLogicType();
};

// Number conversions shared with composite rows.
std::string BinaryDigits(uint64_t value);       // "0" for 0, no leading zeros
std::string HexDigits(uint64_t value);          // "0h" for 0, upper case, trailing "h"
uint64_t UnsignedOfBits(std::string_view bits); // '1' adds, anything else is 0
int64_t SignedOfBits(std::string_view bits);

// Texts of a vector's digits (most significant first) in a radix, exact at
// any width: 1 " 1X0Zb", 2 " xAh" (a digit with an x bit reads x, one with z
// bits and no x z), 16 octal " 7o" likewise, 4 " 255u" and 8 " -1d" (any x
// gives " xu " / " xd ", else any z " zu " / " zd "). Weak L and H count as 0
// and 1; U, W, - and odd characters as x. Any other radix: the digits.
std::string VectorText(std::string_view digits, int radix);
// Exact decimal of a two-state bit string of any width ('1' is one, every
// other character zero); signed reads the first character as the sign.
std::string DecimalOfBits(std::string_view bits, bool isSigned);

// Name of a type code for listings ("integer", "real", "two-state", ...).
const char* TypeCodeName(int32_t code);

// Time label of the axis, cursors and tooltips: " 1500p ", " 5n ", " 0 ".
std::string TimeLabel(int64_t t, int32_t timescaleExponent);

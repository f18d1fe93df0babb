// Display rows of the waveform document: scalar rows on one signal,
// composite rows (buses and groups) over their children.
#include "waview/model.h"
#include "waview/store.h"
#include <algorithm>
#include <cstring>
#include <cinttypes>
#include <cstdio>
#include <stdexcept>

// --- rows ------------------------------------------------------------------

Waview_Hierarchy::~Waview_Hierarchy() = default;

void Waview_Hierarchy::SetRadix(int32_t r) {
    radix = r;
    InvalidateValueText();
}

bool Waview_Hierarchy::SaveRow(FileManager& f) const {
    const int32_t kind = GetKind();
    const uint32_t len = static_cast<uint32_t>(std::min<size_t>(name.size(), kMaxRowName));
    f.Write(&kind, 4);
    f.Write(&len, 4);
    f.Write(name.data(), len);
    f.Write(&level, 4);
    f.Write(&order, 4);
    f.Write(&visible, 4);
    f.Write(&digital, 4);
    return !f.Failed();
}

bool Waview_Hierarchy::LoadRow(FileManager& f, std::string* error) {
    uint32_t len = 0;
    if (!f.Read(&len, 4)) return false;
    if (len > kMaxRowName) {
        if (error) *error = "row name of " + std::to_string(len) + " bytes is too long";
        return false;
    }
    name.assign(len, '\0');
    if (len && !f.Read(name.data(), len)) return false;
    return f.Read(&level, 4) && f.Read(&order, 4) && f.Read(&visible, 4) && f.Read(&digital, 4);
}

Waview_Signal* Waview_ScalarHierarchy::GetSignal() const {
    return owner ? owner->Signal(signalIndex) : nullptr;
}

bool Waview_ScalarHierarchy::SaveRow(FileManager& f) const {
    Waview_Hierarchy::SaveRow(f);
    return f.Write(&signalIndex, 4);
}

bool Waview_ScalarHierarchy::LoadRow(FileManager& f, std::string* error) {
    return Waview_Hierarchy::LoadRow(f, error) && f.Read(&signalIndex, 4);
}

std::string& Waview_ScalarHierarchy::ValueTextAt(std::string& out, int64_t t) {
    if (t != valueTime || valueText.empty()) {
        valueTime = t;
        if (Waview_Signal* s = GetSignal())
            s->ValueTextAt(valueText, t, radix);
        else
            valueText = " ";
    }
    out = valueText;
    return out;
}

Waview_Hierarchy* Waview_CompositeHierarchy::ChildAt(int32_t i) const {
    if (i < 0 || i >= static_cast<int32_t>(children.size())) throw std::out_of_range("child index");
    return owner->Row(children[i]);
}

int32_t Waview_CompositeHierarchy::GetDepth() const {
    int32_t depth = level;
    for (int32_t c : children)
        if (Waview_Hierarchy* r = owner->Row(c)) depth = std::max(depth, r->GetDepth());
    return depth;
}

bool Waview_CompositeHierarchy::SaveRow(FileManager& f) const {
    Waview_Hierarchy::SaveRow(f);
    const int32_t count = static_cast<int32_t>(children.size());
    f.Write(&expanded, 4);
    f.Write(&count, 4);
    if (count) f.Write(children.data(), sizeof(int32_t) * children.size());
    return !f.Failed();
}

bool Waview_CompositeHierarchy::LoadRow(FileManager& f, std::string* error) {
    int32_t count = 0;
    if (!Waview_Hierarchy::LoadRow(f, error) || !f.Read(&expanded, 4) || !f.Read(&count, 4)) return false;
    if (count < 0) {
        if (error) *error = "negative child count";
        return false;
    }
    children.clear();
    for (int32_t i = 0; i < count; ++i) {
        int32_t c = 0;
        if (!f.Read(&c, 4)) return false;
        children.push_back(c);
    }
    return true;
}

void Waview_CompositeHierarchy::BindStore(const WaveStore* store, uint32_t signal, int64_t closeAt) {
    store_ = store;
    storeSignal_ = signal;
    storeClose_ = closeAt;
    InvalidateValueText();
}

std::string& Waview_CompositeHierarchy::ValueTextAt(std::string& out, int64_t t) {
    if (t == valueTime && !valueText.empty()) {
        out = valueText;
        return out;
    }
    valueTime = t;
    if (store_ && storeSignal_ < store_->signals.size()) {
        // One look-up in the packed bus instead of one per bit; the same
        // text the bits would give (before the first change every bit shows
        // its type's code 0).
        const WaveStoreSignal& ss = store_->signals[storeSignal_];
        if (ss.Count() == 0 || (storeClose_ != -1 && t > storeClose_)) {
            valueText = " ";
        } else {
            const int64_t n = store_->ChangeBefore(storeSignal_, t);
            std::string digits;
            if (n >= 0) {
                digits = ss.Digits(size_t(n));
            } else {
                Waview_Signal* first = children.empty() ? nullptr : ChildAt(0)->GetSignal();
                const auto* st = first ? dynamic_cast<const Waview_StateType*>(&first->Type()) : nullptr;
                digits.assign(ss.width, st ? st->StateChar(0) : '0');
            }
            // A four-state bit shows its unknown as X; nine-state keeps U W L H -.
            valueText = VectorText(digits, radix);
        }
        out = valueText;
        return out;
    }
    std::string text, child;
    for (int32_t c : children)
        if (Waview_Hierarchy* r = owner->Row(c)) text += r->ValueTextAt(child, t);
    // 64-bit: a level read from a file may be anything an int holds.
    // No child with a value (before the first change): no value at all.
    if (text.find_first_not_of(' ') == std::string::npos)
        text = " ";
    else if (int64_t{GetDepth()} == int64_t{level} + 1)
        text = VectorText(text, radix);
    valueText = text;
    out = valueText;
    return out;
}

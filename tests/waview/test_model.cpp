#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "waview/model.h"

namespace {

Waview_ScalarHierarchy* Bind(Waview_FileManager& doc, Waview_Signal* s, int level, const char* name) {
    Waview_ScalarHierarchy* r = doc.NewScalarRow();
    r->signalIndex = s->index;
    r->level = level;
    r->name = name;
    return r;
}

} // namespace

TEST(Model, EmptySignalHasNoEntriesAndNoValue) {
    Waview_FileManager doc;
    Waview_Signal* s = doc.NewSignal(kTypeVerilog);
    EXPECT_EQ(s->EntryCount(), 0);
    EXPECT_EQ(s->LowerBound(0), nullptr);
    EXPECT_EQ(s->ValueAt(5), nullptr);
    s->AppendClosing(10); // nothing to copy
    EXPECT_EQ(s->EntryCount(), 0);
    EXPECT_EQ(doc.NewSignal(3), nullptr);
    EXPECT_EQ(doc.SignalCount(), 1);
}

TEST(Model, SentinelAndBlockBoundary) {
    Waview_FileManager doc;
    Waview_Signal* s = doc.NewSignal(kTypeInteger);
    s->AppendInteger(0, 42);
    ASSERT_EQ(s->EntryCount(), 2);
    EXPECT_EQ(s->Entry(0).time, -1);
    EXPECT_EQ(s->Entry(0).bits, 0u);
    // At the time of a change the previous value is in effect.
    EXPECT_EQ(s->ValueAt(0)->time, -1);
    EXPECT_EQ(s->ValueAt(1), nullptr); // after the last entry there is no value
    for (int i = 1; i < 31; ++i) s->AppendInteger(i, i);
    EXPECT_EQ(s->ValueAt(1)->Int(), 42);
    EXPECT_EQ(s->EntryCount(), 32);
    EXPECT_EQ(s->lastBlock, 0);
    EXPECT_EQ(s->lastPos, 31);
    s->AppendInteger(31, 31); // the 33rd entry opens block 1 at slot 0
    EXPECT_EQ(s->lastBlock, 1);
    EXPECT_EQ(s->lastPos, 0);
    EXPECT_EQ(s->BlockCount(), 2);
    EXPECT_EQ(s->Block(1).entries[1].time, -1); // fresh slots are unused
    const EntryCursor* c = s->LowerBound(31);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(*c, (EntryCursor{0, 1}));
    EXPECT_EQ(s->PreviousEntry(c)->time, 30); // steps back across the block boundary
    EXPECT_EQ(s->LowerBound(32), nullptr);
    EntryCursor it = s->Begin();
    int n = 0;
    while (s->Iterate(it)) ++n;
    EXPECT_EQ(n, 33);
    EXPECT_FALSE(it.Valid());
}

TEST(Model, LowerBoundFindsFirstOfEqualTimesAndClosingCopiesLast) {
    Waview_FileManager doc;
    Waview_Signal* s = doc.NewSignal(kTypeVerilog);
    s->AppendState(5, 0);
    s->AppendState(10, 1);
    s->AppendState(10, 3);
    s->AppendState(20, 2);
    const EntryCursor* c = s->LowerBound(10);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Index(), 2);
    EXPECT_EQ(s->ValueAt(11)->State(), 3); // the later of the equal-time changes
    EXPECT_EQ(s->LowerBound(-5)->Index(), 0);
    s->AppendClosing(100);
    EXPECT_EQ(s->LastEntry()->time, 100);
    EXPECT_EQ(s->LastEntry()->State(), 2);
    EXPECT_EQ(s->ValueAt(100)->State(), 2);
    EXPECT_EQ(s->ValueAt(101), nullptr);

    s->ComputeMinMax();
    EXPECT_EQ(s->minEntry->time, 5);  // first holder of the smallest code
    EXPECT_EQ(s->maxEntry->time, 10); // first 3 wins over later ones
    EXPECT_EQ(s->maxEntry->State(), 3);
}

TEST(Model, MinMaxComparesByType) {
    Waview_FileManager doc;
    Waview_Signal* i = doc.NewSignal(kTypeInteger);
    i->AppendInteger(1, -5);
    i->AppendInteger(2, 3);
    i->ComputeMinMax();
    EXPECT_EQ(i->minEntry->Int(), -5); // signed, not unsigned
    Waview_Signal* r = doc.NewSignal(kTypeReal);
    r->AppendReal(1, -0.5);
    r->AppendReal(2, 0.25);
    r->ComputeMinMax();
    EXPECT_EQ(r->minEntry->Real(), -0.5);
    EXPECT_EQ(r->maxEntry->Real(), 0.25);
}

TEST(Model, CompositeDepthAndValueText) {
    Waview_FileManager doc;
    Waview_CompositeHierarchy* bus = doc.NewCompositeRow();
    bus->name = "d";
    const char* bits[] = {"1010", "X01Z"}; // value at t=5 and t=15, msb first
    for (int b = 0; b < 4; ++b) {
        Waview_Signal* s = doc.NewSignal(kTypeVerilog);
        for (int k = 0; k < 2; ++k) {
            const char c = bits[k][b];
            s->AppendState(k * 10, c == '1' ? 1 : c == 'Z' ? 2 : c == 'X' ? 3 : 0);
        }
        s->AppendClosing(20);
        bus->children.push_back(Bind(doc, s, 1, "d[b]")->index);
    }
    EXPECT_EQ(bus->GetDepth(), 1);
    std::string text;
    bus->SetRadix(kRadixHex);
    EXPECT_EQ(bus->ValueTextAt(text, 5), " Ah");
    bus->SetRadix(kRadixSigned);
    EXPECT_EQ(bus->ValueTextAt(text, 5), " -6d ");
    bus->SetRadix(kRadixBinary);
    EXPECT_EQ(bus->ValueTextAt(text, 5), " 1010b");
    bus->SetRadix(kRadixUnsigned);
    EXPECT_EQ(bus->ValueTextAt(text, 15), " xu "); // X01Z: any x makes the number x
    // Same time again comes from the cache, even if the signal were to change.
    bus->valueText = "cached";
    EXPECT_EQ(bus->ValueTextAt(text, 15), "cached");

    // A scope holding the bus keeps the plain concatenation.
    Waview_CompositeHierarchy* scope = doc.NewCompositeRow();
    scope->children.push_back(bus->index);
    bus->level = 1;
    for (int32_t c : bus->children) doc.Row(c)->level = 2;
    bus->InvalidateValueText();
    EXPECT_EQ(scope->GetDepth(), 2);
    EXPECT_EQ(scope->ValueTextAt(text, 5), " 10u ");
    EXPECT_EQ(doc.TopRows(), (std::vector<int32_t>{scope->index}));
}

TEST(Model, LowerBoundAgreesWithFlatSearch) {
    // Many equal and repeated times across block boundaries.
    std::mt19937 rng(11);
    for (int round = 0; round < 20; ++round) {
        Waview_FileManager doc;
        Waview_Signal* s = doc.NewSignal(kTypeInteger);
        std::vector<int64_t> times{-1};
        int64_t t = 0;
        const int n = static_cast<int>(rng() % 200);
        for (int i = 0; i < n; ++i) {
            t += rng() % 3;
            s->AppendInteger(t, i);
            times.push_back(t);
        }
        if (n == 0) times.clear();
        for (int64_t q = -3; q <= t + 2; ++q) {
            const int64_t want = std::lower_bound(times.begin(), times.end(), q) - times.begin();
            const EntryCursor* c = s->LowerBound(q);
            if (want == int64_t(times.size()))
                EXPECT_EQ(c, nullptr) << q;
            else
                ASSERT_TRUE(c && c->Index() == want) << "round " << round << " time " << q;
        }
    }
}

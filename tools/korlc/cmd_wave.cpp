// korlc vcd2wvw / wvw: VCD conversion and wave-view file listing.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "command.h"
#include "waview/vcd_converter.h"
#include "waview/wvwfile.h"

namespace {

void Box(const std::string& title, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

int Vcd2Wvw(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv)) {
        std::printf(
            "usage: korlc vcd2wvw DUMP.vcd [-o FILE.wvw]\n"
            "Converts a value change dump into a wave-view file (by default beside the dump,\n"
            "with the extension .wvw) and prints the row and signal counts and the end time.\n");
        return 0;
    }
    std::string dump, out;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc)
            out = argv[++i];
        else if (dump.empty() && argv[i][0] != '-')
            dump = argv[i];
        else {
            std::fprintf(stderr, "korlc vcd2wvw: unexpected argument '%s'\n", argv[i]);
            return 2;
        }
    }
    if (dump.empty()) {
        std::fprintf(stderr, "usage: korlc vcd2wvw DUMP.vcd [-o FILE.wvw]\n");
        return 2;
    }
    Waview_VCDConverter conv(dump);
    if (!out.empty()) conv.SetWavePath(out);
    const bool ok = conv.Convert();
    for (const auto& m : conv.Messages()) Box(m.title, m.text);
    if (ok && !conv.WarningSummary().empty()) Box("Waview", conv.WarningSummary());
    if (ok && !SaveLossNote(conv.Document()).empty()) Box("Waview", SaveLossNote(conv.Document()));
    if (!ok) {
        for (const auto& d : conv.Diagnostics()) std::fprintf(stderr, "korlc vcd2wvw: %s\n", d.c_str());
        std::fprintf(stderr, "korlc vcd2wvw: conversion of %s failed\n", dump.c_str());
        return 1;
    }
    const Waview_FileManager& doc = conv.Document();
    std::printf("%s\n", conv.WavePath().c_str());
    std::printf("rows: %d\nsignals: %d\nend time: %lld (%s)\n", doc.RowCount(), doc.SignalCount(),
                static_cast<long long>(conv.LargestTime()),
                TimeLabel(conv.LargestTime(), doc.TimescaleExponent()).c_str());
    return 0;
}

void PrintTree(Waview_FileManager& doc, int32_t row, int depth, bool values, int64_t at) {
    Waview_Hierarchy* r = doc.Row(row);
    std::string indent(size_t(depth) * 2, ' ');
    if (values) {
        std::string text;
        r->ValueTextAt(text, at);
        std::printf("%s%s =%s%s\n", indent.c_str(), r->name.c_str(),
                    text.empty() || text[0] != ' ' ? " " : "", text.c_str());
    } else if (Waview_Signal* s = r->GetSignal()) {
        // A signal of a dump read directly is computed only to be counted.
        const bool lazy = s->IsLazy();
        const int64_t n = s->EntryCount();
        if (lazy) s->Release();
        std::printf("%sscalar %s %s %lld\n", indent.c_str(), r->name.c_str(), TypeCodeName(s->GetTypeCode()),
                    static_cast<long long>(n > 0 ? n - 1 : 0));
    } else {
        std::printf("%scomposite %s\n", indent.c_str(), r->name.c_str());
    }
    if (r->GetKind() == kRowComposite)
        for (int32_t c : static_cast<Waview_CompositeHierarchy*>(r)->children)
            PrintTree(doc, c, depth + 1, values, at);
}

int Wvw(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv)) {
        std::printf(
            "usage: korlc wvw FILE.wvw|DUMP.vcd [--at TIME [--radix b|o|h|u|s]]\n"
            "A file ending in .vcd is imported directly (string values keep their text).\n"
            "Without --at, prints the rows as an indented tree: kind, name, and for scalar rows\n"
            "the signal type and the number of stored changes (the closing entry included,\n"
            "the leading no-value entry not). With --at, prints every row's value\n"
            "text at TIME (in the file's time unit) in the given radix (default u).\n");
        return 0;
    }
    std::string file;
    bool at = false;
    int64_t time = 0;
    int32_t radix = kRadixUnsigned;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--at") == 0 && i + 1 < argc) {
            char* end = nullptr;
            errno = 0;
            time = std::strtoll(argv[++i], &end, 10);
            if (!*argv[i] || *end) {
                std::fprintf(stderr, "korlc wvw: bad time '%s'\n", argv[i]);
                return 2;
            }
            // strtoll saturates silently; times before 0 hold no value.
            if (errno == ERANGE || time < 0) {
                std::fprintf(stderr, "korlc wvw: time '%s' is outside 0 to %lld\n", argv[i],
                             static_cast<long long>(INT64_MAX));
                return 2;
            }
            at = true;
        } else if (std::strcmp(argv[i], "--radix") == 0 && i + 1 < argc) {
            const std::string r = argv[++i];
            if (r == "b")
                radix = kRadixBinary;
            else if (r == "h")
                radix = kRadixHex;
            else if (r == "o")
                radix = kRadixOctal;
            else if (r == "u")
                radix = kRadixUnsigned;
            else if (r == "s")
                radix = kRadixSigned;
            else {
                std::fprintf(stderr, "korlc wvw: radix must be b, o, h, u or s\n");
                return 2;
            }
        } else if (file.empty() && argv[i][0] != '-') {
            file = argv[i];
        } else {
            std::fprintf(stderr, "korlc wvw: unexpected argument '%s'\n", argv[i]);
            return 2;
        }
    }
    if (file.empty()) {
        std::fprintf(stderr, "usage: korlc wvw FILE.wvw|DUMP.vcd [--at TIME [--radix b|o|h|u|s]]\n");
        return 2;
    }
    Waview_FileManager doc;
    std::string error;
    if (file.size() > 4 && file.compare(file.size() - 4, 4, ".vcd") == 0) {
        Waview_VCDConverter conv(file);
        if (!conv.Import()) {
            for (const auto& m : conv.Messages()) Box(m.title, m.text);
            return 1;
        }
        if (!conv.WarningSummary().empty()) Box("Waview", conv.WarningSummary());
        doc.TakeFrom(conv.Document());
    } else if (!ReadWaveFile(doc, file, &error)) {
        Box("Waview", error);
        return 1;
    }
    for (int32_t i = 0; i < doc.RowCount(); ++i) doc.Row(i)->SetRadix(radix);
    for (int32_t top : doc.TopRows()) PrintTree(doc, top, 0, at, time);
    return 0;
}

korlc::Registrar regVcd2wvw({"vcd2wvw", "convert a VCD dump into a wave-view file", Vcd2Wvw});
korlc::Registrar regWvw({"wvw", "list a wave-view file's rows, or their values at a time", Wvw});

} // namespace

#include "waview/wvwfile.h"

#include "base/atomic_file.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {

constexpr int32_t kMaxTreeDepth = 10000;

// The exponents import gives (s … fs, and K, M, G seconds). Anything else in
// the first field means the file is not a wave-view file at all.
bool KnownTimescale(int32_t e) { return e >= -15 && e <= 9 && e % 3 == 0; }

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

bool WriteStructure(Waview_FileManager& doc) {
    const int32_t ts = doc.TimescaleExponent(), n = doc.SignalCount(), m = doc.RowCount();
    doc.Write(&ts, 4);
    doc.Write(&n, 4);
    for (int32_t i = 0; i < n; ++i) {
        Waview_Signal* s = doc.Signal(i);
        const int32_t code = s->GetTypeCode();
        doc.Write(&code, 4);
        s->AfterTypeWritten();
    }
    doc.Write(&m, 4);
    for (int32_t i = 0; i < m; ++i) doc.Row(i)->SaveRow(doc);
    return !doc.Failed();
}

// Rows must form a forest over valid indices: every child index inside the
// list, no row with two parents, no cycle. Depth and value text recurse.
bool CheckTree(const Waview_FileManager& doc, std::string* error) {
    const int32_t m = doc.RowCount();
    std::vector<int32_t> parent(m, -1);
    for (int32_t i = 0; i < m; ++i) {
        const Waview_Hierarchy* r = doc.Row(i);
        if (r->GetKind() == kRowScalar) {
            const int32_t s = static_cast<const Waview_ScalarHierarchy*>(r)->signalIndex;
            if (s < 0 || s >= doc.SignalCount())
                return Fail(error, "row " + std::to_string(i) + " refers to signal " + std::to_string(s) +
                                       " outside the signal list");
            continue;
        }
        for (int32_t c : static_cast<const Waview_CompositeHierarchy*>(r)->children) {
            if (c < 0 || c >= m)
                return Fail(error, "row " + std::to_string(i) + " has child " + std::to_string(c) +
                                       " outside the row list");
            if (parent[c] != -1 || c == i)
                return Fail(error, "row " + std::to_string(c) + " appears twice in the tree");
            parent[c] = i;
        }
    }
    // Walk down from the top rows: a row never reached sits on a cycle.
    // Depth is bounded because depth and value text recurse over it.
    std::vector<std::pair<int32_t, int32_t>> stack;
    for (int32_t i = 0; i < m; ++i)
        if (parent[i] == -1) stack.push_back({i, 0});
    int32_t reached = 0;
    while (!stack.empty()) {
        const auto [row, depth] = stack.back();
        stack.pop_back();
        ++reached;
        if (depth > kMaxTreeDepth) return Fail(error, "the row tree is nested too deeply");
        const Waview_Hierarchy* r = doc.Row(row);
        if (r->GetKind() == kRowComposite)
            for (int32_t c : static_cast<const Waview_CompositeHierarchy*>(r)->children)
                stack.push_back({c, depth + 1});
    }
    if (reached != m) return Fail(error, "the row tree has a cycle");
    return true;
}

} // namespace

bool WriteWaveFile(Waview_FileManager& doc, const std::string& path, std::string* error, int64_t closeAt) {
    korl::AtomicFile out(path);
    if (!out.Open() || !doc.OpenForWriting(out.TempPath()))
        return Fail(error, "Cannot create the file " + path);
    bool ok = WriteStructure(doc);
    ok = doc.CloseAllSignals(closeAt) && ok;
    ok = doc.Close() && ok;
    if (!ok) return Fail(error, "Cannot write the file " + path);
    if (!out.Commit()) return Fail(error, "Cannot replace the file " + path);
    return true;
}

bool ReadWaveFile(Waview_FileManager& doc, const std::string& path, std::string* error) {
    doc.Clear();
    auto reject = [&](const std::string& why) {
        doc.Close();
        doc.Clear();
        return Fail(error, path + ": " + why);
    };
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return reject("is a directory, not a wave-view file");
    if (!doc.OpenForReading(path)) return reject("cannot open the file");
    const char* kShort = "the file ends early";
    int32_t ts = 0, n = 0, m = 0;
    if (!doc.Read(&ts, 4)) {
        const bool empty = std::filesystem::file_size(path, ec) == 0 && !ec;
        return reject(empty ? "is empty, not a wave-view file" : "not a wave-view file (too short)");
    }
    if (!KnownTimescale(ts))
        return reject("not a wave-view file (its time unit field holds " + std::to_string(ts) + ")");
    doc.SetTimescaleExponent(ts);
    if (!doc.Read(&n, 4)) return reject(kShort);
    if (n < 0) return reject("negative signal count");
    for (int32_t i = 0; i < n; ++i) {
        int32_t code = 0;
        if (!doc.Read(&code, 4)) return reject(kShort);
        Waview_Signal* s = doc.NewSignal(code);
        if (!s)
            return reject("signal " + std::to_string(i) + " has the unknown type code " +
                          std::to_string(code));
        s->AfterConstructedFromFile();
    }
    if (!doc.Read(&m, 4)) return reject(kShort);
    if (m < 0) return reject("negative row count");
    for (int32_t i = 0; i < m; ++i) {
        int32_t kind = 0;
        if (!doc.Read(&kind, 4)) return reject(kShort);
        Waview_Hierarchy* row = nullptr;
        if (kind == kRowScalar)
            row = doc.NewScalarRow();
        else if (kind == kRowComposite)
            row = doc.NewCompositeRow();
        else
            return reject("row " + std::to_string(i) + " has the unknown kind " + std::to_string(kind));
        std::string why;
        if (!row->LoadRow(doc, &why))
            return reject(why.empty() ? std::string(kShort) : "row " + std::to_string(i) + ": " + why);
        // Levels feed depth arithmetic and orders the name tree: both stay
        // within what import can produce.
        if (row->level < 0 || row->level > kMaxTreeDepth)
            return reject("row " + std::to_string(i) + " has the level " + std::to_string(row->level) +
                          " outside 0 to " + std::to_string(kMaxTreeDepth));
        if (row->order < 0 || row->order >= m)
            return reject("row " + std::to_string(i) + " has the order " + std::to_string(row->order) +
                          " outside 0 to " + std::to_string(m - 1));
    }
    std::string why;
    if (!CheckTree(doc, &why)) return reject(why);
    if (!doc.ComputeEndTime()) return reject("the entry data of a signal is cut or invalid");
    // Anything after the last block means the counts do not describe this file.
    char extra;
    if (doc.Read(&extra, 1)) return reject("unexpected data after the last signal");
    doc.Close();
    return true;
}

std::string WaveFilePathFor(const std::string& dumpPath) {
    const size_t dot = dumpPath.rfind('.');
    const size_t sep = dumpPath.find_last_of("/\\");
    if (dot != std::string::npos && (sep == std::string::npos || dot > sep))
        return dumpPath.substr(0, dot + 1) + "wvw";
    return dumpPath + ".wvw";
}

std::string SaveLossNote(const Waview_FileManager& doc) {
    int32_t strings = 0;
    for (int32_t i = 0; i < doc.SignalCount(); ++i)
        if (dynamic_cast<const Waview_StringSignal*>(doc.Signal(i))) ++strings;
    if (strings == 0) return "";
    return std::to_string(strings) + (strings == 1 ? " signal holds" : " signals hold") +
           " text values, which the wave-view file keeps as numbers (the index of each text).";
}

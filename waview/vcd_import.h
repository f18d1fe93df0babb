#pragma once
// Streaming, parallel VCD import into the compact store: the declarations
// are read in order, the body is cut at '#' lines into chunks that worker
// threads parse at once and that are merged per signal in time order.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "waview/model.h"
#include "waview/store.h"

// A message the window shows in a box: its title and text.
struct Waview_Message {
    std::string title;
    std::string text;
};

// Something skipped or approximated: how often, and the first line.
struct Waview_ImportWarning {
    std::string text;
    int64_t firstLine = 0;
    int64_t count = 0;
};

struct Waview_ImportOptions {
    int threads = 0;                 // 0: one per core
    size_t chunkBytes = 4u << 20;    // body text per worker and round
    uint32_t maxBusWidth = 1u << 20; // wider buses are shown without bit rows
    uint64_t maxBitRows = 1u << 22;  // bit rows of all buses together
};

class Waview_VcdImporter {
public:
    explicit Waview_VcdImporter(std::string dumpPath);
    ~Waview_VcdImporter();
    Waview_VcdImporter(const Waview_VcdImporter&) = delete;
    Waview_VcdImporter& operator=(const Waview_VcdImporter&) = delete;

    void SetInputText(std::string text);
    void SetOptions(const Waview_ImportOptions& o) { options_ = o; }
    // Looked at often enough that a cancel takes effect within 100 ms.
    void SetCancelFlag(const std::atomic<bool>* flag) { cancel_ = flag; }

    // Builds doc (cleared first) from the dump. False when the dump is
    // refused (Messages() says why) or the import was cancelled.
    bool Import(Waview_FileManager& doc);

    bool Cancelled() const { return cancelled_; }
    uint64_t BytesRead() const { return bytesRead_.load(std::memory_order_relaxed); }
    uint64_t TotalBytes() const { return totalBytes_.load(std::memory_order_relaxed); }
    const std::vector<Waview_Message>& Messages() const { return messages_; }
    const std::vector<Waview_ImportWarning>& Warnings() const { return warnings_; }
    // "3 warnings:\n..." with each warning's first line; "" without warnings.
    std::string WarningSummary() const;
    int64_t LargestTime() const { return largestTime_; }
    const std::string& DumpPath() const { return path_; }

    struct Impl;

private:
    std::string path_;
    std::string text_;
    bool useText_ = false;
    Waview_ImportOptions options_;
    const std::atomic<bool>* cancel_ = nullptr;
    bool cancelled_ = false;
    std::atomic<uint64_t> bytesRead_{0}, totalBytes_{0};
    std::vector<Waview_Message> messages_;
    std::vector<Waview_ImportWarning> warnings_;
    int64_t largestTime_ = -1;
};

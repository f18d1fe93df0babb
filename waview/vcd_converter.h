#pragma once
// Converts a value change dump into a wave-view file beside it.
#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "waview/model.h"

class ParserInterface;

// A message the window shows in a box: its title and text.
struct Waview_Message {
    std::string title;
    std::string text;
};

class Waview_VCDConverter {
public:
    explicit Waview_VCDConverter(const std::string& dumpPath);
    ~Waview_VCDConverter();
    Waview_VCDConverter(const Waview_VCDConverter&) = delete;
    Waview_VCDConverter& operator=(const Waview_VCDConverter&) = delete;

    // Parses the dump, builds the document and writes the wave file. On
    // failure no wave file is left behind.
    bool Convert();

    const std::string& DumpPath() const { return dumpPath_; }
    const std::string& WavePath() const { return wavePath_; }
    void SetWavePath(const std::string& p) { wavePath_ = p; }
    // Parses this text instead of reading the dump file (fuzzing, tests).
    void SetInputText(std::string text) {
        inputText_ = std::move(text);
        useText_ = true;
    }
    // Looked at between simulation commands: once set, Convert() stops and
    // fails without writing the wave file (a cancelled progress dialog).
    void SetCancelFlag(const std::atomic<bool>* flag) { cancel_ = flag; }
    // The document as built and written: closing entries and EndTime are set;
    // minimum and maximum entries are computed when the file is read.
    Waview_FileManager& Document() { return *doc_; }
    int64_t LargestTime() const { return largestTime_; }
    uint64_t BytesParsed() const { return bytesParsed_; }
    // Boxes to show (titles "Error" and "Parser Error").
    const std::vector<Waview_Message>& Messages() const { return messages_; }
    // Why a conversion failed where no box is shown (bad time unit, ...).
    const std::vector<std::string>& Diagnostics() const { return diagnostics_; }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    bool Walk();
    bool Timescale(uint64_t node);
    int32_t Scope(uint64_t scopeType, int32_t level, int32_t order, int depth);
    int32_t Variable(uint64_t varCommand, int32_t level, int32_t order);
    bool SetTime(std::string_view digits);
    bool ValueChange(uint64_t node);
    bool Fail(std::string why);
    void ReportParserMessages();

    std::unique_ptr<Waview_FileManager> doc_;
    ParserInterface* parser_ = nullptr;
    // What an identifier code changes: a scalar row's signal or a bus's bits.
    struct Target {
        int32_t row = -1;
        Waview_Signal* signal = nullptr;
        uint32_t firstBit = 0; // into busBits_
        uint32_t width = 0;    // 0 for scalar rows
    };
    // Identifier map: first declaration of a code wins. Codes of up to seven
    // bytes (all that simulators write in practice) go into an open-addressed
    // table keyed by the packed code; longer ones into a hash map.
    const Target* FindTarget(std::string_view code) const;
    void AddTarget(const std::string& code, const Target& t);
    static bool Pack(std::string_view code, uint64_t& key);
    std::vector<Target> targets_;
    std::vector<std::pair<uint64_t, int32_t>> shortCodes_; // key 0 is empty
    size_t shortCount_ = 0;
    std::unordered_map<std::string, int32_t, Hash, std::equal_to<>> longCodes_;
    std::vector<Waview_Signal*> busBits_;
    int64_t currentTime_ = 0;
    int64_t largestTime_ = -1;
    int64_t coefficient_ = 1;
    std::string dumpPath_;
    std::string wavePath_;
    std::string inputText_;
    bool useText_ = false;
    const std::atomic<bool>* cancel_ = nullptr;
    uint64_t bytesParsed_ = 0;
    std::vector<Waview_Message> messages_;
    std::vector<std::string> diagnostics_;
};

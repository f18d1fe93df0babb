#pragma once
// Imports a value change dump into a document, and writes it as a wave-view
// file where one is wanted (korlc vcd2wvw; the window saves on request).
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "waview/model.h"
#include "waview/vcd_import.h"

class Waview_VCDConverter {
public:
    explicit Waview_VCDConverter(const std::string& dumpPath);
    ~Waview_VCDConverter();
    Waview_VCDConverter(const Waview_VCDConverter&) = delete;
    Waview_VCDConverter& operator=(const Waview_VCDConverter&) = delete;

    // Builds the document from the dump, in memory only.
    bool Import();
    // Import() and then writes the wave file. On failure no wave file is
    // left behind and an existing one is untouched.
    bool Convert();

    const std::string& DumpPath() const { return dumpPath_; }
    const std::string& WavePath() const { return wavePath_; }
    void SetWavePath(const std::string& p) { wavePath_ = p; }
    // Parses this text instead of reading the dump file (fuzzing, tests).
    void SetInputText(std::string text) { importer_.SetInputText(std::move(text)); }
    void SetOptions(const Waview_ImportOptions& o) { importer_.SetOptions(o); }
    // Once set, the import stops within 100 ms and fails without writing.
    void SetCancelFlag(const std::atomic<bool>* flag) { importer_.SetCancelFlag(flag); }
    bool Cancelled() const { return importer_.Cancelled(); }
    // The document as built: closing entries and EndTime are set.
    Waview_FileManager& Document() { return *doc_; }
    // Hands the document over (the window shows it without a file).
    std::unique_ptr<Waview_FileManager> TakeDocument();
    int64_t LargestTime() const { return importer_.LargestTime(); }
    // Progress: bytes of the dump read so far, of TotalBytes().
    uint64_t BytesParsed() const { return importer_.BytesRead(); }
    uint64_t TotalBytes() const { return importer_.TotalBytes(); }
    // Boxes to show (titles "Error" and "Parser Error").
    const std::vector<Waview_Message>& Messages() const { return messages_; }
    // What was skipped or approximated; the dump still opened.
    const std::vector<Waview_ImportWarning>& Warnings() const { return importer_.Warnings(); }
    std::string WarningSummary() const { return importer_.WarningSummary(); }
    // Why a conversion failed where no box is shown.
    const std::vector<std::string>& Diagnostics() const { return diagnostics_; }

private:
    std::unique_ptr<Waview_FileManager> doc_;
    Waview_VcdImporter importer_;
    std::string dumpPath_;
    std::string wavePath_;
    std::vector<Waview_Message> messages_;
    std::vector<std::string> diagnostics_;
};

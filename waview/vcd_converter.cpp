#include "waview/vcd_converter.h"

#include "waview/wvwfile.h"

Waview_VCDConverter::Waview_VCDConverter(const std::string& dumpPath)
    : doc_(std::make_unique<Waview_FileManager>()),
      importer_(dumpPath),
      dumpPath_(dumpPath),
      wavePath_(WaveFilePathFor(dumpPath)) {}

Waview_VCDConverter::~Waview_VCDConverter() = default;

bool Waview_VCDConverter::Import() {
    messages_.clear();
    diagnostics_.clear();
    if (!doc_) doc_ = std::make_unique<Waview_FileManager>();
    const bool ok = importer_.Import(*doc_);
    messages_ = importer_.Messages();
    if (importer_.Cancelled()) diagnostics_.push_back("cancelled");
    return ok;
}

bool Waview_VCDConverter::Convert() {
    if (wavePath_ == dumpPath_) {
        messages_ = {{"Error", "The wave file would replace the dump " + dumpPath_}};
        return false;
    }
    if (!Import()) return false;
    std::string error;
    if (!WriteWaveFile(*doc_, wavePath_, &error)) {
        messages_.push_back({"Error", error});
        return false;
    }
    return true;
}

std::unique_ptr<Waview_FileManager> Waview_VCDConverter::TakeDocument() {
    auto doc = std::move(doc_);
    doc_ = std::make_unique<Waview_FileManager>();
    return doc;
}

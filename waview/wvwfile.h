#pragma once
// The wave-view file: the document's structure followed by every signal's
// entry blocks, exactly as they lie in memory.
#include <string>

#include "waview/model.h"

// Writes to a file beside `path` and renames it over `path` once complete, so
// a failed save leaves the previous file untouched. closeAt != -1 closes every
// signal at that time first (the importer's closing entries).
bool WriteWaveFile(Waview_FileManager& doc, const std::string& path, std::string* error,
                   int64_t closeAt = -1);

// Reads a whole file into doc (cleared first). On any failure doc is left
// empty and error says why.
bool ReadWaveFile(Waview_FileManager& doc, const std::string& path, std::string* error);

// The wave-file path of a dump: its extension replaced by "wvw" when the
// last "." comes after the last separator, else ".wvw" appended.
std::string WaveFilePathFor(const std::string& dumpPath);

// What a wave-view file cannot hold of doc ("" when nothing is lost): string
// rows are saved as numbers.
std::string SaveLossNote(const Waview_FileManager& doc);

#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// One row of a corpus manifest (tab-separated: file, expect, reference, compare, note).
struct ManifestRow {
    std::string suite;      // folder of the manifest below the corpus: "bmpsuite" or "peers"
    std::string file;       // path below the suite folder
    std::string expect;     // "loads" or "refused"
    std::string reference;  // PPM path below the suite folder; empty for "-"
    std::string compare;    // "exact", "top5"; empty for "-"
    std::string note;
};

// Names the row in test output.
void PrintTo(const ManifestRow& row, std::ostream* out);

std::string CorpusDir();
std::string CorpusPath(const ManifestRow& row, const std::string& relative);

// The rows of <corpus>/<suite>/manifest.tsv after its title line; none when it cannot be read.
std::vector<ManifestRow> ReadManifest(const std::string& suite);

// A binary PPM (P6, maxval 255): red, green, blue per pixel, top row first.
struct PpmImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;
};

// False when the file cannot be read or is not such a PPM.
bool ReadPpm(const std::string& path, PpmImage& image);

#include "CorpusSupport.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace {
std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t')) fields.push_back(field);
    if (!line.empty() && line.back() == '\t') fields.emplace_back();
    return fields;
}

std::string Field(const std::vector<std::string>& fields, size_t i) {
    if (i >= fields.size() || fields[i] == "-") return "";
    return fields[i];
}

// Skips whitespace and '#' comments between the tokens of a PPM header.
bool ReadPpmNumber(std::istream& in, int64_t& value) {
    for (;;) {
        const int c = in.peek();
        if (c == '#') {
            std::string comment;
            std::getline(in, comment);
        } else if (c != EOF && std::isspace(c)) {
            in.get();
        } else {
            break;
        }
    }
    return static_cast<bool>(in >> value);
}
}  // namespace

void PrintTo(const ManifestRow& row, std::ostream* out) { *out << row.suite << "/" << row.file; }

std::string CorpusDir() { return VELMORA_CORPUS_DIR; }

std::string CorpusPath(const ManifestRow& row, const std::string& relative) {
    return CorpusDir() + "/" + row.suite + "/" + relative;
}

std::vector<ManifestRow> ReadManifest(const std::string& suite) {
    std::vector<ManifestRow> rows;
    std::ifstream in(CorpusDir() + "/" + suite + "/manifest.tsv");
    std::string line;
    if (!std::getline(in, line)) return rows;  // the title line
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const std::vector<std::string> fields = SplitTabs(line);
        ManifestRow row;
        row.suite = suite;
        row.file = Field(fields, 0);
        row.expect = Field(fields, 1);
        row.reference = Field(fields, 2);
        row.compare = Field(fields, 3);
        row.note = Field(fields, 4);
        rows.push_back(row);
    }
    return rows;
}

bool ReadPpm(const std::string& path, PpmImage& image) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    if (!(in >> magic) || magic != "P6") return false;
    int64_t width = 0;
    int64_t height = 0;
    int64_t maxValue = 0;
    if (!ReadPpmNumber(in, width) || !ReadPpmNumber(in, height) || !ReadPpmNumber(in, maxValue)) return false;
    if (width <= 0 || height <= 0 || width * height > (int64_t{1} << 26) || maxValue != 255) return false;
    if (!std::isspace(in.get())) return false;  // one whitespace byte ends the header
    image.width = int32_t(width);
    image.height = int32_t(height);
    image.rgb.assign(size_t(width * height * 3), 0);
    in.read(reinterpret_cast<char*>(image.rgb.data()), std::streamsize(image.rgb.size()));
    return in.gcount() == std::streamsize(image.rgb.size());
}

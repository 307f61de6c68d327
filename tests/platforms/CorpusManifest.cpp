#include "CorpusManifest.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

std::vector<std::string> SupportedCorpusFiles(const std::string& corpusDir) {
    std::vector<std::string> files;
    for (const std::string set : {"bmpsuite", "peers"}) {
        const std::string manifest = corpusDir + "/" + set + "/manifest.tsv";
        std::ifstream in(manifest);
        if (!in) throw std::runtime_error("cannot read " + manifest);
        std::string line;
        std::getline(in, line);  // column names
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string file, expect;
            std::getline(fields, file, '\t');
            std::getline(fields, expect, '\t');
            if (expect == "loads") files.push_back(set + "/" + file);
        }
    }
    return files;
}

std::string FramedName(const std::string& corpusFile) {
    std::string name = corpusFile;
    for (char& c : name)
        if (c == '/') c = '_';
    return name;
}

std::wstring WidenAscii(const std::string& path) {
    std::wstring wide;
    for (const char c : path) {
        if (static_cast<unsigned char>(c) > 0x7F) throw std::runtime_error("not an ASCII path: " + path);
        wide.push_back(wchar_t(c));
    }
    return wide;
}

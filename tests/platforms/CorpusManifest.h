#pragma once

#include <string>
#include <vector>

// The corpus files the reader supports (expect "loads" in bmpsuite/ and
// peers/ manifest.tsv), as paths below the corpus folder.
std::vector<std::string> SupportedCorpusFiles(const std::string& corpusDir);

// The name a framed copy of a corpus file gets in an output folder: its path
// below the corpus folder with '/' turned into '_'.
std::string FramedName(const std::string& corpusFile);

// A path of ASCII characters as the export takes it; the corpus and build
// folders have ASCII names, and widening byte by byte is only right for those.
std::wstring WidenAscii(const std::string& path);

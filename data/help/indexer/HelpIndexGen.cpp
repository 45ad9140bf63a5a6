// quillon_helpindex <help folder> <output>: writes the search index of the help book's
// pages (every .html file of the folder) at build time.

#include "HelpIndex.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: quillon_helpindex <help folder> <output>\n";
        return 64;
    }
    std::vector<qln::help::Page> pages;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1], error)) {
        if (entry.path().extension() != ".html") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        if (!in) {
            std::cerr << "quillon_helpindex: cannot read " << entry.path().string() << "\n";
            return 1;
        }
        pages.push_back({entry.path().filename().string(),
                         std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>())});
    }
    if (error || pages.empty()) {
        std::cerr << "quillon_helpindex: no pages in " << argv[1] << (error ? ": " + error.message() : "") << "\n";
        return 1;
    }
    const std::filesystem::path output(argv[2]);
    const auto temporary = output.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << qln::help::searchIndex(pages);
        if (!out.flush()) {
            std::cerr << "quillon_helpindex: cannot write " << temporary << "\n";
            return 1;
        }
    }
    std::filesystem::rename(temporary, output, error);
    if (error) {
        std::cerr << "quillon_helpindex: cannot write " << output.string() << ": " << error.message() << "\n";
        return 1;
    }
    return 0;
}

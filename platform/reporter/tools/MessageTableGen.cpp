// Turns a readable catalog source into a C++ file that carries its message table as the
// exported data symbol the Reporter looks for.
//
// Source: one entry per message, "<id> <text>" (blanks after the id are skipped); a line that begins with blanks continues
// the entry above on a new line (CR LF in the table); "#" lines and blank lines are
// skipped. Every entry is stored with the ending "%0" CR LF.

#include "quillon/reporter/MessageTable.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

namespace {

struct SourceError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::map<std::uint32_t, std::string> readSource(const std::string& path)
{
    std::ifstream in(path);
    if (!in) throw SourceError(path + ": cannot be read");
    std::map<std::uint32_t, std::string> entries;
    std::string* current = nullptr;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const auto where = [&] { return path + ":" + std::to_string(number) + ": "; };
        if (line.ends_with('\r')) line.pop_back();
        const auto firstText = line.find_first_not_of(" \t");
        if (firstText == std::string::npos || line.front() == '#') continue;
        if (line.front() == ' ' || line.front() == '\t') {
            if (!current) throw SourceError(where() + "a continuation line before the first entry");
            *current += "\r\n" + line.substr(firstText);
            continue;
        }
        std::uint32_t id = 0;
        const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), id);
        if (error != std::errc() || end == line.data() + line.size() || (*end != ' ' && *end != '\t'))
            throw SourceError(where() + "expected a message number, a blank and the text");
        const auto textStart = line.find_first_not_of(" \t", static_cast<std::size_t>(end - line.data()));
        const std::string text = textStart == std::string::npos ? std::string() : line.substr(textStart);
        if (text.empty()) throw SourceError(where() + "message " + std::to_string(id) + " has no text");
        const auto [it, added] = entries.emplace(id, text);
        if (!added) throw SourceError(where() + "message " + std::to_string(id) + " occurs twice");
        current = &it->second;
    }
    for (auto& [id, text] : entries) text += "%0\r\n";
    return entries;
}

std::string cppSource(const std::string& sourcePath, const std::vector<unsigned char>& bytes)
{
    std::ostringstream out;
    out << "// Generated from " << sourcePath << "; do not edit.\n"
        << "#include \"quillon/reporter/MessageTable.h\"\n\n"
        << "namespace {\nconst unsigned char kTable[] = {";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out << (i % 16 == 0 ? "\n   " : "") << ' ' << static_cast<int>(bytes[i]) << ',';
    }
    out << "\n};\n} // namespace\n\n"
        << "extern \"C\" __attribute__((visibility(\"default\"))) const qln::reporter::MessageTableResource "
        << qln::reporter::kMessageTableSymbol << " = {\n"
        << "    qln::reporter::kLanguageUsEnglish, sizeof kTable, kTable};\n";
    return out.str();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: " << argv[0] << " <catalog source> <output .cpp>\n";
        return 2;
    }
    const std::string source = argv[1];
    const std::filesystem::path output = argv[2];
    try {
        const std::string text = cppSource(source, qln::reporter::MessageTable::encode(readSource(source)));
        // Written beside the target and renamed, so a failed run leaves no half file.
        const std::filesystem::path temporary = output.string() + ".tmp";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out << text;
            if (!out.flush()) throw SourceError(temporary.string() + ": cannot be written");
        }
        std::filesystem::rename(temporary, output);
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    return 0;
}

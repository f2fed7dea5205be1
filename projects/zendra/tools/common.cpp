#include "common.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace datagen {

void Fail(const std::string& file, int line, const std::string& message) {
    throw Error(file + ":" + std::to_string(line) + ": " + message);
}

std::string ReadTextFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error("cannot read " + path.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool SameContent(const std::filesystem::path& path, const void* data, size_t size) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || std::filesystem::file_size(path, ec) != size)
        return false;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes(size);
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    return in && std::equal(bytes.begin(), bytes.end(), static_cast<const char*>(data));
}

bool WriteFile(const std::filesystem::path& path, const void* data, size_t size) {
    if (SameContent(path, data, size))
        return false;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    // Write beside the target and rename, so that a reader never sees half a file.
    std::filesystem::path temp = path;
    temp += ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            throw Error("cannot write " + temp.string());
        out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out)
            throw Error("cannot write " + temp.string());
    }
    std::filesystem::rename(temp, path);
    return true;
}

std::vector<std::string> Tokenize(std::string_view line) {
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == '#')  // a comment starts a word; inside one (F#5) it is a sharp
            break;
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        tokens.emplace_back(line.substr(start, i - start));
    }
    return tokens;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(current);
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty())
        lines.push_back(current);
    return lines;
}

double ParseNumber(const std::string& token, const std::string& file, int line) {
    char* end = nullptr;
    double value = std::strtod(token.c_str(), &end);
    if (token.empty() || end != token.c_str() + token.size())
        Fail(file, line, "not a number: '" + token + "'");
    return value;
}

}  // namespace datagen

#include "sim/line_parsing.h"

#include <cerrno>
#include <cstdlib>

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

bool splitWords(const std::string& line, std::vector<std::string>& words, std::vector<bool>& quoted)
{
    words.clear();
    quoted.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            const std::size_t end = line.find('"', i + 1);
            if (end == std::string::npos)
                return false;
            words.push_back(line.substr(i + 1, end - i - 1));
            quoted.push_back(true);
            i = end + 1;
        } else {
            std::size_t end = i;
            while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '#')
                ++end;
            words.push_back(line.substr(i, end - i));
            quoted.push_back(false);
            i = end;
        }
    }
    return true;
}

bool parseNumber(const std::string& word, long long low, long long high, long long& value)
{
    if (word.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(word.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

bool splitOption(const std::string& word, std::string& key, std::string& value)
{
    const std::size_t equals = word.find('=');
    if (equals == std::string::npos)
        return false;
    key = word.substr(0, equals);
    value = word.substr(equals + 1);
    return true;
}

#include "tests/support/sim_journal.h"

#include "tests/support/kestra_process.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace {

// Splits on spaces outside double quotes.
std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> found(1);
    bool quoted = false;
    for (char c : line) {
        quoted ^= (c == '"');
        if (c != ' ' || quoted)
            found.back() += c;
        else if (!found.back().empty())
            found.emplace_back();
    }
    if (found.back().empty())
        found.pop_back();
    return found;
}

SimCall parseSimCall(const std::string& line)
{
    SimCall call;
    call.line = line;
    const std::vector<std::string> parts = words(line);
    std::size_t i = 0;
    // The file's lines lead with milliseconds; the in-process journal's do not.
    if (i < parts.size() && parts[i].find_first_not_of("0123456789") == std::string::npos)
        call.ms = std::strtoll(parts[i++].c_str(), nullptr, 10);
    // DirectInput8Create has no object before its method.
    if (i < parts.size())
        call.object = parts[i] == "DirectInput8Create" ? "dinput" : parts[i++];
    if (i < parts.size())
        call.method = parts[i++];
    for (; i < parts.size() && parts[i] != "->"; ++i) {
        const std::size_t equals = parts[i].find('=');
        call.values[parts[i].substr(0, equals)] = equals == std::string::npos ? "" : parts[i].substr(equals + 1);
    }
    if (i + 1 < parts.size())
        call.result = parts[i + 1];
    return call;
}

} // namespace

std::vector<SimCall> parseSimCalls(const std::vector<std::string>& lines)
{
    std::vector<SimCall> calls;
    for (const std::string& line : lines)
        calls.push_back(parseSimCall(line));
    return calls;
}

std::vector<SimCall> SimJournal::calls() const
{
    const std::string all = text();
    std::vector<std::string> lines;
    // Whole lines only: a line still being written is left for the next read.
    for (std::size_t start = 0, end; (end = all.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(all.substr(start, end - start - (end > start && all[end - 1] == '\r')));
    return parseSimCalls(lines);
}

void SimJournal::mark()
{
    marked = calls().size();
}

std::vector<SimCall> SimJournal::sinceMark() const
{
    std::vector<SimCall> all = calls();
    all.erase(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min(marked, all.size())));
    return all;
}

bool SimJournal::waitFor(const std::function<bool(const SimCall&)>& match, SimCall* found, unsigned timeoutMs) const
{
    return waitUntil([&] {
        const std::vector<SimCall> since = sinceMark();
        const auto hit = std::find_if(since.begin(), since.end(), match);
        if (hit != since.end() && found)
            *found = *hit;
        return hit != since.end();
    }, timeoutMs);
}

std::string SimJournal::text() const
{
    const std::vector<std::uint8_t> bytes = folder.read(L"sim-journal.txt");
    return std::string(bytes.begin(), bytes.end());
}

std::function<bool(const SimCall&)> called(const std::string& object, const std::string& method)
{
    return [object, method](const SimCall& call) { return call.object == object && call.method == method; };
}

std::function<bool(const SimCall&)> succeeded(const std::string& object, const std::string& method)
{
    return [is = called(object, method)](const SimCall& call) { return is(call) && call.result.rfind("0x8", 0) != 0; };
}

bool writeInput(const TestFolder& folder, const std::map<int, InputLine>& devices)
{
    std::ostringstream text;
    for (const auto& [index, input] : devices)
        text << index << " x=" << input.x << " y=" << input.y << " pov=" << input.pov
             << (input.buttons.empty() ? "" : " buttons=" + input.buttons) << "\n";
    const std::string content = text.str();
    folder.write(L"sim-input.new", std::vector<std::uint8_t>(content.begin(), content.end()));
    // Wine refuses to replace a file that any process holds open, and the
    // sim holds its input open for a moment at each read: try until it is
    // free. Giving up silently would leave the stick where it was.
    const std::wstring next = folder.file(L"sim-input.new");
    const std::wstring input = folder.file(L"sim-input.txt");
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (MoveFileExW(next.c_str(), input.c_str(), MOVEFILE_REPLACE_EXISTING))
            return true;
        Sleep(2);
    }
    return false;
}

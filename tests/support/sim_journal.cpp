#include "tests/support/sim_journal.h"

#include <algorithm>
#include <sstream>

namespace {

SimCall parseSimCall(const std::string& line)
{
    SimCall call;
    call.line = line;
    std::istringstream words(line);
    std::string word;
    words >> word;
    // The file's lines lead with milliseconds; the in-process journal's do not.
    if (!word.empty() && word.find_first_not_of("0123456789") == std::string::npos)
        words >> word;
    if (word == "DirectInput8Create") {  // the one method with no object before it
        call.object = "dinput";
        call.method = word;
    } else {
        call.object = word;
        words >> call.method;
    }
    while (words >> word && word != "->") {
        const std::size_t equals = word.find('=');
        call.values[word.substr(0, equals)] = equals == std::string::npos ? "" : word.substr(equals + 1);
    }
    words >> call.result;
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
    std::vector<SimCall> found;
    // Whole lines only: a line still being written is left for the next read.
    for (std::size_t start = 0, end; (end = all.find('\n', start)) != std::string::npos; start = end + 1)
        found.push_back(parseSimCall(all.substr(start, end - start - (end > start && all[end - 1] == '\r'))));
    return found;
}

std::vector<SimCall> SimJournal::sinceMark() const
{
    const std::vector<SimCall> all = calls();
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(marked, all.size())), all.end()};
}

bool SimJournal::waitFor(const std::function<bool(const SimCall&)>& match, unsigned timeoutMs) const
{
    return waitUntil([&] {
        const std::vector<SimCall> since = sinceMark();
        return std::any_of(since.begin(), since.end(), match);
    }, timeoutMs);
}

std::string SimJournal::text() const
{
    const std::vector<std::uint8_t> bytes = folder.read(L"sim-journal.txt");
    return std::string(bytes.begin(), bytes.end());
}

bool writeInput(const TestFolder& folder, const InputLine& stick)
{
    const std::string content = "0 x=" + std::to_string(stick.x) + " y=" + std::to_string(stick.y) +
                                " pov=" + std::to_string(static_cast<int>(stick.pov)) +
                                (stick.buttons.empty() ? "" : " buttons=" + stick.buttons) + "\n";
    folder.write(L"sim-input.new", std::vector<std::uint8_t>(content.begin(), content.end()));
    // Wine refuses to replace a file that any process holds open, and the sim holds its input open for a moment at each
    // read: try until it is free. Giving up silently would leave the stick where it was.
    const std::wstring next = folder.file(L"sim-input.new");
    const std::wstring input = folder.file(L"sim-input.txt");
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (MoveFileExW(next.c_str(), input.c_str(), MOVEFILE_REPLACE_EXISTING))
            return true;
        Sleep(2);
    }
    return false;
}

#include "tests/support/sim_journal.h"

#include <windows.h>

#include <cstdlib>
#include <sstream>

std::string SimCall::operator[](const std::string& key) const
{
    auto found = values.find(key);
    return found == values.end() ? std::string() : found->second;
}

namespace {

// Splits on spaces outside double quotes.
std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> found;
    std::string word;
    bool quoted = false;
    for (char c : line) {
        if (c == '"')
            quoted = !quoted;
        if (c == ' ' && !quoted) {
            if (!word.empty())
                found.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        found.push_back(word);
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
    if (i < parts.size() && parts[i] == "DirectInput8Create") {
        call.object = "dinput";
    } else if (i < parts.size()) {
        call.object = parts[i++];
    }
    if (i < parts.size())
        call.method = parts[i++];
    for (; i < parts.size(); ++i) {
        if (parts[i] == "->") {
            if (i + 1 < parts.size())
                call.result = parts[i + 1];
            break;
        }
        const std::size_t equals = parts[i].find('=');
        if (equals == std::string::npos)
            call.values[parts[i]] = "";
        else
            call.values[parts[i].substr(0, equals)] = parts[i].substr(equals + 1);
    }
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
    const std::vector<std::uint8_t> bytes = folder.read(L"sim-journal.txt");
    std::vector<SimCall> found;
    std::string line;
    for (std::uint8_t byte : bytes) {
        if (byte == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            found.push_back(parseSimCall(line));
            line.clear();
        } else {
            line += static_cast<char>(byte);
        }
    }
    return found;  // a line still being written is left for the next read
}

void SimJournal::mark()
{
    marked = calls().size();
}

std::vector<SimCall> SimJournal::sinceMark() const
{
    std::vector<SimCall> all = calls();
    if (marked >= all.size())
        return {};
    return std::vector<SimCall>(all.begin() + static_cast<std::ptrdiff_t>(marked), all.end());
}

bool SimJournal::waitFor(const std::function<bool(const SimCall&)>& match, SimCall* found, unsigned timeoutMs) const
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        for (const SimCall& call : sinceMark()) {
            if (match(call)) {
                if (found)
                    *found = call;
                return true;
            }
        }
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(20);
    }
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
    return [object, method](const SimCall& call) {
        return call.object == object && call.method == method && call.result.rfind("0x8", 0) != 0;
    };
}

bool writeInput(const TestFolder& folder, const std::map<int, InputLine>& devices)
{
    std::ostringstream text;
    for (const auto& [index, input] : devices) {
        text << index << " x=" << input.x << " y=" << input.y << " pov=" << input.pov;
        if (!input.buttons.empty())
            text << " buttons=" << input.buttons;
        text << "\n";
    }
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

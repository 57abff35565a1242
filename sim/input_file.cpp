#include "sim/input_file.h"

#include "sim/line_parsing.h"
#include "sim/sim_files.h"

#include <map>
#include <vector>

namespace {

std::map<int, StickInput> lastGood;

// What the input file looked like at the last full read.
struct FileStamp {
    bool found = false;
    FILETIME written{};
    DWORD sizeLow = 0;
    ULONGLONG readAtMs = 0;
};
FileStamp lastRead;

double nowMs()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double lastLookMs = -1e9;

// Reading the file costs an open, a read and a close; a look at its time and
// size costs one path lookup, which under Wine is tens of microseconds, more
// than all else a read does. So reads less than lookIntervalMs after a look
// (Kestra's second poll in the same tick) take the last state without looking.
// A file whose time and size look unchanged is still read again every
// 250 ms, in case it was rewritten within the file system's timestamp
// resolution with the same length.
bool inputFileChanged()
{
    const double lookMs = nowMs();
    if (lookMs - lastLookMs < lookIntervalMs)
        return false;
    lastLookMs = lookMs;
    WIN32_FILE_ATTRIBUTE_DATA data;
    const bool found = GetFileAttributesExW(inputPath().c_str(), GetFileExInfoStandard, &data);
    const ULONGLONG now = GetTickCount64();
    const bool same = found == lastRead.found &&
                      (!found || (CompareFileTime(&data.ftLastWriteTime, &lastRead.written) == 0 &&
                                  data.nFileSizeLow == lastRead.sizeLow));
    if (same && now - lastRead.readAtMs < 250)
        return false;
    lastRead.found = found;
    if (found) {
        lastRead.written = data.ftLastWriteTime;
        lastRead.sizeLow = data.nFileSizeLow;
    }
    lastRead.readAtMs = now;
    return true;
}

// "<index> [x=..] [y=..] [pov=..] [buttons=..]"; a key not given takes the
// device's resting value.
bool parseInputLine(const std::string& line, int& device, StickInput& input)
{
    std::vector<std::string> words;
    std::vector<bool> quoted;
    long long number = 0;
    if (!splitWords(line, words, quoted) || words.empty() || !parseNumber(words[0], 0, 1000, number))
        return false;
    device = static_cast<int>(number);
    input = StickInput{};
    for (std::size_t i = 1; i < words.size(); ++i) {
        std::string key, value;
        if (!splitOption(words[i], key, value))
            return false;
        if (key == "x" && parseNumber(value, 0, 65535, number)) {
            input.x = static_cast<LONG>(number);
        } else if (key == "y" && parseNumber(value, 0, 65535, number)) {
            input.y = static_cast<LONG>(number);
        } else if (key == "pov" && parseNumber(value, -1, 35999, number)) {
            input.pov = number < 0 ? povCentred : static_cast<DWORD>(number);
        } else if (key == "buttons" && value.size() <= simButtonCount) {
            for (std::size_t b = 0; b < value.size(); ++b) {
                if (value[b] != '0' && value[b] != '1')
                    return false;
                input.buttons[b] = value[b] == '1' ? 0x80 : 0;
            }
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

StickInput readStickInput(int device)
{
    std::string text;
    if (!noFiles() && inputFileChanged() && readTextFile(inputPath(), text)) {
        for (const std::string& line : splitLines(text)) {
            int index = 0;
            StickInput input;
            if (parseInputLine(line, index, input))
                lastGood[index] = input;
        }
    }
    return lastGood[device];
}

void setStickInput(int device, const StickInput& input)
{
    lastGood[device] = input;
}

void forgetStickInput()
{
    lastGood.clear();
}

std::string povText(DWORD pov)
{
    return pov == povCentred ? "-1" : std::to_string(pov);
}

std::string buttonsText(const BYTE (&buttons)[simButtonCount])
{
    std::string text;
    for (BYTE button : buttons)
        text += button == 0x80 ? '1' : button == 0 ? '0' : 'x';
    return text;
}

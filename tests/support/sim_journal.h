// The simulated stick's journal as a test sees it, from its file while Kestra runs or in process; and the input file it
// re-reads.
#pragma once

#include "tests/support/kestra_process.h"

#include <functional>
#include <map>

// One journal line: "<ms> <object> <method> key=value ... -> 0x<hr>".
struct SimCall {
    std::string object;  // dinput, dev<i>, eff<n>
    std::string method;  // or "force" for the sim's own force lines
    std::map<std::string, std::string> values;
    std::string result;  // "0x00000000", empty for a force line
    std::string line;    // as written

    bool has(const std::string& key) const { return values.count(key) != 0; }
    std::string operator[](const std::string& key) const { return has(key) ? values.at(key) : std::string(); }
};

// Lines as the in-process sim gives them, or as the file has them.
std::vector<SimCall> parseSimCalls(const std::vector<std::string>& lines);

// The journal file of a kestra.exe running in the folder.
class SimJournal {
public:
    explicit SimJournal(const TestFolder& folder) : folder(folder) {}

    // Every whole line written so far; those since the last mark().
    std::vector<SimCall> calls() const;
    std::vector<SimCall> sinceMark() const;
    void mark() { marked = calls().size(); }

    // Waits until a line after the mark satisfies `match`.
    bool waitFor(const std::function<bool(const SimCall&)>& match, unsigned timeoutMs = patientMs) const;

    // The journal as text, for a failure message.
    std::string text() const;

private:
    const TestFolder& folder;
    std::size_t marked = 0;
};

// What the simulated stick, device 0, reports, in KestraFixture::setInput's order and form.
struct InputLine {
    std::string buttons;  // "0101": buttons 2 and 4 down
    LONG x = 32767, y = 32767;
    DWORD pov = 0xFFFFFFFF;
};

// Rewrites "sim-input.txt" in one step, so the sim never reads half a file; false if it could not, the old input then
// still standing.
bool writeInput(const TestFolder& folder, const InputLine& stick);

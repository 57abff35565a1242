// The journal: one line per call that reaches the simulated DirectInput,
// appended to sim-journal.txt so that a test in another process can follow a
// running program line by line.
#pragma once

#include "sim/dinput_api.h"

#include <functional>
#include <string>
#include <vector>

// False when the journal goes to NUL: then nothing is composed or written.
bool journalOn();

// Appends "<ms> <text>\n" with a single write; <ms> counts from the DLL's load.
// Without files the text alone goes to memoryJournal() and to the watcher.
void journalLine(const std::string& text);

std::vector<std::string>& memoryJournal();
std::function<void(const std::string&)>& memoryJournalWatcher();

// One call's line: "<object> <Method> <key=value ...> -> <hr>". Values must
// not contain spaces. DirectInput8Create belongs to no object and has none.
class CallLine {
public:
    CallLine(const std::string& object, const char* method);
    // A bare list of a call's values, to be appended to its line later.
    explicit CallLine(const char* method) : called(method) {}

    const char* method() const { return called; }

    void text(const char* key, const std::string& value);
    void number(const char* key, long long value);
    void hex(const char* key, unsigned long value);
    void append(const CallLine& values);
    // Writes the line with hr and hands hr back, so a method can end with
    // "return line.finish(hr);".
    HRESULT finish(HRESULT hr);

private:
    const char* called;
    bool active = journalOn();
    std::string line;
};

std::string hexText(unsigned long long value);  // "0x1F"
std::string hresultText(HRESULT hr);       // "0x8007001E"
std::string utf8(const std::wstring& text);
// A short name for the interface identifiers the sim knows, else the GUID.
std::string interfaceName(REFIID iid);

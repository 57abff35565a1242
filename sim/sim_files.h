// Where the sim's three files are: in the working directory unless an
// environment variable names another place. Looked up at every use, so a test
// can point them elsewhere between calls.
#pragma once

#include <string>

std::wstring configPath();   // KESTRA_SIM_CONFIG, else sim-config.txt
std::wstring inputPath();    // KESTRA_SIM_INPUT, else sim-input.txt
std::wstring journalPath();  // KESTRA_SIM_JOURNAL, else sim-journal.txt

// KESTRA_SIM_FREE_RELEASED=1: objects released to zero references are
// destroyed instead of kept as zombies. Read at each DirectInput8Create; the
// objects that creation leads to keep the answer for their whole life.
bool freeReleasedObjects();

// The whole of a small text file; false when it cannot be opened.
bool readTextFile(const std::wstring& path, std::string& text);

// Where the sim's three files are: in the working directory unless an
// environment variable names another place. The variables are read at each
// DirectInput8Create (and at the first use before one), so a test can point
// the files elsewhere between restarts.
#pragma once

#include <string>

void rereadEnvironment();

// In process (simReset) there are no files: the configuration comes from the
// test, the input is set directly, the journal is kept in memory, and the
// environment is never read. A process that asks for this keeps it.
void useNoFiles();
bool noFiles();

const std::wstring& configPath();   // KESTRA_SIM_CONFIG, else sim-config.txt
const std::wstring& inputPath();    // KESTRA_SIM_INPUT, else sim-input.txt
const std::wstring& journalPath();  // KESTRA_SIM_JOURNAL, else sim-journal.txt
// KESTRA_SIM_JOURNAL=NUL: no journal is composed or written.
bool journalToNul();

// KESTRA_SIM_FREE_RELEASED=1: objects released to zero references are
// destroyed instead of kept as zombies. The objects a DirectInput8Create
// leads to keep the answer it found for their whole life.
bool freeReleasedObjects();

// The whole of a small text file; false when it cannot be opened.
bool readTextFile(const std::wstring& path, std::string& text);

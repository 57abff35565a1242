// The settings file "opt.dat" and the conversions between the two images of
// the settings: Settings (DirectInput units) and a SettingsRecord (percent).
#pragma once

#include "app/state.h"

#include <cstddef>
#include <cstdint>

constexpr std::uint32_t settingsFileMagic = 0x08A4B509;
constexpr std::size_t settingsFileSize = 56;

// Takes a record into Settings, refusing indices out of range, then gives the
// effects the new values.
void applySettingsRecord(const SettingsRecord& record);

// Fills a record from Settings, gains divided by 100 toward zero.
void captureSettingsRecord(SettingsRecord& record);

// The file's bytes: the magic, then the record field by field, little-endian,
// padding zero.
void encodeSettingsFile(const SettingsRecord& record, std::uint8_t (&bytes)[settingsFileSize]);

// Reads a record from the file's bytes; false, with the record untouched, for
// a file that is too short or does not start with the magic.
bool decodeSettingsFile(const std::uint8_t* bytes, std::size_t size, SettingsRecord& record);

// Writes "opt.dat" in the working directory from Settings, replacing the old
// file in one step through "opt.dat.tmp". Leaves alone a stored file this run
// has not read, a read-only one, and one another program holds open for more
// than about half a second; but for the unread file, a save that leaves
// "opt.dat" without the live settings sets unsavedSettings.
void saveSettings();

// Reads "opt.dat" from the working directory into Settings if it is a whole,
// valid settings file, unless the last save could not write the live ones.
void loadSettings();

#include "settings/settings_file.h"

#include "ffb/effects.h"

#include <limits>

namespace {

const wchar_t settingsFileName[] = L"opt.dat";
// One name for every save, so a save cut short leaves at most this file,
// which the next save overwrites.
const wchar_t temporaryFileName[] = L"opt.dat.tmp";

// About half a second in all: long enough to outwait an indexer or virus
// scanner that holds a file it has just seen, short enough not to delay exit.
constexpr int moveAttempts = 10;
constexpr DWORD moveRetryMs = 50;

// Where each field lives in the file. Load and save both walk these tables,
// so the layout is the same whatever the compiler's packing.
struct Int32Field {
    std::size_t offset;
    std::int32_t SettingsFields::*field;
};
const Int32Field int32Fields[] = {
    {4, &SettingsFields::deviceIndex},   {8, &SettingsFields::povDeviceIndex},
    {12, &SettingsFields::holdButton},   {16, &SettingsFields::toggleButton},
    {20, &SettingsFields::centerButton}, {24, &SettingsFields::springGain},
    {28, &SettingsFields::damperGain},   {32, &SettingsFields::frictionGain},
    {36, &SettingsFields::springGain2},  {40, &SettingsFields::damperGain2},
    {44, &SettingsFields::frictionGain2}, {48, &SettingsFields::reinitKey},
};

struct ByteField {
    std::size_t offset;
    std::uint8_t SettingsFields::*field;
};
const ByteField byteFields[] = {
    {52, &SettingsFields::swapAxes},
    {53, &SettingsFields::trimmerMode},
};
// Bytes 54 and 55 are padding, written as zero and never read.

void putUint32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t getUint32(const std::uint8_t* at)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    return value;
}

// Percent to DirectInput units. Stored percentages are not range-checked, but
// a product beyond 32 bits is held at the nearest representable value.
std::int32_t percentToUnits(std::int32_t percent)
{
    const std::int64_t units = static_cast<std::int64_t>(percent) * 100;
    if (units > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (units < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(units);
}

// The full path: moving a file over another needs it under Wine.
bool fullPathOf(const wchar_t* name, wchar_t (&path)[MAX_PATH])
{
    const DWORD length = GetFullPathNameW(name, MAX_PATH, path, nullptr);
    return length > 0 && length < MAX_PATH;
}

// A read-only "opt.dat" keeps its content. Windows refuses to move a file over
// it, but Wine does not, so the attribute is checked here. Checked before the
// move, it also spares a read-only file the retries: Windows refuses it with
// the same access denied as a file in use.
bool mayReplace(const wchar_t* path)
{
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    return (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

// Windows refuses the move while another program has either file open:
// access denied when "opt.dat" is open, a sharing violation when the new file
// is open without delete sharing. Such a hold is usually brief, so the move
// is tried again for a while; any other failure is final.
bool moveOver(const wchar_t* from, const wchar_t* to)
{
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == moveAttempts)
            return false;
        Sleep(moveRetryMs);
    }
}

bool writeWholeFile(const wchar_t* path, const std::uint8_t* bytes, DWORD size)
{
    const HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes, size, &written, nullptr) && written == size && FlushFileBuffers(file);
    CloseHandle(file);
    return ok;
}

} // namespace

void applySettingsRecord(const SettingsRecord& record)
{
    // The first member of each group decides for the group; a later member
    // out of range keeps its earlier value, so no such value becomes an index.
    if (isDeviceIndex(record.deviceIndex)) {
        Settings.deviceIndex = record.deviceIndex;
        if (isDeviceIndex(record.povDeviceIndex))
            Settings.povDeviceIndex = record.povDeviceIndex;
    }
    if (isButtonIndex(record.holdButton)) {
        Settings.holdButton = record.holdButton;
        if (isButtonIndex(record.toggleButton))
            Settings.toggleButton = record.toggleButton;
        if (isButtonIndex(record.centerButton))
            Settings.centerButton = record.centerButton;
    }
    for (std::int32_t SettingsFields::*gain : gainFields)
        Settings.*gain = percentToUnits(record.*gain);
    Settings.reinitKey = record.reinitKey;
    Settings.swapAxes = record.swapAxes;
    Settings.trimmerMode = record.trimmerMode;
    updateEffects();
}

void captureSettingsRecord(SettingsRecord& record)
{
    static_cast<SettingsFields&>(record) = Settings;
    for (std::int32_t SettingsFields::*gain : gainFields)
        record.*gain = Settings.*gain / 100;
}

void encodeSettingsFile(const SettingsRecord& record, std::uint8_t (&bytes)[settingsFileSize])
{
    for (std::uint8_t& byte : bytes)
        byte = 0;
    putUint32(bytes, settingsFileMagic);
    for (const Int32Field& f : int32Fields)
        putUint32(bytes + f.offset, static_cast<std::uint32_t>(record.*f.field));
    for (const ByteField& f : byteFields)
        bytes[f.offset] = record.*f.field;
}

bool decodeSettingsFile(const std::uint8_t* bytes, std::size_t size, SettingsRecord& record)
{
    if (size < settingsFileSize || getUint32(bytes) != settingsFileMagic)
        return false;
    for (const Int32Field& f : int32Fields)
        record.*f.field = static_cast<std::int32_t>(getUint32(bytes + f.offset));
    for (const ByteField& f : byteFields)
        record.*f.field = bytes[f.offset];
    return true;
}

void saveSettings()
{
    // A run that never read the settings (no stick, say) may still write
    // them when there is no stored file to lose.
    if (!storedSettingsKnown) {
        if (GetFileAttributesW(settingsFileName) != INVALID_FILE_ATTRIBUTES ||
            GetLastError() != ERROR_FILE_NOT_FOUND)
            return;
        storedSettingsKnown = true;
    }

    wchar_t path[MAX_PATH];
    wchar_t temporary[MAX_PATH];
    unsavedSettings = true;
    if (!fullPathOf(settingsFileName, path) || !fullPathOf(temporaryFileName, temporary) || !mayReplace(path))
        return;

    SettingsRecord record;
    captureSettingsRecord(record);
    std::uint8_t bytes[settingsFileSize];
    encodeSettingsFile(record, bytes);

    // The new content goes to a file of its own beside "opt.dat" and then
    // takes its place in one step, so a crash never leaves a cut-off file.
    if (!writeWholeFile(temporary, bytes, sizeof bytes) || !moveOver(temporary, path)) {
        DeleteFileW(temporary);
        return;
    }
    unsavedSettings = false;
}

void loadSettings()
{
    // The file is older than what the pilot has set since: a restart keeps
    // that, and the next save tries again.
    if (unsavedSettings)
        return;
    const HANDLE file =
        CreateFileW(settingsFileName, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // No file: there is nothing a later save could lose.
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            storedSettingsKnown = true;
        return;
    }

    std::uint8_t bytes[settingsFileSize];
    DWORD read = 0;
    const bool readOk = ReadFile(file, bytes, sizeof bytes, &read, nullptr);
    CloseHandle(file);
    if (!readOk)
        return;
    // Read, whatever it holds: a file that is not a whole settings file is
    // replaced by the next save.
    storedSettingsKnown = true;

    SettingsRecord record;
    if (decodeSettingsFile(bytes, read, record))
        applySettingsRecord(record);
}

#include "core/settings/SettingsStore.h"

#include <cstdint>
#include <optional>

#include "core/engine/Format.h"
#include "core/engine/SplitPlan.h"
#include "platform/Text.h"

namespace olvo {
namespace {

[[noreturn]] void Fail(const char* before, std::string_view name, const char* after) {
    throw SettingsError(before + std::string(name) + after);
}

std::string_view UpToZero(std::string_view data) {
    return data.substr(0, data.find('\0'));
}

// A whole number as the settings have always been read: leading spaces, a sign, then decimal
// digits or hexadecimal ones after "$", "x" or "0x", and nothing after them. Decimal numbers must
// fit 32 signed bits, hexadecimal ones 32 bits. Only whether the number is 0 matters to callers,
// so the 32-bit pattern is returned.
std::optional<std::uint32_t> TextToNumber(std::string_view text) {
    const auto number = ParseSignedNumber(
        text,
        {.bits = 32, .hexFillsAllBits = true, .bareXMeansHex = true, .skipLeadingSpaces = true});
    if (!number) return std::nullopt;
    return static_cast<std::uint32_t>(*number);
}

// "Recovery Pieces": a count in decimal, 0 for anything that is not one within the split limits.
std::uint32_t ReadRecoveryPieces(SettingsStore& store) {
    const std::string text = store.ReadString(kSettingsSection, kRecoveryPiecesValue, "0");
    const auto number = ParseSignedNumber(
        text, NumberRules{.bits = 32, .skipLeadingSpaces = true, .decimalOnly = true});
    if (!number) return 0;
    const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(*number));
    return value < 0 || value > static_cast<std::int32_t>(kMaxSplitCount)
               ? 0
               : static_cast<std::uint32_t>(value);
}

std::optional<RegistryKey> OpenSettingsKey(Registry& registry, bool forChange) {
    if (forChange) registry.BeginChanges();
    return registry.CreateKey(kCurrentUser, kSettingsKey);
}

}  // namespace

SettingsStore::SettingsStore(Registry& registry, bool forChange)
    : m_registry(registry), m_key(registry, OpenSettingsKey(registry, forChange)) {}

SettingsStore::~SettingsStore() = default;

std::string SettingsStore::ReadString(std::string_view section, std::string_view name,
                                      std::string_view defaultText) {
    if (!m_key.IsOpen()) return std::string(defaultText);
    const ScopedRegistryKey key(m_registry, m_registry.OpenKey(m_key.Get(), section));
    if (!key.IsOpen()) return std::string(defaultText);
    const std::optional<RegistryValue> value = m_registry.QueryValue(key.Get(), name);
    if (!value) return std::string(defaultText);
    if (value->data.empty()) return {};
    if (value->type != kRegSz && value->type != kRegExpandSz) {
        Fail("Invalid data type for '", name, "'");
    }
    return std::string(UpToZero(value->data));
}

bool SettingsStore::ReadBool(std::string_view section, std::string_view name, bool defaultValue) {
    if (!m_key.IsOpen()) return defaultValue;
    const ScopedRegistryKey key(m_registry, m_registry.OpenKey(m_key.Get(), section));
    if (!key.IsOpen()) return defaultValue;
    const std::optional<RegistryValue> value = m_registry.QueryValue(key.Get(), name);
    if (!value) return defaultValue;
    if (value->type == kRegSz) {
        const std::optional<std::uint32_t> number = TextToNumber(UpToZero(value->data));
        return number ? *number != 0 : defaultValue;
    }
    if (value->data.size() > 4) Fail("Failed to get data for '", name, "'");
    if (value->type != kRegDword) Fail("Invalid data type for '", name, "'");
    // Shorter data reads as the low bytes of the number, the rest zero.
    return value->data.find_first_not_of('\0') != std::string::npos;
}

void SettingsStore::WriteString(std::string_view section, std::string_view name,
                                std::string_view text) {
    const ScopedRegistryKey key(
        m_registry, m_key.IsOpen() ? m_registry.CreateKey(m_key.Get(), section) : std::nullopt);
    if (!key.IsOpen()) Fail("Failed to create key ", section, "");
    if (!m_registry.SetStringValue(key.Get(), name, text)) {
        Fail("Failed to set data for '", name, "'");
    }
}

void SettingsStore::WriteBool(std::string_view section, std::string_view name, bool value) {
    WriteString(section, name, value ? "1" : "0");
}

void SettingsStore::Commit() {
    if (!m_registry.CommitChanges()) throw SettingsError("Failed to save the settings");
}

std::vector<std::string> SplitSizeEntries(const std::string& listText) {
    // The text ends at a zero byte, as it always did; past it nothing would move the scan on.
    const std::string_view text = UpToZero(listText);
    const auto isSpace = [](char c) { return c >= 1 && c <= 32; };
    std::vector<std::string> entries;
    std::size_t i = 0;
    const auto skipSpaces = [&] {
        while (i < text.size() && isSpace(text[i])) ++i;
    };
    skipSpaces();
    while (i < text.size()) {
        std::string entry;
        if (text[i] == '"') {
            ++i;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        entry += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                entry += text[i++];
            }
        } else {
            while (i < text.size() && text[i] != ',' && !isSpace(text[i])) entry += text[i++];
        }
        entries.push_back(std::move(entry));
        skipSpaces();
        if (i < text.size() && text[i] == ',') {
            ++i;
            skipSpaces();
        }
    }
    return entries;
}

std::optional<std::string> SplitSizesInKB(const std::string& listText) {
    if (listText.find('\0') != std::string::npos) return std::nullopt;
    const std::vector<std::string> entries = SplitSizeEntries(listText);
    if (entries.empty()) return std::nullopt;
    std::string stored;
    for (const std::string& entry : entries) {
        const std::optional<std::uint64_t> bytes = ParseSize(entry);
        if (!bytes || !IsSplitSize(*bytes)) return std::nullopt;
        if (!stored.empty()) stored += ',';
        stored += *bytes % 1024 == 0 ? std::to_string(*bytes / 1024) : entry;
    }
    return stored;
}

std::string StoredSplitSizes(const std::string& listText) {
    return SplitSizesInKB(listText).value_or(listText);
}

void LoadStartupSettings(Registry& registry, Settings& settings,
                         std::vector<std::string>& splitSizes) {
    SettingsStore store(registry);
    splitSizes =
        SplitSizeEntries(store.ReadString(kSettingsSection, kSplitSizesValue, DefaultSplitSizes));
    settings.SplitToFolder = store.ReadBool(kSettingsSection, kSplitToFolderValue, false);
    settings.SplitFolderName = store.ReadString(kSettingsSection, kSplitFolderNameValue, "");
    settings.RestoreToFolder = store.ReadBool(kSettingsSection, kRestoreToFolderValue, false);
    settings.RestoreFolderName = store.ReadString(kSettingsSection, kRestoreFolderNameValue, "");
    settings.WriteHashes = store.ReadBool(kSettingsSection, kWriteHashesValue, true);
    settings.RecoveryPieces = ReadRecoveryPieces(store);
}

namespace {

void ReadConfig(SettingsStore& store, Settings& values) {
    values.SplitFolderName = store.ReadString(kSettingsSection, kSplitFolderNameValue, "");
    values.RestoreFolderName = store.ReadString(kSettingsSection, kRestoreFolderNameValue, "");
    values.SplitToFolder = store.ReadBool(kSettingsSection, kSplitToFolderValue, false);
    values.RestoreToFolder = store.ReadBool(kSettingsSection, kRestoreToFolderValue, false);
    values.SplitSizes = store.ReadString(kSettingsSection, kSplitSizesValue, DefaultSplitSizes);
    values.WriteHashes = store.ReadBool(kSettingsSection, kWriteHashesValue, true);
    values.RecoveryPieces = ReadRecoveryPieces(store);
}

void WriteConfig(SettingsStore& store, const Settings& values) {
    store.WriteBool(kSettingsSection, kSplitToFolderValue, values.SplitToFolder);
    store.WriteString(kSettingsSection, kSplitFolderNameValue, values.SplitFolderName);
    store.WriteBool(kSettingsSection, kRestoreToFolderValue, values.RestoreToFolder);
    store.WriteString(kSettingsSection, kRestoreFolderNameValue, values.RestoreFolderName);
    store.WriteString(kSettingsSection, kSplitSizesValue, values.SplitSizes);
    // Kept only once it was changed, so that a store of the usual five stays as it was.
    if (!values.WriteHashes ||
        store.ReadString(kSettingsSection, kWriteHashesValue, "\x01") != "\x01")
        store.WriteBool(kSettingsSection, kWriteHashesValue, values.WriteHashes);
    if (values.RecoveryPieces != 0 ||
        store.ReadString(kSettingsSection, kRecoveryPiecesValue, "\x01") != "\x01")
        store.WriteString(kSettingsSection, kRecoveryPiecesValue,
                          std::to_string(values.RecoveryPieces));
    store.Commit();
}

}  // namespace

void LoadConfigValues(Registry& registry, Settings& values) {
    SettingsStore store(registry);
    ReadConfig(store, values);
}

void SaveConfigValues(Registry& registry, const Settings& values) {
    SettingsStore store(registry, true);
    WriteConfig(store, values);
}

Settings ChangeConfigValues(Registry& registry, const std::function<void(Settings&)>& change) {
    SettingsStore store(registry, true);
    Settings values;
    ReadConfig(store, values);
    change(values);
    WriteConfig(store, values);
    return values;
}

}  // namespace olvo

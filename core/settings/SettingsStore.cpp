#include "core/settings/SettingsStore.h"

#include <cstdint>
#include <optional>

#include "core/engine/Format.h"

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
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    unsigned base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) return std::nullopt;
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFu : negative ? 0x80000000u : 0x7FFFFFFFu;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > limit) return std::nullopt;
    }
    const auto bits = static_cast<std::uint32_t>(value);
    return negative ? 0u - bits : bits;
}

}  // namespace

SettingsStore::SettingsStore(Registry& registry)
    : m_registry(registry), m_key(registry, registry.CreateKey(kCurrentUser, SettingsKey)) {}

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
        const std::optional<std::uint64_t> kb = ParseSizeKB(entry);
        if (!kb || *kb < 1 || *kb > kLargestSplitSizeKB) return std::nullopt;
        if (!stored.empty()) stored += ',';
        stored += std::to_string(*kb);
    }
    return stored;
}

void LoadStartupSettings(Registry& registry, Settings& settings,
                         std::vector<std::string>& splitSizes) {
    SettingsStore store(registry);
    splitSizes =
        SplitSizeEntries(store.ReadString(SettingsSection, kSplitSizesValue, DefaultSplitSizes));
    settings.SplitToFolder = store.ReadBool(SettingsSection, kSplitToFolderValue, false);
    settings.SplitFolderName = store.ReadString(SettingsSection, kSplitFolderNameValue, "");
    settings.RestoreToFolder = store.ReadBool(SettingsSection, kRestoreToFolderValue, false);
    settings.RestoreFolderName = store.ReadString(SettingsSection, kRestoreFolderNameValue, "");
    settings.WriteHashes = store.ReadBool(SettingsSection, kWriteHashesValue, true);
}

void LoadConfigValues(Registry& registry, ConfigValues& values) {
    SettingsStore store(registry);
    values.splitFolderName = store.ReadString(SettingsSection, kSplitFolderNameValue, "");
    values.restoreFolderName = store.ReadString(SettingsSection, kRestoreFolderNameValue, "");
    values.splitToFolder = store.ReadBool(SettingsSection, kSplitToFolderValue, false);
    values.restoreToFolder = store.ReadBool(SettingsSection, kRestoreToFolderValue, false);
    values.splitSizes = store.ReadString(SettingsSection, kSplitSizesValue, DefaultSplitSizes);
    values.writeHashes = store.ReadBool(SettingsSection, kWriteHashesValue, true);
}

void SaveConfigValues(Registry& registry, const ConfigValues& values) {
    SettingsStore store(registry);
    store.WriteBool(SettingsSection, kSplitToFolderValue, values.splitToFolder);
    store.WriteString(SettingsSection, kSplitFolderNameValue, values.splitFolderName);
    store.WriteBool(SettingsSection, kRestoreToFolderValue, values.restoreToFolder);
    store.WriteString(SettingsSection, kRestoreFolderNameValue, values.restoreFolderName);
    store.WriteString(SettingsSection, kSplitSizesValue, values.splitSizes);
    // Kept only once it was changed, so that a store of the usual five stays as it was.
    if (!values.writeHashes ||
        store.ReadString(SettingsSection, kWriteHashesValue, "\x01") != "\x01")
        store.WriteBool(SettingsSection, kWriteHashesValue, values.writeHashes);
}

}  // namespace olvo

// The registry seam over the real registry, below HKEY_CURRENT_USER, with the ANSI calls (names
// and texts in the system code page). The system keeps the store consistent between processes
// and puts every change in it at once; there is no session of our own to hold.

#include <windows.h>

#include <map>

#include "platform/Registry.h"

namespace olvo {
namespace {

// The system accepts some key paths our other registries refuse ("a\\b", a leading "\"); the
// contract refuses them on every platform.
bool IsKeyPath(std::string_view subKey) {
    if (subKey.empty()) return true;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = subKey.find('\\', start);
        if (end == start || start == subKey.size()) return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

class Win32Registry final : public Registry {
  public:
    ~Win32Registry() override {
        for (const auto& [handle, key] : m_keys) ::RegCloseKey(key);
    }

    std::optional<RegistryKey> CreateKey(RegistryKey parent, std::string_view subKey) override {
        const HKEY from = Find(parent);
        if (from == nullptr || !IsKeyPath(subKey)) return std::nullopt;
        HKEY key = nullptr;
        if (::RegCreateKeyExA(from, std::string(subKey).c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            return std::nullopt;
        return Keep(key);
    }

    std::optional<RegistryKey> OpenKey(RegistryKey parent, std::string_view subKey) override {
        const HKEY from = Find(parent);
        if (from == nullptr || !IsKeyPath(subKey)) return std::nullopt;
        HKEY key = nullptr;
        if (::RegOpenKeyExA(from, std::string(subKey).c_str(), 0, KEY_ALL_ACCESS, &key) !=
            ERROR_SUCCESS)
            return std::nullopt;
        return Keep(key);
    }

    std::optional<RegistryValue> QueryValue(RegistryKey handle, std::string_view name) override {
        const HKEY key = Find(handle);
        if (key == nullptr) return std::nullopt;
        const std::string valueName(name);
        // Another process may change the value between the two calls: ask again while it grows.
        for (int attempt = 0; attempt < 8; ++attempt) {
            DWORD type = 0, size = 0;
            if (::RegQueryValueExA(key, valueName.c_str(), nullptr, &type, nullptr, &size) !=
                ERROR_SUCCESS)
                return std::nullopt;
            RegistryValue value;
            value.type = type;
            value.data.resize(size);
            if (size == 0) return value;
            DWORD got = size;
            const LONG result =
                ::RegQueryValueExA(key, valueName.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(value.data.data()), &got);
            if (result == ERROR_MORE_DATA) continue;
            if (result != ERROR_SUCCESS) return std::nullopt;
            value.type = type;
            value.data.resize(got);
            return value;
        }
        return std::nullopt;
    }

    bool SetStringValue(RegistryKey handle, std::string_view name, std::string_view text) override {
        const HKEY key = Find(handle);
        if (key == nullptr) return false;
        const std::string data = std::string(text) + '\0';
        return ::RegSetValueExA(key, std::string(name).c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(data.data()),
                                static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
    }

    void CloseKey(RegistryKey handle) override {
        const auto it = m_keys.find(handle);
        if (it == m_keys.end()) return;
        ::RegCloseKey(it->second);
        m_keys.erase(it);
    }

  private:
    HKEY Find(RegistryKey handle) const {
        if (handle == kCurrentUser) return HKEY_CURRENT_USER;
        const auto it = m_keys.find(handle);
        return it == m_keys.end() ? nullptr : it->second;
    }

    RegistryKey Keep(HKEY key) {
        while (m_nextHandle == kCurrentUser || m_keys.count(m_nextHandle)) ++m_nextHandle;
        const RegistryKey handle = m_nextHandle++;
        m_keys.emplace(handle, key);
        return handle;
    }

    std::map<RegistryKey, HKEY> m_keys;
    RegistryKey m_nextHandle = kCurrentUser + 1;
};

}  // namespace

std::unique_ptr<Registry> OpenUserRegistry() {
    return std::make_unique<Win32Registry>();
}

std::string UserHivePath() {
    return "HKEY_CURRENT_USER";
}

}  // namespace olvo

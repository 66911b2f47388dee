#pragma once
// Keeps what the current user has below HKEY_CURRENT_USER\software\Kestrava\File Splitter and
// puts it back when the test ends, so that a test may change the program's real settings.

#include <windows.h>

#include <string>
#include <vector>

namespace olvo::test {

inline constexpr char kSettingsSubKey[] = "software\\Kestrava\\File Splitter";

class RegistrySnapshot {
  public:
    RegistrySnapshot() {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsSubKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return;
        m_existed = true;
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD nameSize = sizeof name, type = 0, size = 0;
            if (::RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &size) !=
                ERROR_SUCCESS)
                break;
            Value value{name, type, std::string(size, '\0')};
            nameSize = sizeof name;
            ::RegEnumValueA(key, i, name, &nameSize, nullptr, &type,
                            reinterpret_cast<BYTE*>(value.data.data()), &size);
            value.data.resize(size);
            m_values.push_back(value);
        }
        ::RegCloseKey(key);
    }
    ~RegistrySnapshot() {
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsSubKey);
        if (!m_existed) return;
        HKEY key = nullptr;
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsSubKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr) != ERROR_SUCCESS)
            return;
        for (const Value& value : m_values)
            ::RegSetValueExA(key, value.name.c_str(), 0, value.type,
                             reinterpret_cast<const BYTE*>(value.data.data()),
                             static_cast<DWORD>(value.data.size()));
        ::RegCloseKey(key);
    }
    RegistrySnapshot(const RegistrySnapshot&) = delete;
    RegistrySnapshot& operator=(const RegistrySnapshot&) = delete;

  private:
    struct Value {
        std::string name;
        DWORD type;
        std::string data;
    };
    bool m_existed = false;
    std::vector<Value> m_values;
};

// A value as stored, with its type; empty data and type 0 when there is none.
inline std::pair<DWORD, std::string> StoredSetting(const std::string& name) {
    char data[1024];
    DWORD type = 0, size = sizeof data;
    if (::RegGetValueA(HKEY_CURRENT_USER, kSettingsSubKey, name.c_str(), RRF_RT_ANY, &type, data,
                       &size) != ERROR_SUCCESS)
        return {0, {}};
    return {type, std::string(data, size)};
}

}  // namespace olvo::test

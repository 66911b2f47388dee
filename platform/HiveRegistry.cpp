#include "platform/HiveRegistry.h"

namespace olvo {

// Opens a session for the length of one call when none is open, and closes it afterwards when
// the call left no handle open, so that even a call on kCurrentUser alone sees the store afresh.
class HiveRegistry::Use {
  public:
    explicit Use(HiveRegistry& owner) : m_owner(owner) {
        if (!m_owner.m_inSession) {
            m_owner.m_hive = m_owner.BeginSession();
            m_owner.m_inSession = true;
            if (m_owner.m_holding) m_owner.m_beforeChanges = m_owner.m_hive;
        }
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    ~Use() {
        if (m_owner.m_handles.empty()) m_owner.EndOfSession();
    }

  private:
    HiveRegistry& m_owner;
};

std::optional<std::string> HiveRegistry::PathBelow(RegistryKey parent,
                                                   std::string_view subKey) const {
    std::string folded;
    if (parent != kCurrentUser) {
        const auto it = m_handles.find(parent);
        if (it == m_handles.end()) return std::nullopt;
        folded = it->second;
    }
    if (!IsValidKeyPath(subKey)) return std::nullopt;
    const HiveKey* parentKey = m_hive.Find(folded);
    if (parentKey == nullptr) return std::nullopt;
    std::string path = parentKey->Path();
    if (!path.empty() && !subKey.empty()) path += '\\';
    path += subKey;
    return path;
}

RegistryKey HiveRegistry::NewHandle(const std::string& path) {
    while (m_nextHandle <= kCurrentUser || m_handles.count(m_nextHandle) != 0) ++m_nextHandle;
    const RegistryKey handle = m_nextHandle++;
    m_handles.emplace(handle, FoldRegistryName(path));
    return handle;
}

std::optional<RegistryKey> HiveRegistry::CreateKey(RegistryKey parent, std::string_view subKey) {
    Use use(*this);
    const std::optional<std::string> path = PathBelow(parent, subKey);
    if (!path) return std::nullopt;
    if (m_hive.Find(*path) == nullptr && (!CanCommit() || m_hive.Create(*path) == nullptr))
        return std::nullopt;
    return NewHandle(*path);
}

std::optional<RegistryKey> HiveRegistry::OpenKey(RegistryKey parent, std::string_view subKey) {
    Use use(*this);
    const std::optional<std::string> path = PathBelow(parent, subKey);
    if (!path || m_hive.Find(*path) == nullptr) return std::nullopt;
    return NewHandle(*path);
}

std::optional<RegistryValue> HiveRegistry::QueryValue(RegistryKey key, std::string_view name) {
    Use use(*this);
    const std::optional<std::string> path = PathBelow(key, {});
    const HiveKey* hiveKey = path ? m_hive.Find(*path) : nullptr;
    const RegistryValue* value = hiveKey ? hiveKey->Find(name) : nullptr;
    if (value == nullptr) return std::nullopt;
    return *value;
}

bool HiveRegistry::SetStringValue(RegistryKey key, std::string_view name, std::string_view text) {
    Use use(*this);
    const std::optional<std::string> path = PathBelow(key, {});
    if (!path || !IsValidValueName(name)) return false;
    Hive changed = m_hive;
    HiveKey* hiveKey = changed.Find(*path);
    if (hiveKey == nullptr) return false;
    RegistryValue value{kRegSz, std::string(text)};
    value.data += '\0';
    hiveKey->Set(name, std::move(value));
    if (m_holding) {
        if (!CanCommit()) return false;
        m_pending = true;
    } else if (!Commit(changed)) {
        return false;
    }
    m_hive = std::move(changed);
    return true;
}

void HiveRegistry::CloseKey(RegistryKey key) {
    if (key == kCurrentUser || m_handles.erase(key) == 0) return;
    if (m_handles.empty() && m_inSession) EndOfSession();
}

void HiveRegistry::BeginChanges() {
    m_holding = true;
    m_pending = false;
    if (m_inSession) {
        m_beforeChanges = m_hive;
    } else {
        m_changesAhead = true;
    }
}

bool HiveRegistry::CommitChanges() {
    if (!m_holding) return true;
    m_holding = false;
    if (!m_pending) return true;
    m_pending = false;
    if (Commit(m_hive)) return true;
    m_hive = std::move(m_beforeChanges);
    return false;
}

void HiveRegistry::EndOfSession() {
    m_inSession = false;
    m_changesAhead = m_holding = m_pending = false;
    m_hive = m_beforeChanges = Hive();
    EndSession();
}

}  // namespace olvo

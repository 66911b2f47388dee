#pragma once
// The per-user registry: a tree of keys below HKEY_CURRENT_USER, each holding named, typed
// values. Key paths are relative to HKEY_CURRENT_USER, their parts separated by a backslash;
// key and value names compare without regard to case (ASCII) and keep the case first given.
//
// Keys are reached through handles. While any handle is open the registry holds its store for
// this process alone (the per-user hive takes an advisory lock on it), so everything done between
// the first open and the last close is one consistent view for every other process that uses
// the registry. Nothing is kept between such uses: the next first open reads the store afresh.
// One thread at a time.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace olvo {

// Value types, numbered as on Windows; other numbers are kept and reported as they are.
inline constexpr std::uint32_t kRegSz = 1;        // text followed by one zero byte
inline constexpr std::uint32_t kRegExpandSz = 2;  // the same, with %VARIABLE% references
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;  // 32 bits, least significant byte first

using RegistryKey = std::uint32_t;
// The root, HKEY_CURRENT_USER itself: always open, never closed.
inline constexpr RegistryKey kCurrentUser = 1;

struct RegistryValue {
    std::uint32_t type = 0;
    std::string data;  // the stored bytes; their count is the value's data length
    bool operator==(const RegistryValue&) const = default;
};

class Registry {
  public:
    virtual ~Registry() = default;

    // Opens subKey below parent with full access, creating it and every missing key on the way.
    // An empty subKey opens parent again. Nothing when the key cannot be created or opened
    // (an empty part in the path, a store that cannot be read or written).
    virtual std::optional<RegistryKey> CreateKey(RegistryKey parent, std::string_view subKey) = 0;
    // Opens an existing key; nothing when it does not exist or parent is not open.
    virtual std::optional<RegistryKey> OpenKey(RegistryKey parent, std::string_view subKey) = 0;
    // The type, length and data of a value (an empty name is the key's default value);
    // nothing when the value does not exist or key is not open.
    virtual std::optional<RegistryValue> QueryValue(RegistryKey key, std::string_view name) = 0;
    // Stores text as a REG_SZ value: the text followed by one zero byte. Once it returns true the
    // value is in the store. False when the store refused (nothing changed then).
    virtual bool SetStringValue(RegistryKey key, std::string_view name, std::string_view text) = 0;
    // Releases a handle; closing kCurrentUser or an unknown handle does nothing.
    virtual void CloseKey(RegistryKey key) = 0;
    // Holds the changes that follow (SetStringValue, CreateKey) until CommitChanges, which puts
    // them in the store as one: a kill or a failure before it leaves the store as it was, and no
    // other process ever sees a part of them. Called while no handle is open, it also says that
    // the session that follows is one that changes the store, which is then taken for writing
    // from the first read: the store stays this process's from the read to the write, so a
    // change made from what was read loses no other process's change. Changes still held when the
    // session ends are dropped. A store that puts every change in place at once on its own (the
    // system registry) holds nothing: there both calls do nothing.
    virtual void BeginChanges() {}
    // Puts the held changes in the store; false when it refused, and then none of them is there
    // and the session's tree is as it was before BeginChanges.
    virtual bool CommitChanges() { return true; }
    // What the store had to tell the user since the last call, beyond what its operations
    // returned (a damaged store kept aside, a lock not obtained), each a sentence; then forgets
    // them.
    virtual std::vector<std::string> TakeNotices() { return {}; }
};

// Closes its key when it goes, on every path.
class ScopedRegistryKey {
  public:
    ScopedRegistryKey() = default;
    ScopedRegistryKey(Registry& registry, std::optional<RegistryKey> key)
        : m_registry(key ? &registry : nullptr), m_key(key.value_or(0)) {}
    ScopedRegistryKey(const ScopedRegistryKey&) = delete;
    ScopedRegistryKey& operator=(const ScopedRegistryKey&) = delete;
    ~ScopedRegistryKey() {
        if (m_registry) m_registry->CloseKey(m_key);
    }

    bool IsOpen() const { return m_registry != nullptr; }
    RegistryKey Get() const { return m_key; }

  private:
    Registry* m_registry = nullptr;
    RegistryKey m_key = 0;
};

// The current user's settings hive, made once by the program at start-up and handed down.
// On POSIX a text file in the form of a registry export,
// ${XDG_CONFIG_HOME:-$HOME/.config}/Kestrava/registry.reg (see posix/PosixRegistry.cpp); the
// location is worked out again at every first open.
std::unique_ptr<Registry> OpenUserRegistry();

// Where OpenUserRegistry's hive is kept now; empty when no home folder can be found.
std::string UserHivePath();

}  // namespace olvo

#pragma once
// A registry that works on a whole tree (a Hive) for the length of a session: from the first
// handle opened to the last one closed. The session starts by taking the tree from the store and
// every change is handed to the store at once, as a complete new tree (after BeginChanges, all of
// them at CommitChanges, as one tree); a change the store refuses leaves the tree as it was. The
// kinds of store differ only in those three steps.

#include <map>
#include <memory>
#include <string>

#include "platform/Registry.h"
#include "platform/RegistryHive.h"

namespace olvo {

class HiveRegistry : public Registry {
  public:
    std::optional<RegistryKey> CreateKey(RegistryKey parent, std::string_view subKey) override;
    std::optional<RegistryKey> OpenKey(RegistryKey parent, std::string_view subKey) override;
    std::optional<RegistryValue> QueryValue(RegistryKey key, std::string_view name) override;
    bool SetStringValue(RegistryKey key, std::string_view name, std::string_view text) override;
    void CloseKey(RegistryKey key) override;
    void BeginChanges() override;
    bool CommitChanges() override;

  protected:
    // Takes the store for this process and returns its tree (empty when there is none or when it
    // cannot be read).
    virtual Hive BeginSession() = 0;
    // Puts the whole changed tree in the store; false when the store refused.
    virtual bool Commit(const Hive& hive) = 0;
    // Lets the store go; called when the last handle is closed.
    virtual void EndSession() = 0;
    // Whether Commit may succeed in this session. A key created while it may is kept in the
    // session's tree alone until a value is set, so a session that only reads never writes.
    virtual bool CanCommit() const = 0;
    // True in BeginSession when BeginChanges announced the session: the store is to be taken for
    // writing from the start.
    bool ChangesAhead() const { return m_changesAhead; }

  private:
    class Use;
    void EndOfSession();
    // The stored path of the key named by subKey below parent; nothing when parent is not open
    // or subKey is not a key path.
    std::optional<std::string> PathBelow(RegistryKey parent, std::string_view subKey) const;
    RegistryKey NewHandle(const std::string& path);

    bool m_inSession = false;
    bool m_changesAhead = false;  // BeginChanges came before the session
    bool m_holding = false;       // changes go to m_hive alone until CommitChanges
    bool m_pending = false;       // m_hive holds changes the store has not seen
    Hive m_hive;
    Hive m_beforeChanges;  // the tree as it was at BeginChanges, for a refused commit
    std::map<RegistryKey, std::string> m_handles;  // open handle -> folded key path
    RegistryKey m_nextHandle = kCurrentUser + 1;
};

// A registry kept in a hive file at path (see posix/PosixRegistry.cpp for how it is read, locked
// and saved). Use one such object per file in a process: two of them on one file, both in a
// session, would wait for each other's lock.
std::unique_ptr<Registry> MakeHiveFileRegistry(std::string path);

}  // namespace olvo

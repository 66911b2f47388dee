#pragma once
// A registry held in memory, for tests: its tree can be arranged and inspected directly, and it
// can be told to refuse every change.

#include "platform/HiveRegistry.h"

namespace olvo {

class MemoryRegistry final : public HiveRegistry {
  public:
    Hive& Contents() { return m_stored; }
    void RefuseChanges(bool refuse) { m_refuse = refuse; }
    // How many sessions have started and how many handles are open now.
    int Sessions() const { return m_sessions; }
    bool InSession() const { return m_open; }

  protected:
    Hive BeginSession() override {
        ++m_sessions;
        m_open = true;
        return m_stored;
    }
    bool Commit(const Hive& hive) override {
        if (m_refuse) return false;
        m_stored = hive;
        return true;
    }
    void EndSession() override { m_open = false; }
    bool CanCommit() const override { return !m_refuse; }

  private:
    Hive m_stored;
    bool m_refuse = false;
    bool m_open = false;
    int m_sessions = 0;
};

}  // namespace olvo

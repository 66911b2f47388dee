#pragma once
// A handle of the system (a file descriptor, an Internet session) that its owner closes when it
// goes. Close is called once for a handle other than kNone.

namespace olvo {

template <typename Handle, Handle kNone, auto Close>
class OwnedHandle {
  public:
    explicit OwnedHandle(Handle handle = kNone) : m_handle(handle) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { Reset(); }

    // Closes the handle held and takes handle in its place.
    void Reset(Handle handle = kNone) {
        if (m_handle != kNone) Close(m_handle);
        m_handle = handle;
    }
    Handle Get() const { return m_handle; }
    // Hands the handle over to the caller, who closes it.
    Handle Release() {
        const Handle handle = m_handle;
        m_handle = kNone;
        return handle;
    }

  private:
    Handle m_handle;
};

}  // namespace olvo

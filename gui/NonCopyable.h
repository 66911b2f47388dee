#pragma once
// A base for the objects that stand for something they hold while they live (a message handler
// installed, a cursor set, a window kept): copying one would hold it twice.

namespace olvo {

class NonCopyable {
  public:
    NonCopyable(const NonCopyable&) = delete;
    NonCopyable& operator=(const NonCopyable&) = delete;

  protected:
    NonCopyable() = default;
    ~NonCopyable() = default;
};

}  // namespace olvo

#pragma once

#include <stdexcept>
#include <string>

namespace olvo {

// The engine's one failure: the text the user is shown and the system's error number behind it
// (an errno value on POSIX, 0 when the failure is not the system's). The platform's FileError
// and CopyError become one at the engine's edge, with their text and number.
class EngineError : public std::runtime_error {
  public:
    // text without its closing "!", which Message adds.
    explicit EngineError(const std::string& text, int code = 0)
        : std::runtime_error(text), m_code(code) {}

    // A failure whose text is whole as it stands: a closing "." or its own "!" already there.
    static EngineError Whole(const std::string& text) {
        EngineError error(text);
        error.m_whole = true;
        return error;
    }

    int Code() const { return m_code; }
    bool IsWhole() const { return m_whole; }

    // What the user is shown: the one place the closing "!" is added.
    std::string Message() const { return m_whole ? what() : std::string(what()) + "!"; }

  private:
    int m_code;
    bool m_whole = false;
};

}  // namespace olvo

#pragma once

#include <stdexcept>
#include <string>

namespace olvo {

// A failure inside the engine, carrying the text the user is shown (without the closing "!").
class EngineError : public std::runtime_error {
  public:
    explicit EngineError(const std::string& text) : std::runtime_error(text) {}
};

}  // namespace olvo

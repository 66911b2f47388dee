#pragma once
// The engine's media questions as modal message boxes with the information icon and the buttons
// Retry and Cancel, asked through Gui(). Closing the box answers Cancel.

#include "engine/Seams.h"

namespace olvo {

class GuiPrompt final : public Prompt {
  public:
    PromptAnswer AskRetryCancel(const std::string& caption, const std::string& text) override;
};

}  // namespace olvo

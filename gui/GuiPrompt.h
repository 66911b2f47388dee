#pragma once
// The engine's media questions as modal message boxes with the information icon and the buttons
// Retry and Cancel, asked through Gui(). Closing the box answers Cancel. The question before
// another set's files are overwritten has the buttons Yes and No; closing it answers No.

#include "core/engine/Seams.h"

namespace olvo {

class GuiPrompt final : public Prompt {
  public:
    PromptAnswer AskRetryCancel(const std::string& caption, const std::string& text) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;
};

}  // namespace olvo

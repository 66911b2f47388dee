#pragma once
// The engine's media questions as modal message boxes with the information icon and the buttons
// Retry and Cancel, asked through the GuiService it is given. Closing the box answers Cancel. The
// question before another set's files are overwritten has the buttons Yes and No; closing it
// answers No.

#include "core/engine/Seams.h"

namespace olvo {

class GuiService;

class GuiPrompt final : public Prompt {
  public:
    explicit GuiPrompt(GuiService& gui) : m_gui(gui) {}

    PromptAnswer AskRetryCancel(const std::string& caption, const std::string& text) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;

  private:
    GuiService& m_gui;
};

}  // namespace olvo

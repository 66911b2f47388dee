#include "gui/GuiPrompt.h"

#include "gui/GuiService.h"

namespace olvo {

PromptAnswer GuiPrompt::AskRetryCancel(const std::string& caption, const std::string& text) {
    const BoxAnswer answer =
        m_gui.MessageBox(caption, text, BoxIcon::Information, BoxButtons::RetryCancel);
    return answer == BoxAnswer::Retry ? PromptAnswer::Retry : PromptAnswer::Cancel;
}

bool GuiPrompt::AskYesNo(const std::string& caption, const std::string& text) {
    return m_gui.MessageBox(caption, text, BoxIcon::Information, BoxButtons::YesNo) ==
           BoxAnswer::Yes;
}

}  // namespace olvo

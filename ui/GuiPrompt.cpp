#include "ui/GuiPrompt.h"

#include "ui/GuiService.h"

namespace olvo {

PromptAnswer GuiPrompt::AskRetryCancel(const std::string& caption, const std::string& text) {
    const BoxAnswer answer =
        Gui().MessageBox(caption, text, BoxIcon::Information, BoxButtons::RetryCancel);
    return answer == BoxAnswer::Retry ? PromptAnswer::Retry : PromptAnswer::Cancel;
}

}  // namespace olvo

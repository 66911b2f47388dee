#pragma once
// A GuiService that answers every dialog from a script and records what the windows asked.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gui/GuiService.h"

namespace olvo::test {

class FakeGui final : public GuiService {
  public:
    struct Box {
        std::string caption;
        std::string text;
        BoxIcon icon;
        BoxButtons buttons;
    };
    struct Request {
        std::string title;
        std::string argument;  // the filter of a file request, the start of a folder request
    };

    // Answers for the boxes, in order; once used up, Ok (Cancel for Retry/Cancel boxes, No for
    // Yes/No boxes).
    std::deque<BoxAnswer> boxAnswers;
    // Runs when a box is shown, before it is answered.
    std::function<void(const Box&)> onBox;
    std::optional<std::string> fileAnswer;
    std::optional<std::string> folderAnswer;

    std::vector<Box> boxes;
    std::vector<Request> fileRequests;
    std::vector<Request> folderRequests;
    std::vector<std::string> sounds;
    std::vector<std::string> urls;
    std::vector<std::string> helpFiles;
    // Whether the program is in front, as the windows ask before they notify.
    bool inFront = true;
    struct Notification {
        std::string summary;
        std::string body;
        bool operator==(const Notification&) const = default;
    };
    std::vector<Notification> notifications;

    BoxAnswer MessageBox(const std::string& caption, const std::string& text, BoxIcon icon,
                         BoxButtons buttons) override {
        boxes.push_back({caption, text, icon, buttons});
        if (onBox) onBox(boxes.back());
        if (!boxAnswers.empty()) {
            const BoxAnswer answer = boxAnswers.front();
            boxAnswers.pop_front();
            return answer;
        }
        return buttons == BoxButtons::Ok      ? BoxAnswer::Ok
               : buttons == BoxButtons::YesNo ? BoxAnswer::No
                                              : BoxAnswer::Cancel;
    }
    std::optional<std::string> OpenFileName(const std::string& title,
                                            const std::string& filter) override {
        fileRequests.push_back({title, filter});
        return fileAnswer;
    }
    std::optional<std::string> SelectFolder(const std::string& title,
                                            const std::string& path) override {
        folderRequests.push_back({title, path});
        return folderAnswer;
    }
    void OpenUrl(const std::string& url) override { urls.push_back(url); }
    void PlaySystemSound(const std::string& alias) override { sounds.push_back(alias); }
    void ShowHelpContents(const std::string& helpFile) override { helpFiles.push_back(helpFile); }
    bool ProgramInFront() override { return inFront; }
    void Notify(const std::string& summary, const std::string& body) override {
        notifications.push_back({summary, body});
    }

    // The texts of the boxes shown so far, and forgets them.
    std::vector<std::string> TakeBoxTexts() {
        std::vector<std::string> texts;
        for (const Box& box : boxes) texts.push_back(box.text);
        boxes.clear();
        return texts;
    }
};

}  // namespace olvo::test

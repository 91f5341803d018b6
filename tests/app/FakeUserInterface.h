#pragma once
// A scripted stand-in for the message boxes and file dialogs: records every box shown and
// answers from queues the test fills.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/UserInterface.h"

struct TShownBox {
    std::string Kind;  // "Information", "Confirm", "Error" or "Warning"
    std::string Text;  // a warning's as "caption: text"; the other kinds have fixed captions
    bool operator==(const TShownBox&) const = default;
};

class FakeUserInterface : public TUserInterface {
public:
    std::vector<TShownBox> Shown;
    std::vector<const QWidget*> Speakers;  // the window each box spoke for
    std::deque<bool> ConfirmAnswers;       // empty: answer Yes
    std::deque<std::optional<std::string>> OpenAnswers, SaveAnswers, FilterOpenAnswers, FilterSaveAnswers;

    void Information(const std::string& text) override { Show({"Information", text}); }
    bool Confirm(const std::string& text) override {
        Show({"Confirm", text});
        if (ConfirmAnswers.empty()) return true;
        const bool answer = ConfirmAnswers.front();
        ConfirmAnswers.pop_front();
        return answer;
    }
    void Error(const std::string& text) override { Show({"Error", text}); }
    void Warning(const std::string& caption, const std::string& text) override {
        Show({"Warning", caption + ": " + text});
    }
    std::optional<std::string> OpenPictureFile(const std::string&) override { return Next(OpenAnswers); }
    std::optional<std::string> SavePictureFile(const std::string&) override { return Next(SaveAnswers); }
    std::optional<std::string> OpenFilterFile() override { return Next(FilterOpenAnswers); }
    std::optional<std::string> SaveFilterFile() override { return Next(FilterSaveAnswers); }

    // The boxes shown since the last call.
    std::vector<TShownBox> Take() { return std::exchange(Shown, {}); }

private:
    void Show(TShownBox box) {
        Shown.push_back(std::move(box));
        Speakers.push_back(Speaker);
    }
    static std::optional<std::string> Next(std::deque<std::optional<std::string>>& queue) {
        if (queue.empty()) return std::nullopt;
        auto answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

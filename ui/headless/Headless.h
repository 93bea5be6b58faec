// The widget layer without windows: what unit tests read back from it.
#pragma once

#include <string>
#include <vector>

#include "ui/Forms.h"

namespace headless {

struct ShownMessage {
    std::string text, caption;
    MessageIcon icon;
};
struct Drawing {
    int x, y, width, height;
};

struct FolderDialog {
    void* owner;
    std::string rootPath, title, initialPath;
};

struct Screen {
    std::vector<ShownMessage> messages;  // every message box, in order
    std::vector<Drawing> drawings;       // pictures drawn while painting
    int closedForms = 0;
    std::vector<FolderDialog> folderDialogs;   // every folder dialog opened, in order
    std::vector<std::string> folderAnswers;    // what the next dialogs return; empty: cancelled
    // Called when a message box is shown (as if the user read it and pressed OK).
    std::function<void(const ShownMessage&)> onMessage;
};

Screen& Get();
void Reset();

}  // namespace headless

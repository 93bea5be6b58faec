// The folder chooser without a shell: a scripted stand-in that records what it was asked.
#include "app/FolderChooser.h"

#include "ui/headless/Headless.h"

std::string BrowseForFolder(void* owner, const char* rootPath, const char* title, const char* initialPath) {
    auto& screen = headless::Get();
    screen.folderDialogs.push_back({owner, rootPath ? rootPath : "", title, initialPath});
    if (screen.folderAnswers.empty()) return std::string();
    std::string answer = screen.folderAnswers.front();
    screen.folderAnswers.erase(screen.folderAnswers.begin());
    return answer;
}

// The shell's folder chooser, as the main window uses it.
#pragma once

#include <string>

// Runs the folder dialog modally over `owner` with `title` above its tree, only file-system
// folders selectable, `initialPath` preselected when the shell can parse it, and below
// `rootPath` when one is given (null: the shell's default root). Returns the chosen folder's
// path as the shell gives it, or the empty text when nothing was chosen.
std::string BrowseForFolder(void* owner, const char* rootPath, const char* title, const char* initialPath);

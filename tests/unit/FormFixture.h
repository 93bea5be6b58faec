// A fixture that starts the installer's main window against the in-memory machine.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "app/Texts.h"
#include "app/uFormMain.h"
#include "rtl/fake/FakeFiles.h"
#include "rtl/fake/FakeRegistry.h"
#include "rtl/fake/FakeResources.h"
#include "rtl/fake/FakeShell.h"
#include "ui/headless/Headless.h"

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The layout resource as the build makes it (code page 932).
inline const std::string& LayoutResource() {
    static const std::string layout = ReadFileBytes(VP_LAYOUT_FILE);
    return layout;
}

// The per-user Programs folder of the in-memory machine, and the sample game's place.
inline const std::string kUserPrograms = "C:\\Users\\player\\Start Menu\\Programs";
inline const std::string kSampleShortcut = "Miraldo\\Sorvane\\Sorvane.lnk";
inline const std::string kSampleGame = "C:\\Games\\Sorvane\\Sorvane.exe";
constexpr int kCsidlPrograms = os::kCsidlPrograms;

inline const std::string kCancelCaption = "\x92\x86\x8E\x7E(&C)";                  // 中止(&C)
inline const std::string kStartCaption = "\x8F\x43\x90\xB3\x8A\x4A\x8E\x6E(&S)";  // 修正開始(&S)

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        fake::FileSystem::Get().Reset();
        fake::Registry::Get().Reset();
        fake::Shell::Get().Reset();
        fake::Shell::Get().SetFolder(kCsidlPrograms, kUserPrograms);
        // The sample game is installed, with its shortcut in the per-user Programs folder.
        InstallShortcut(kUserPrograms + "\\" + kSampleShortcut, kSampleGame);
        auto& res = fake::Resources::Get();
        res.Clear();
        res.Set("TFORMMAIN", "#10", LayoutResource());
        res.Set("RESOURCE_BACKGROUND", "BMP", MakeBitmap(600, 300));
    }
    void TearDown() override { app.reset(); }

    static void InstallShortcut(const std::string& path, const std::string& target) {
        fake::FileSystem::Get().AddFile(path, fake::Shell::ShortcutFile(target));
    }
    static fake::Resources& resources() { return fake::Resources::Get(); }
    static fake::FileSystem& files() { return fake::FileSystem::Get(); }
    static headless::Screen& screen() { return headless::Get(); }

    // Starts the program's main window with this script as the package's script.
    TFormMain& Start(const std::string& script) {
        resources().Set("RESOURCE_SCRIPT", "TEXT", script);
        return Start();
    }
    TFormMain& Start() {
        app = std::make_unique<TApplication>();
        app->Title = texts::kApplicationTitle;
        app->CreateForm(FormMain);
        return *FormMain;
    }
    bool WasLookedUp(const std::string& typeSlashName) const {
        for (const auto& l : resources().Lookups()) {
            if (l == typeSlashName) return true;
        }
        return false;
    }

    std::unique_ptr<TApplication> app;
};

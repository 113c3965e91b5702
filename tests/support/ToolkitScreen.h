#pragma once
// A resource manager on a headless display with a silent hand-stepped audio
// output, and a root dialog driven like the main window drives it.

#include "platform/AudioManualOutput.h"
#include "render/IMResourceManager.h"
#include "support/HeadlessDisplay.h"
#include "support/ToolkitHarness.h"

#include <gtest/gtest.h>

class ToolkitScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        manager = CreateResourceManager(true, &display.Window(), std::make_unique<AudioManualOutput>());
        root = std::make_unique<IMDialogBase>(nullptr, nullptr, 0);
        drive = std::make_unique<RootDriver>(*root);
    }
    void TearDown() override
    {
        root->Destroy(IMEvent(nullptr, EventCode::Close));
        drive.reset();
        root.reset();
        DestroyResourceManager();
    }
    // One frame: clear, paint the tree, read the back buffer back.
    void Frame()
    {
        manager->BeginFrame();
        root->Draw(IMEvent(nullptr, EventCode::Paint));
        root->SetDirty(false);
        display.ReadBack(*manager);
    }

    HeadlessDisplay display;
    IMResourceManager* manager = nullptr;
    std::unique_ptr<IMDialogBase> root;
    std::unique_ptr<RootDriver> drive;
};

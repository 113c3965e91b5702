// Picture views, their alpha hit test, buttons and the dialog's creation operations.

#include "support/ToolkitScreen.h"
#include "toolkit/IMPictures.h"

#include <cstring>

namespace {

class PicturesAndButtons : public ToolkitScreen {
protected:
    // A 4x4 picture whose left half has alpha 254 and right half alpha 255.
    TextureHandle AlphaSteps()
    {
        const TextureHandle h = manager->CreateBlankTexture(L"steps", 4, 4, PixelFormat::A8R8G8B8);
        manager->UpdateTexture(h, [](std::uint8_t* bits, int pitch, int rows) {
            for (int y = 0; y < rows; ++y)
                for (int x = 0; x < 4; ++x) {
                    const std::uint32_t p = (x < 2 ? 0xFE000000u : 0xFF000000u) | 0x00FF00u;
                    std::memcpy(bits + y * pitch + x * 4, &p, 4);
                }
        });
        manager->BackupTexture(h);
        return h;
    }
};

}  // namespace

TEST_F(PicturesAndButtons, OnlyFullyOpaqueTexelsHit)
{
    auto* picture = new IMStaticPictureBase<IMTextureView>(root.get(), 0);
    const TextureHandle steps = AlphaSteps();
    picture->SetImage(steps);
    picture->SetRect({10, 10, 14, 14});
    EXPECT_FALSE(picture->HitTest(Point {11, 11})) << "alpha 254";
    EXPECT_TRUE(picture->HitTest(Point {12, 11})) << "alpha 255";
    EXPECT_TRUE(picture->HitTest(Point {13, 13}));
    EXPECT_FALSE(picture->HitTest(Point {14, 12})) << "the right edge is outside";
    EXPECT_FALSE(picture->HitTest(Point {12, 14})) << "the bottom edge is outside";
    picture->colour = 0xFEFFFFFF;
    EXPECT_FALSE(picture->HitTest(Point {12, 11})) << "a translucent colour never hits";
    picture->colour = 0xFFFFFFFF;
    // Stretched twice as large, texels map back into the picture.
    picture->SetRect({10, 10, 18, 18});
    EXPECT_FALSE(picture->HitTest(Point {13, 12}));
    EXPECT_TRUE(picture->HitTest(Point {14, 12}));
    picture->Hide();
    EXPECT_FALSE(picture->HitTest(Point {14, 12}));
    manager->ReleaseTexture(steps);
}

TEST_F(PicturesAndButtons, SetImageKeepsOneReference)
{
    auto* picture = new IMStaticPictureBase<IMTextureView>(root.get(), 0);
    picture->SetPicture(L"ExitButton");
    const TextureHandle exit = manager->FindTexture(L"ExitButton");
    EXPECT_EQ(manager->GetRecord(exit)->refCount, 2);
    picture->SetDirty(false);
    picture->SetPicture(L"ExitButton");
    EXPECT_EQ(manager->GetRecord(exit)->refCount, 2) << "the same picture takes no extra reference";
    EXPECT_FALSE(picture->IsDirty());
    picture->SetPosition(0, 0);
    EXPECT_FALSE(picture->IsDirty()) << "moving to the same place changes nothing";
    picture->Close();
    drive->Turn();
    EXPECT_EQ(manager->GetRecord(exit)->refCount, 1);
}

TEST_F(PicturesAndButtons, SameSizePictureSwitchMarksDirty)
{
    auto* button = new IMButtonBase(root.get(), 0);
    button->SetImages(L"PrintButton", L"", L"PrintButtonNuv", L"PrintButtonKlick");
    button->SetDirty(false);
    const Rect before = button->GetSourceRect();
    button->SetImage(L"PrintButtonNuv");
    EXPECT_EQ(button->GetSourceRect(), before);
    EXPECT_TRUE(button->IsDirty());
}

TEST_F(PicturesAndButtons, CreationOperationsPlacePictures)
{
    auto* picture = root->CreatePicture(30, 40, L"ExitButton", 0);
    EXPECT_EQ(picture->GetRect(), (Rect {30, 40, 51, 61}));
    auto* button = root->CreateButton(100, 200, L"SaveAsButton", L"", L"SaveAsButtonNuv", L"SaveAsButtonKlick", 1);
    EXPECT_EQ(button->GetRect(), (Rect {100, 200, 248, 247}));
    auto* dialog = root->CreateDialog(5, 6, 100, 50, 2);
    EXPECT_EQ(dialog->GetRect(), (Rect {5, 6, 105, 56}));
    auto* full = new IMDialogBase(dialog, nullptr, 0);
    EXPECT_EQ(full->GetRect(), (Rect {0, 0, 800, 600})) << "a null rect is the whole screen";
}

TEST_F(PicturesAndButtons, ButtonStatesThroughAClick)
{
    auto* button = root->CreateButton(
        100, 100, L"StartPopStartButton", L"", L"StartPopStartButtonNuv", L"StartPopStartButtonKlick", 0);
    int statesAtClick = -1;
    button->ConnectClicked(Tracked<MouseSlot>(root.get(), [&](const IMMouseEvent&) {
        statesAtClick = button->state;
        return 0L;
    }));
    drive->Turn();
    EXPECT_EQ(button->state, 0);
    drive->Move(140, 120);
    EXPECT_EQ(button->state, 3);
    drive->Press(140, 120);
    EXPECT_EQ(button->state, 4);
    drive->Release(140, 120);
    EXPECT_EQ(statesAtClick, 4) << "Clicked runs with the pressed picture still shown";
    EXPECT_EQ(button->state, 3);
    drive->Move(500, 500);
    EXPECT_EQ(button->state, 0);

    // Pressing and leaving with the button held, then coming back.
    drive->Move(140, 120);
    drive->Press(140, 120);
    drive->Move(500, 500, MouseKey::Left);
    EXPECT_EQ(button->state, 0);
    drive->Move(140, 120, MouseKey::Left);
    EXPECT_EQ(button->state, 4);
    drive->Release(140, 120);

    // Disabled: state 1, presses change nothing.
    button->Disable();
    EXPECT_EQ(button->state, 1);
    statesAtClick = -1;
    drive->Press(140, 120);
    drive->Release(140, 120);
    EXPECT_EQ(button->state, 1);
    EXPECT_EQ(statesAtClick, -1);
    button->Enable();
    EXPECT_EQ(button->state, 3);
}

TEST_F(PicturesAndButtons, OnlyANormalNameNeverChanges)
{
    auto* button = root->CreateButton(0, 0, L"ExitButton", L"", L"", L"", 0);
    drive->Turn();
    const TextureHandle shown = button->texture;
    drive->Move(10, 10);
    drive->Press(10, 10);
    EXPECT_EQ(button->state, 4);
    EXPECT_EQ(button->texture, shown);
}

TEST_F(PicturesAndButtons, PicturesDrawAtTheirPlace)
{
    root->CreatePicture(0, 0, L"DefaultBackGround", 0)->SetRect({0, 0, 800, 600});
    root->CreateButton(
        350, 300, L"StartPopStartButton", L"", L"StartPopStartButtonNuv", L"StartPopStartButtonKlick", 1);
    drive->Turn();
    drive->Move(380, 320);
    Frame();
    HeadlessDisplay::Save(*manager, "button-hovered.png");
    // The backdrop is opaque everywhere; the button's middle differs from the backdrop beside it.
    EXPECT_EQ(display.Pixel(5, 5) >> 24, 0xFFu);
    EXPECT_NE(display.Pixel(392, 323), display.Pixel(392, 290));
}

TEST_F(PicturesAndButtons, UnknownPictureLeavesTheViewEmptyAndOtherPicturesAlone)
{
    // A picture that found nothing, beside a real one made after it.
    auto* missing = new IMStaticPictureBase<IMTextureView>(root.get(), 0);
    missing->SetPicture(L"no such picture");
    EXPECT_FALSE(missing->hasTexture);
    const TextureHandle steps = AlphaSteps();
    auto* real = new IMStaticPictureBase<IMTextureView>(root.get(), 0);
    real->SetImage(steps);
    manager->ReleaseTexture(steps);
    real->SetRect({10, 10, 14, 14});
    ASSERT_EQ(manager->GetRecord(steps)->refCount, 1);

    // The empty view draws nothing, hits nothing and releases nothing when it dies.
    Frame();
    EXPECT_FALSE(missing->HitTest(Point {0, 0}));
    missing->Close();
    drive->Turn();
    ASSERT_NE(manager->GetRecord(steps), nullptr) << "the real picture's texture survived";
    EXPECT_EQ(manager->GetRecord(steps)->refCount, 1);
    Frame();
    EXPECT_EQ(display.Pixel(12, 12), 0xFF00FF00u) << "the real picture is still drawn";
}

TEST_F(PicturesAndButtons, GlyphWhosePictureCouldNotBeMadeHoldsNoSlot)
{
    // No texture memory at all: the letter's picture cannot be made.
    manager->Device()->SetTextureBudget(0);
    auto* label = root->CreateText(0, 0, L"Ж", 0);
    manager->Device()->SetTextureBudget(512u << 20);
    // The next picture takes the slot the failed glyph was told about.
    const TextureHandle steps = AlphaSteps();
    auto* real = new IMStaticPictureBase<IMTextureView>(root.get(), 0);
    real->SetImage(steps);
    manager->ReleaseTexture(steps);
    label->Close();
    drive->Turn();
    ASSERT_NE(manager->GetRecord(steps), nullptr) << "the label took another picture's texture with it";
    EXPECT_EQ(manager->GetRecord(steps)->refCount, 1);
}

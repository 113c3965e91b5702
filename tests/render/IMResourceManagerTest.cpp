// The texture table, the decoders and the skin, on the real pictures of data/.

#include "render/IMResourceManager.h"
#include "data/EmbeddedData.h"
#include "platform/AudioManualOutput.h"
#include "platform/DebugOutput.h"
#include "platform/Utf8.h"
#include "render/ImageDecoding.h"
#include "support/HeadlessDisplay.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>

namespace {

// A PNG written in memory with libpng.
struct PngRecipe {
    int colourType;
    int bitDepth;
    std::vector<std::uint8_t> samples;  // one pixel's samples, repeated over a 3x2 picture
    bool transparentIndex0 = false;     // palette pictures: tRNS making index 0 transparent
    double gamma = 0;                   // gAMA when non-zero
    bool background = false;            // bKGD of pure blue
};

std::vector<unsigned char> EncodePng(const PngRecipe& recipe)
{
    std::vector<unsigned char> bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &bytes,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(p));
            out->insert(out->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, 3, 2, recipe.bitDepth, recipe.colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
        PNG_FILTER_TYPE_DEFAULT);
    png_color palette[2] = {{200, 100, 50}, {10, 20, 30}};
    if (recipe.colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, palette, 2);
    png_byte alpha[1] = {0};
    if (recipe.transparentIndex0)
        png_set_tRNS(png, info, alpha, 1, nullptr);
    if (recipe.gamma > 0)
        png_set_gAMA(png, info, recipe.gamma);
    png_color_16 blue {0, 0, 0, 255, 0};
    if (recipe.background) {
        if (recipe.bitDepth == 16)
            blue.blue = 65535;
        png_set_bKGD(png, info, &blue);
    }
    png_write_info(png, info);
    std::vector<std::uint8_t> row;
    for (int x = 0; x < 3; ++x)
        row.insert(row.end(), recipe.samples.begin(), recipe.samples.end());
    for (int y = 0; y < 2; ++y)
        png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

std::vector<unsigned char> EncodeJpeg(int width, int height)
{
    jpeg_compress_struct cinfo {};
    jpeg_error_mgr error {};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(width * 3);
    for (int x = 0; x < width; ++x) {
        row[x * 3] = 250;
        row[x * 3 + 1] = 10;
        row[x * 3 + 2] = 10;
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<unsigned char> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

std::uint32_t Texel(const TextureRecord& record, int x, int y)
{
    return record.texture ? record.texture->Texel(x, y) : 0;
}

class ResourceManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        manager = CreateResourceManager(true, &display.Window(), std::make_unique<AudioManualOutput>());
        ASSERT_NE(manager, nullptr);
    }
    void TearDown() override { DestroyResourceManager(); }

    HeadlessDisplay display;
    IMResourceManager* manager = nullptr;
};

}  // namespace

TEST_F(ResourceManagerTest, SkinIsRegisteredInOrderWithItsSizes)
{
    const auto& names = SkinNames();
    ASSERT_EQ(names.size(), 57u);
    for (TextureHandle h = 0; h < names.size(); ++h) {
        ASSERT_EQ(manager->FindTexture(names[h]), h) << "registered in order";
        EXPECT_EQ(manager->GetRecord(h)->refCount, 1);
    }
    EXPECT_EQ(manager->ImageRect(manager->FindTexture(L"DefaultBackGround")), (Rect {0, 0, 800, 600}));
    const TextureRecord* exit = manager->GetRecord(manager->FindTexture(L"ExitButton"));
    EXPECT_EQ(exit->imageRect, (Rect {0, 0, 21, 21}));
    EXPECT_EQ(exit->texWidth, 32);
    EXPECT_EQ(exit->texHeight, 32);
    // Skin pictures are decoded when first used, into a texture of the sides the record names.
    EXPECT_EQ(manager->Texel(manager->FindTexture(L"ExitButton"), 100, 0), 0u) << "outside the picture";
    ASSERT_NE(exit->texture, nullptr);
    EXPECT_EQ(exit->texture->Pitch() * exit->texture->Height(), 4096);

    // Loading a skin name returns its handle with one more reference.
    const TextureHandle h = manager->LoadTexture(L"ExitButton");
    EXPECT_EQ(h, 1u);
    EXPECT_EQ(manager->GetRecord(h)->refCount, 2);
    manager->ReleaseTexture(h);
    EXPECT_EQ(manager->GetRecord(h)->refCount, 1);
}

TEST_F(ResourceManagerTest, EveryBoardPictureLoadsWithItsCatalogueSize)
{
    struct Case {
        const wchar_t* name;
        int width, height;
    };
    const Case cases[] = {{L"102", 97, 39}, {L"103", 98, 38}, {L"104", 97, 37}, {L"105", 98, 36}, {L"106", 72, 37},
        {L"107", 72, 37}, {L"108", 72, 38}, {L"109", 72, 37}, {L"111", 800, 600}, {L"112", 508, 577},
        {L"113", 494, 262}, {L"114", 21, 21}, {L"115", 411, 274}, {L"116", 359, 172}, {L"117", 173, 217},
        {L"118", 128, 71}, {L"119", 77, 38}, {L"120", 173, 157}, {L"121", 77, 38}, {L"122", 77, 38}, {L"123", 77, 38},
        {L"124", 33, 38}, {L"125", 58, 58}, {L"147", 1, 187}};
    for (const Case& c : cases) {
        const TextureHandle h = manager->LoadTexture(c.name);
        ASSERT_LT(h, manager->slotCount) << std::string(c.name, c.name + std::wcslen(c.name));
        EXPECT_EQ(manager->ImageRect(h), (Rect {0, 0, c.width, c.height}));
    }
}

TEST_F(ResourceManagerTest, SlotsAreReusedLastFreedFirst)
{
    const TextureHandle a = manager->LoadTexture(L"113");
    EXPECT_EQ(manager->LoadTexture(L"113"), a);
    manager->ReleaseTexture(a);
    manager->ReleaseTexture(a);
    EXPECT_EQ(manager->FindTexture(L"113"), manager->slotCount);
    EXPECT_EQ(manager->CreateBlankTexture(L"blank", 4, 4, PixelFormat::A8R8G8B8), a) << "the freed slot is reused";

    const TextureHandle five = manager->CreateBlankTexture(L"five", 2, 2, PixelFormat::A8R8G8B8);
    const TextureHandle nine = manager->CreateBlankTexture(L"nine", 2, 2, PixelFormat::A8R8G8B8);
    manager->ReleaseTexture(five);
    manager->ReleaseTexture(nine);
    EXPECT_EQ(manager->CreateBlankTexture(L"x", 2, 2, PixelFormat::A8R8G8B8), nine);
    EXPECT_EQ(manager->CreateBlankTexture(L"y", 2, 2, PixelFormat::A8R8G8B8), five);
}

TEST_F(ResourceManagerTest, InvalidHandlesAreHarmless)
{
    const TextureHandle missing = manager->FindTexture(L"nothing");
    EXPECT_EQ(missing, manager->slotCount);
    manager->ReleaseTexture(missing);
    EXPECT_EQ(manager->AddRefTexture(missing), manager->slotCount);
    manager->DrawTexture(missing, {0, 0, 10, 10}, nullptr, 0xFFFFFFFF, 0.0f);
    EXPECT_EQ(manager->ImageRect(missing), Rect {});
    EXPECT_EQ(manager->TexelAlpha(missing, 0, 0), 0);
    EXPECT_EQ(manager->GetTexturePitch(missing), 0);
    // A load that fails produces no texture.
    const TextureHandle before = manager->slotCount;
    EXPECT_EQ(manager->LoadTexture(L"no/such/file.png"), manager->slotCount);
    EXPECT_EQ(manager->LoadTexture(L"999"), manager->slotCount);
    EXPECT_EQ(manager->slotCount, before);
}

TEST_F(ResourceManagerTest, PngVariantsDecodeToStraightBgra)
{
    struct Case {
        const char* what;
        PngRecipe recipe;
        std::uint32_t expected;  // ARGB of every pixel
        int tolerance;
    };
    const Case cases[] = {
        {"RGB", {PNG_COLOR_TYPE_RGB, 8, {200, 100, 50}}, 0xFFC86432, 0},
        {"RGBA", {PNG_COLOR_TYPE_RGB_ALPHA, 8, {200, 100, 50, 77}}, 0x4DC86432, 0},
        {"16-bit", {PNG_COLOR_TYPE_RGB, 16, {200, 1, 100, 2, 50, 3}}, 0xFFC86432, 0},
        {"palette", {PNG_COLOR_TYPE_PALETTE, 8, {1}}, 0xFF0A141E, 0},
        {"palette with tRNS", {PNG_COLOR_TYPE_PALETTE, 8, {0}, true}, 0x00C86432, 0},
        {"grey", {PNG_COLOR_TYPE_GRAY, 8, {90}}, 0xFF5A5A5A, 0},
        {"grey+alpha", {PNG_COLOR_TYPE_GRAY_ALPHA, 8, {90, 128}}, 0x805A5A5A, 0},
        {"gamma 1/2.2", {PNG_COLOR_TYPE_RGB, 8, {200, 100, 50}, false, 1 / 2.2}, 0xFFC86432, 1},
        // Linear data (gamma 1.0) is brightened for a 2.2 display: 100 -> 255*(100/255)^(1/2.2).
        {"gamma 1.0", {PNG_COLOR_TYPE_RGB, 8, {100, 100, 100}, false, 1.0}, 0xFFA7A7A7, 1},
        // Half-transparent red over a blue background chunk.
        {"background", {PNG_COLOR_TYPE_RGB_ALPHA, 8, {255, 0, 0, 128}, false, 0, true}, 0xFF80007F, 2},
    };
    for (const Case& c : cases) {
        const auto bytes = EncodePng(c.recipe);
        const TextureHandle h = manager->LoadTextureFromMemory(FromUtf8(c.what), bytes);
        const TextureRecord* record = manager->GetRecord(h);
        ASSERT_NE(record, nullptr) << c.what;
        EXPECT_EQ(record->imageRect, (Rect {0, 0, 3, 2})) << c.what;
        const std::uint32_t p = Texel(*record, 2, 1);
        for (int shift : {0, 8, 16, 24})
            EXPECT_NEAR(int((p >> shift) & 0xFF), int((c.expected >> shift) & 0xFF), c.tolerance)
                << c.what << " byte " << shift / 8;
    }
}

TEST_F(ResourceManagerTest, JpegIsTheFallbackAndBrokenDataGivesNoTexture)
{
    const auto jpeg = EncodeJpeg(20, 10);
    const TextureHandle h = manager->LoadTextureFromMemory(L"photo", jpeg);
    ASSERT_LT(h, manager->slotCount);
    EXPECT_EQ(manager->ImageRect(h), (Rect {0, 0, 20, 10}));
    const std::uint32_t p = Texel(*manager->GetRecord(h), 5, 5);
    EXPECT_EQ(p >> 24, 0xFFu);
    EXPECT_GT((p >> 16) & 0xFF, 240u);

    // A file is read PNG first, then JPEG.
    const std::string path = ::testing::TempDir() + "photo.jpg";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), jpeg.size());
    EXPECT_LT(manager->LoadTexture(FromUtf8(path)), manager->slotCount);

    auto png = EncodePng({PNG_COLOR_TYPE_RGB, 8, {1, 2, 3}});
    const std::vector<std::vector<unsigned char>> broken {
        {}, {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'},
        std::vector<unsigned char>(png.begin(), png.begin() + png.size() / 2),  // truncated PNG
        std::vector<unsigned char>(jpeg.begin(), jpeg.begin() + 40),            // truncated JPEG
    };
    auto corrupt = png;
    corrupt[corrupt.size() - 20] ^= 0xFF;  // damaged image data
    int index = 0;
    for (const auto& bytes : broken)
        EXPECT_EQ(manager->LoadTextureFromMemory(L"broken" + std::to_wstring(index++), bytes), manager->slotCount);
    EXPECT_EQ(manager->LoadTextureFromMemory(L"corrupt", corrupt), manager->slotCount);
}

TEST_F(ResourceManagerTest, EvictionUnderASmallBudgetAndRestoreOnDraw)
{
    GraphicsDevice& device = *manager->Device();
    const TextureHandle red = manager->LoadTextureFromMemory(L"red", EncodePng({PNG_COLOR_TYPE_RGB, 8, {255, 0, 0}}));
    // The skin is decoded on first use: use it all, so that its textures hold device memory.
    for (TextureHandle h = 0; h < SkinNames().size(); ++h)
        manager->Texel(h, 0, 0);
    // Only a little more room than what is held now.
    device.SetTextureBudget(device.TextureBytes() + 4096);
    const TextureHandle big = manager->CreateBlankTexture(L"big", 256, 256, PixelFormat::A8R8G8B8);
    ASSERT_LT(big, manager->slotCount);
    EXPECT_EQ(manager->GetRecord(0)->texture, nullptr) << "the lowest other texture was evicted first";

    device.SetTextureBudget(1u << 30);
    manager->BeginFrame();
    manager->EvictTexture(red);
    manager->DrawTexture(red, {10, 10, 13, 12}, nullptr, 0xFFFFFFFF, 0.0f);
    display.ReadBack(*manager);
    EXPECT_EQ(display.Pixel(12, 11), 0xFFFF0000u) << "an evicted picture comes back unchanged";

    // After a device loss every picture reappears on its next draw.
    device.MarkLost();
    ASSERT_TRUE(manager->IsDeviceLost());
    ASSERT_TRUE(manager->RestoreDevice());
    manager->BeginFrame();
    manager->DrawTexture(red, {10, 10, 13, 12}, nullptr, 0xFFFFFFFF, 0.0f);
    display.ReadBack(*manager);
    EXPECT_EQ(display.Pixel(12, 11), 0xFFFF0000u);
}

TEST_F(ResourceManagerTest, EveryKindOfTextureComesBackAfterADeviceLossWithoutAPixelCopy)
{
    // One texture of each origin: a skin picture, a numbered resource, bytes
    // from a buffer that is gone afterwards, a glyph, a blank texture, and a
    // written texture saved with BackupTexture.
    const TextureHandle skin = manager->FindTexture(L"StartPopStartButton");
    const TextureHandle numbered = manager->LoadTexture(L"113");
    const TextureHandle buffered
        = manager->LoadTextureFromMemory(L"green", EncodePng({PNG_COLOR_TYPE_RGB, 8, {0, 200, 0}}));
    const TextureHandle glyph
        = manager->CreateGlyphTexture(L"glyph Ж", L'Ж', 0xFF072134, 25, L"Arial", false, true, false, 0x00AFAFAF);
    const TextureHandle blank = manager->CreateBlankTexture(L"blank", 20, 10, PixelFormat::X8R8G8B8);
    const TextureHandle written = manager->CreateBlankTexture(L"written", 4, 4, PixelFormat::A8R8G8B8);
    manager->UpdateTexture(written, [](std::uint8_t* bits, int pitch, int rows) {
        for (int y = 0; y < rows; ++y)
            std::memset(bits + y * pitch, 0x7F, 16);
    });
    manager->BackupTexture(written);
    const std::vector<TextureHandle> handles {skin, numbered, buffered, glyph, blank, written};
    auto texels = [&](TextureHandle h) {
        std::vector<std::uint32_t> all;
        const TextureRecord& record = *manager->GetRecord(h);
        for (int y = 0; y < record.imageRect.bottom; ++y)
            for (int x = 0; x < record.imageRect.right; ++x)
                all.push_back(manager->Texel(h, x, y));
        return all;
    };
    std::vector<std::vector<std::uint32_t>> before;
    for (TextureHandle h : handles) {
        ASSERT_LT(h, manager->slotCount);
        before.push_back(texels(h));
    }
    EXPECT_EQ(before[5][0], 0x7F7F7F7Fu);

    // The device is lost and made again: every device texture is gone.
    manager->Device()->MarkLost();
    ASSERT_TRUE(manager->IsDeviceLost());
    ASSERT_TRUE(manager->RestoreDevice());
    for (TextureHandle h : handles)
        EXPECT_EQ(manager->GetRecord(h)->texture, nullptr);

    // Each comes back with the pixels it had, decoded or drawn again.
    for (std::size_t i = 0; i < handles.size(); ++i)
        EXPECT_EQ(texels(handles[i]), before[i]) << "texture " << i;
    // A draw brings one back too.
    manager->EvictTexture(buffered);
    manager->BeginFrame();
    manager->DrawTexture(buffered, {10, 10, 13, 12}, nullptr, 0xFFFFFFFF, 0.0f);
    display.ReadBack(*manager);
    EXPECT_EQ(display.Pixel(12, 11), 0xFF00C800u);
}

TEST(ReadPngSize, ReadsTheHeaderOnlyAndRefusesWhatIsNotOne)
{
    const std::vector<unsigned char> png = EncodePng({PNG_COLOR_TYPE_RGB, 8, {1, 2, 3}});
    std::vector<unsigned char> zeroWidth = png;
    std::fill(zeroWidth.begin() + 16, zeroWidth.begin() + 20, 0);
    std::vector<unsigned char> notHeader = png;
    notHeader[12] = 'X';
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
        bool ok;
    };
    const std::vector<Case> cases {
        {"a 3x2 picture", png, true},
        {"cut inside the header", std::vector<unsigned char>(png.begin(), png.begin() + 20), false},
        {"no signature", std::vector<unsigned char>(24, 0), false},
        {"another first chunk", notHeader, false},
        {"a zero width", zeroWidth, false},
        {"nothing", {}, false},
    };
    for (const Case& c : cases) {
        int w = -1, h = -1;
        EXPECT_EQ(ReadPngSize(c.bytes, w, h), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(w, 3) << c.what;
            EXPECT_EQ(h, 2) << c.what;
        }
    }
}

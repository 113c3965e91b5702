// Checks the picture catalogue (data/catalogue/pictures.txt) against what the program relies on: every
// picture exists and decodes with its exact size and pixel kind, the bricks can be caught by the alpha hit
// test, the pictures that are laid over one another on screen leave each other's parts visible, and the
// carried fonts are TrueType files.

#include "Catalogue.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string DataDir = ZV_DATA_DIR;

enum class Kind { Rgb, Rgba };

// A decoded picture: its header as stored, and its texels expanded to 8-bit RGBA.
struct Picture {
    int width = 0;
    int height = 0;
    int colourType = -1;  // PNG_COLOR_TYPE_* of the file
    int bitDepth = 0;
    std::vector<uint8_t> rgba;  // width * height * 4

    uint8_t Alpha(int x, int y) const { return rgba[(static_cast<size_t>(y) * width + x) * 4 + 3]; }
    const uint8_t* Texel(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

struct Rect {
    int left, top, width, height;
};

// Decodes a PNG file with libpng; returns false when the file is missing or broken.
bool LoadPng(const std::string& path, Picture& picture)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file.get());
    png_read_info(png, info);
    picture.width = static_cast<int>(png_get_image_width(png, info));
    picture.height = static_cast<int>(png_get_image_height(png, info));
    picture.colourType = png_get_color_type(png, info);
    picture.bitDepth = png_get_bit_depth(png, info);
    // The texels are compared as 8-bit RGBA whatever the file holds; the header above keeps what it held.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    picture.rgba.assign(static_cast<size_t>(picture.width) * picture.height * 4, 0);
    std::vector<png_bytep> rows(picture.height);
    for (int y = 0; y < picture.height; ++y)
        rows[y] = &picture.rgba[static_cast<size_t>(y) * picture.width * 4];
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// The catalogue fragment: key -> path relative to data/, for the entries of the given kind.
std::map<std::string, std::string> PathsOfKind(const std::string& fragment, const std::string& kind)
{
    std::map<std::string, std::string> paths;
    for (const CatalogueEntry& entry : ReadCatalogue(fragment))
        if (entry.kind == kind && !entry.path.empty())
            paths[entry.key] = entry.path;
    return paths;
}

const std::map<std::string, std::string>& PictureCatalogue()
{
    static const auto catalogue = PathsOfKind("pictures.txt", "png");
    return catalogue;
}

Picture Load(const std::string& key)
{
    Picture picture;
    auto found = PictureCatalogue().find(key);
    EXPECT_NE(found, PictureCatalogue().end()) << key << " is not in the catalogue";
    if (found != PictureCatalogue().end()) {
        EXPECT_TRUE(LoadPng(DataDir + found->second, picture)) << found->second << " does not decode";
    }
    return picture;
}

// ---------------------------------------------------------------------------------------------------------
// Sizes and pixel kinds
// ---------------------------------------------------------------------------------------------------------

struct SizeCase {
    const char* key;
    int width, height;
    Kind kind;
};

const SizeCase SizeCases[] = {
    // The skin, in the order it is registered.
    {"DefaultBackGround", 800, 600, Kind::Rgb},
    {"ExitButton", 21, 21, Kind::Rgba},
    {"PrintButton", 84, 47, Kind::Rgba},
    {"SaveAsButton", 148, 47, Kind::Rgba},
    {"RetryButton", 109, 47, Kind::Rgba},
    {"CloseButton", 111, 47, Kind::Rgba},
    {"StartPopStartButton", 84, 47, Kind::Rgba},
    {"EscButton", 37, 25, Kind::Rgb},
    {"F1Button", 37, 25, Kind::Rgb},
    {"F12Button", 37, 25, Kind::Rgb},
    {"SubmitButton", 109, 47, Kind::Rgba},
    {"OptionsButton", 109, 47, Kind::Rgba},
    {"CancelButton", 111, 47, Kind::Rgba},
    {"PrintButtonKlick", 84, 47, Kind::Rgba},
    {"SaveAsButtonKlick", 148, 47, Kind::Rgba},
    {"RetryButtonKlick", 109, 47, Kind::Rgba},
    {"CloseButtonKlick", 111, 47, Kind::Rgba},
    {"StartPopStartButtonKlick", 84, 47, Kind::Rgba},
    {"SubmitButtonKlick", 109, 47, Kind::Rgba},
    {"OptionsButtonKlick", 109, 47, Kind::Rgba},
    {"CancelButtonKlick", 111, 47, Kind::Rgba},
    {"PrintButtonNuv", 84, 47, Kind::Rgba},
    {"SaveAsButtonNuv", 148, 47, Kind::Rgba},
    {"RetryButtonNuv", 109, 47, Kind::Rgba},
    {"CloseButtonNuv", 111, 47, Kind::Rgba},
    {"StartPopStartButtonNuv", 84, 47, Kind::Rgba},
    {"SubmitButtonNuv", 109, 47, Kind::Rgba},
    {"OptionsButtonNuv", 109, 47, Kind::Rgba},
    {"CancelButtonNuv", 111, 47, Kind::Rgba},
    {"SliderSliderVertical", 19, 10, Kind::Rgba},
    {"SliderSliderVerticalHover", 19, 10, Kind::Rgba},
    {"SliderSliderHorizontal", 11, 20, Kind::Rgba},
    {"SliderSliderHorizontalHover", 11, 20, Kind::Rgba},
    {"ScrollSlider", 16, 2, Kind::Rgb},
    {"ScrollSliderHorizontal", 2, 16, Kind::Rgb},
    {"ScrollBackground", 16, 16, Kind::Rgb},
    {"ScrollButtonUp", 16, 16, Kind::Rgba},
    {"ScrollButtonDown", 16, 16, Kind::Rgba},
    {"CheckBoxUnchecked", 16, 16, Kind::Rgb},
    {"CheckBoxChecked", 16, 16, Kind::Rgb},
    {"RadioButtonUnchecked", 16, 16, Kind::Rgba},
    {"RadioButtonChecked", 16, 16, Kind::Rgba},
    {"CheckBoxDisUnchecked", 16, 16, Kind::Rgb},
    {"CheckBoxDisChecked", 16, 16, Kind::Rgb},
    {"RadioButtonDisUnchecked", 16, 16, Kind::Rgba},
    {"RadioButtonDisChecked", 16, 16, Kind::Rgba},
    {"EditBarBackGround", 1, 1, Kind::Rgb},
    {"EditBarCornerLT", 8, 8, Kind::Rgba},
    {"EditBarCornerRT", 8, 8, Kind::Rgba},
    {"EditBarCornerLB", 8, 8, Kind::Rgba},
    {"EditBarCornerRB", 8, 8, Kind::Rgba},
    {"EditBarBorderL", 8, 1, Kind::Rgb},
    {"EditBarBorderR", 8, 1, Kind::Rgb},
    {"EditBarBorderT", 1, 8, Kind::Rgb},
    {"EditBarBorderB", 1, 8, Kind::Rgb},
    {"EditBarKaretka", 1, 19, Kind::Rgb},
    {"SelectionMask", 1, 1, Kind::Rgba},
    // The numbered pictures of the board.
    {"102", 97, 39, Kind::Rgba},
    {"103", 98, 38, Kind::Rgba},
    {"104", 97, 37, Kind::Rgba},
    {"105", 98, 36, Kind::Rgba},
    {"106", 72, 37, Kind::Rgba},
    {"107", 72, 37, Kind::Rgba},
    {"108", 72, 38, Kind::Rgba},
    {"109", 72, 37, Kind::Rgba},
    {"110", 300, 46, Kind::Rgba},
    {"111", 800, 600, Kind::Rgba},
    {"112", 508, 577, Kind::Rgba},
    {"113", 494, 262, Kind::Rgba},
    {"114", 21, 21, Kind::Rgba},
    {"115", 411, 274, Kind::Rgba},
    {"116", 359, 172, Kind::Rgba},
    {"117", 173, 217, Kind::Rgba},
    {"118", 128, 71, Kind::Rgba},
    {"119", 77, 38, Kind::Rgba},
    {"120", 173, 157, Kind::Rgba},
    {"121", 77, 38, Kind::Rgba},
    {"122", 77, 38, Kind::Rgba},
    {"123", 77, 38, Kind::Rgba},
    {"124", 33, 38, Kind::Rgba},
    {"125", 58, 58, Kind::Rgba},
    {"147", 1, 187, Kind::Rgb},
    // The other embedded pictures; the instruction pictures and the cloud have sizes of our choosing,
    // their placements are checked below.
    {"KEYBOARDPIC", 420, 206, Kind::Rgba},
    {"MOUSE", 160, 222, Kind::Rgba},
    {"KEYSPACE", 190, 30, Kind::Rgba},
    {"oblako_png", 506, 362, Kind::Rgba},
    {"mark_tab", 10, 5, Kind::Rgba},
    {"mark_lineend", 11, 21, Kind::Rgba},
    {"mark_space", 3, 3, Kind::Rgba},
    {"mark_transparent", 1, 1, Kind::Rgba},
    // The small dialogs' own backdrops, at the dialogs' sizes.
    {"SaveAsBackGround", 360, 150, Kind::Rgb},
    {"PrinterBackGround", 360, 250, Kind::Rgb},
};

TEST(PicturesTest, EveryPictureHasItsSizeAndPixelKind)
{
    for (const SizeCase& expected : SizeCases) {
        SCOPED_TRACE(expected.key);
        Picture picture = Load(expected.key);
        EXPECT_EQ(picture.width, expected.width);
        EXPECT_EQ(picture.height, expected.height);
        EXPECT_EQ(picture.bitDepth, 8);
        EXPECT_EQ(picture.colourType, expected.kind == Kind::Rgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA);
    }
}

TEST(PicturesTest, CatalogueHoldsNoPictureOutsideTheTable)
{
    std::map<std::string, bool> known;
    for (const SizeCase& expected : SizeCases)
        known[expected.key] = true;
    for (const auto& [key, path] : PictureCatalogue())
        EXPECT_TRUE(known.count(key)) << key << " (" << path << ")";
    EXPECT_EQ(PictureCatalogue().size(), std::size(SizeCases));
}

// ---------------------------------------------------------------------------------------------------------
// Pictures that work together on screen
// ---------------------------------------------------------------------------------------------------------

// Every texel of `area` (in the coordinates of a picture standing at `at`) has the given alpha.
void ExpectAlphaOver(const Picture& picture, Rect at, Rect area, uint8_t alpha, const char* what)
{
    int wrong = 0;
    for (int y = area.top; y < area.top + area.height; ++y) {
        for (int x = area.left; x < area.left + area.width; ++x) {
            int px = x - at.left, py = y - at.top;
            ASSERT_TRUE(px >= 0 && py >= 0 && px < picture.width && py < picture.height)
                << what << " leaves the picture";
            if (picture.Alpha(px, py) != alpha)
                ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0) << what << ": texels whose alpha is not " << int(alpha);
}

TEST(PicturesTest, BrickBodiesAreOpaque)
{
    // The board picks bricks up by the alpha hit test, which only catches texels of alpha 255; only the
    // rounded corners may blend.
    for (const char* key : {"102", "103", "104", "105", "106", "107", "108", "109"}) {
        SCOPED_TRACE(key);
        Picture brick = Load(key);
        ExpectAlphaOver(
            brick, {0, 0, brick.width, brick.height}, {3, 3, brick.width - 6, brick.height - 6}, 255, "body");
        ExpectAlphaOver(
            brick, {0, 0, brick.width, brick.height}, {0, brick.height / 2, brick.width, 1}, 255, "middle row");
    }
}

// Relative luminance of an sRGB texel, as the contrast ratio of the web's accessibility rules uses it.
double Luminance(const uint8_t* texel)
{
    double sum = 0.0;
    const double weights[3] = {0.2126, 0.7152, 0.0722};
    for (int c = 0; c < 3; ++c) {
        const double v = texel[c] / 255.0;
        sum += weights[c] * (v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
    }
    return sum;
}

double Contrast(double a, double b)
{
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

TEST(PicturesTest, LightBrickNotesStandOutFromTheirBricks)
{
    // A child reads a brick's length from its note (one or two). White notes stand out on the saturated
    // faces; on a light face (the yellow one, luminance above 0.5) a white note all but vanishes, so there
    // the note's stroke must stand out 3:1 from the face around it.
    int lightFaces = 0;
    for (const char* key : {"102", "103", "104", "105", "106", "107", "108", "109"}) {
        SCOPED_TRACE(key);
        Picture brick = Load(key);
        // The face left of the note, at the height of the note's middle.
        const int middle = brick.height / 2 + 1;
        const double face = Luminance(brick.Texel(brick.width / 2 - 20, middle));
        if (face <= 0.5)
            continue;
        ++lightFaces;
        int standing = 0;
        for (int y = middle - 12; y <= middle + 6; ++y)
            for (int x = brick.width / 2 - 10; x <= brick.width / 2 + 10; ++x)
                if (Contrast(Luminance(brick.Texel(x, y)), face) >= 3.0)
                    ++standing;
        // The two heads and stems of the note at this size: some 40 texels, half of them at the full ink.
        EXPECT_GE(standing, 20) << "texels of the note 3:1 off the face";
    }
    EXPECT_GE(lightFaces, 1) << "the yellow brick is light";
}

TEST(PicturesTest, StaffShelvesLeaveTheImprintsVisible)
{
    // Board coordinates: the panel 113 stands at (18, 12), the shelves 116 over it at (95, 102). The
    // imprints are where the staff puts bricks: short ones (72 x 38) on the upper shelf, long ones
    // (98 x 39) on the lower one.
    const Rect panelAt {18, 12, 494, 262};
    const Rect shelvesAt {95, 102, 359, 172};
    std::vector<Rect> imprints;
    for (int x : {116, 191, 265, 341})
        imprints.push_back({x, 106, 72, 38});
    for (int x : {116, 216, 318})
        imprints.push_back({x, 195, 98, 39});
    Picture panel = Load("113");
    Picture shelves = Load("116");
    for (const Rect& imprint : imprints) {
        SCOPED_TRACE(testing::Message() << "imprint at " << imprint.left << ", " << imprint.top);
        ExpectAlphaOver(shelves, shelvesAt, imprint, 0, "shelves over the imprint");
        ExpectAlphaOver(panel, panelAt, imprint, 255, "panel under the imprint");
    }
    // The planks themselves are there: right under each row of imprints the shelves are opaque.
    ExpectAlphaOver(shelves, shelvesAt, {116, 146, 300, 6}, 255, "upper plank");
    ExpectAlphaOver(shelves, shelvesAt, {116, 236, 300, 6}, 255, "lower plank");
}

TEST(PicturesTest, CloudHasAWindowOverTheClip)
{
    // The cloud stands at (137, 100); the praise clip shows 320 x 200 at (230, 176).
    const Rect cloudAt {137, 100, 506, 362};
    const Rect clip {230, 176, 320, 200};
    Picture cloud = Load("oblako_png");
    ExpectAlphaOver(cloud, cloudAt, clip, 0, "window");
    const int ring = 4;
    ExpectAlphaOver(
        cloud, cloudAt, {clip.left - ring, clip.top - ring, clip.width + 2 * ring, ring}, 255, "frame above");
    ExpectAlphaOver(
        cloud, cloudAt, {clip.left - ring, clip.top + clip.height, clip.width + 2 * ring, ring}, 255, "frame below");
    ExpectAlphaOver(cloud, cloudAt, {clip.left - ring, clip.top, ring, clip.height}, 255, "frame left");
    ExpectAlphaOver(cloud, cloudAt, {clip.left + clip.width, clip.top, ring, clip.height}, 255, "frame right");
}

TEST(PicturesTest, SpaceBarLiesOnTheKeyboard)
{
    // KEYBOARDPIC at (107, 347), KEYSPACE at (237, 502): the blinking key must lie within the keyboard
    // and cover a part of it that is drawn (its own space bar), so both looks of the key line up.
    Picture keyboard = Load("KEYBOARDPIC");
    Picture space = Load("KEYSPACE");
    const Rect keyboardAt {107, 347, keyboard.width, keyboard.height};
    const Rect spaceAt {237, 502, space.width, space.height};
    EXPECT_GE(spaceAt.left, keyboardAt.left);
    EXPECT_GE(spaceAt.top, keyboardAt.top);
    EXPECT_LE(spaceAt.left + spaceAt.width, keyboardAt.left + keyboardAt.width);
    EXPECT_LE(spaceAt.top + spaceAt.height, keyboardAt.top + keyboardAt.height);
    ExpectAlphaOver(keyboard, keyboardAt, {spaceAt.left + 2, spaceAt.top + 2, spaceAt.width - 4, spaceAt.height - 4},
        255, "keyboard under the space bar");
    ExpectAlphaOver(space, spaceAt, {spaceAt.left + 4, spaceAt.top + 4, spaceAt.width - 8, spaceAt.height - 8}, 255,
        "the space bar itself");
}

TEST(PicturesTest, SpaceBarIsLabelledUnderItsBlinkingCopy)
{
    // While KEYSPACE blinks off, the keyboard's own space bar shows; it carries the same «ПРОБЕЛ» in ink,
    // so the word stays put. Ink texels: dark blue, opaque.
    Picture keyboard = Load("KEYBOARDPIC");
    const Rect bar {130 + 40, 155 + 6, 110, 18};  // the word's area on the space bar
    int ink = 0;
    for (int y = bar.top; y < bar.top + bar.height; ++y)
        for (int x = bar.left; x < bar.left + bar.width; ++x) {
            const uint8_t* texel = keyboard.Texel(x, y);
            ink += texel[3] == 255 && texel[0] < 90 && texel[1] < 110 && texel[2] < 130;
        }
    EXPECT_GT(ink, 150) << "no word on the keyboard's space bar";
}

TEST(PicturesTest, CloudIsNotCutByItsPictureEdges)
{
    // Every bump of the cloud keeps its outline inside the picture: nothing but soft shadow touches the
    // outermost two rows and columns.
    Picture cloud = Load("oblako_png");
    int cut = 0;
    for (int y = 0; y < cloud.height; ++y)
        for (int x = 0; x < cloud.width; ++x) {
            const bool edge = x < 2 || y < 2 || x >= cloud.width - 2 || y >= cloud.height - 2;
            cut += edge && cloud.Alpha(x, y) > 24;
        }
    EXPECT_EQ(cut, 0) << "texels of the cloud on the picture's edge";
}

TEST(PicturesTest, RecordLiesOnTheGramophoneBox)
{
    // The box 118 stands at (594, 275), the record's four spin pictures at (622, 270): wherever a record is
    // drawn, the box is under it, so it does not hang over the box's back edge.
    const Rect boxAt {594, 275, 128, 71};
    Picture box = Load("118");
    for (const char* key : {"119", "121", "122", "123"}) {
        SCOPED_TRACE(key);
        Picture record = Load(key);
        int overhang = 0, drawn = 0;
        for (int y = 0; y < record.height; ++y)
            for (int x = 0; x < record.width; ++x) {
                if (record.Alpha(x, y) < 64)
                    continue;
                ++drawn;
                const int bx = 622 + x - boxAt.left, by = 270 + y - boxAt.top;
                overhang += bx < 0 || by < 0 || bx >= box.width || by >= box.height || box.Alpha(bx, by) < 255;
            }
        EXPECT_GT(drawn, 1000) << "the record is hardly drawn";
        EXPECT_EQ(overhang, 0) << "texels of the record off the box";
    }
}

TEST(PicturesTest, HornHighlightsLieOnTheBrass)
{
    // A highlight drawn outside the horn's outline shows as a pale, half transparent streak on the wall;
    // on the brass it is opaque, and the outline's own soft edge is dark.
    Picture horn = Load("120");
    int floating = 0;
    for (int y = 0; y < horn.height; ++y)
        for (int x = 0; x < horn.width; ++x) {
            const uint8_t* texel = horn.Texel(x, y);
            floating += texel[3] > 30 && texel[3] < 230 && texel[0] > 200 && texel[1] > 200 && texel[2] > 200;
        }
    EXPECT_EQ(floating, 0) << "pale half transparent texels off the brass";
}

TEST(PicturesTest, InkAndMarks)
{
    // The caret is stretched into every frame line, so it is the ink colour throughout.
    Picture caret = Load("EditBarKaretka");
    for (int y = 0; y < caret.height; ++y) {
        const uint8_t* texel = caret.Texel(0, y);
        EXPECT_EQ(texel[0], 0x07);
        EXPECT_EQ(texel[1], 0x21);
        EXPECT_EQ(texel[2], 0x34);
    }
    EXPECT_EQ(Load("mark_transparent").Alpha(0, 0), 0);
    Picture selection = Load("SelectionMask");
    EXPECT_GT(selection.Alpha(0, 0), 0);
    EXPECT_LT(selection.Alpha(0, 0), 255);
}

// ---------------------------------------------------------------------------------------------------------
// Fonts
// ---------------------------------------------------------------------------------------------------------

TEST(PicturesTest, CarriedFontsAreTrueType)
{
    const auto fonts = PathsOfKind("fonts.txt", "ttf");
    for (const char* key :
        {"LiberationSans-Regular", "LiberationSans-Bold", "LiberationSans-Italic", "LiberationSans-BoldItalic"}) {
        SCOPED_TRACE(key);
        auto found = fonts.find(key);
        ASSERT_NE(found, fonts.end());
        std::ifstream in(DataDir + found->second, std::ios::binary);
        char magic[4] = {};
        in.read(magic, 4);
        ASSERT_TRUE(in.good());
        EXPECT_EQ(std::string(magic, 4), std::string("\0\1\0\0", 4));
    }
}

}  // namespace

// The instruction video as the program carries it (data/catalogue/film.txt, read back from the embedded
// table): a silent Ogg Theora stream whose 800 x 600 picture sits at the top of its coded frame, 25 frames
// a second, exactly as long as the commentary it is filmed to.
//
// The video is filmed by tools/film/generate.

#include "Catalogue.h"
#include "data/EmbeddedData.h"
#include "support/TheoraClip.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string DataDir = ZV_DATA_DIR;

// The commentary's length in seconds, as its script gives it.
double CommentaryLength()
{
    std::ifstream in(DataDir + "src/speech/commentary.txt");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("length ", 0) == 0)
            return std::stod(line.substr(7));
    return 0.0;
}

const TheoraClip& Video()
{
    static const TheoraClip clip = DecodeTheoraClip(FindEmbedded("149"), false);
    return clip;
}

TEST(FilmCatalogue, ListsTheInstructionVideoAsResource149)
{
    const std::vector<CatalogueEntry> lines = ReadCatalogue("film.txt");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].key, "149");
    EXPECT_EQ(lines[0].kind, "ogv");
    EXPECT_EQ(lines[0].path, "video/149.ogv");
    bool embedded = false;
    for (const EmbeddedFile& file : EmbeddedFiles()) {
        if (file.key == "149") {
            EXPECT_EQ(file.kind, "ogv");
            embedded = true;
        }
    }
    EXPECT_TRUE(embedded);
}

TEST(InstructionVideo, IsASilent800By600TheoraStreamAt25ASecondAsLongAsTheCommentary)
{
    const TheoraClip& clip = Video();
    ASSERT_TRUE(clip.decoded) << clip.error;
    EXPECT_EQ(clip.pictureWidth, 800);
    EXPECT_EQ(clip.pictureHeight, 600);
    // Coded in whole 16 x 16 blocks, the picture at the top: rows 600 to 607 are padding.
    EXPECT_EQ(clip.frameWidth, 800);
    EXPECT_EQ(clip.frameHeight, 608);
    EXPECT_EQ(clip.pictureX, 0);
    EXPECT_EQ(clip.pictureY, 0);
    EXPECT_EQ(clip.fpsNumerator, 25);
    EXPECT_EQ(clip.fpsDenominator, 1);
    EXPECT_EQ(clip.aspectNumerator, clip.aspectDenominator) << "square pixels";
    EXPECT_EQ(clip.otherStreams, 0) << "the video carries no sound track";
    // One packet per frame (a still frame is an empty packet), the last page naming the last frame.
    const int frames = static_cast<int>(std::lround(CommentaryLength() * 25));
    ASSERT_GT(frames, 0);
    EXPECT_EQ(clip.frames, frames);
    EXPECT_EQ(clip.lastGranuleFrame, frames - 1);
}

TEST(InstructionVideo, OutlastsTheCommentaryItIsFilmedTo)
{
    const TheoraClip& clip = Video();
    ASSERT_TRUE(clip.decoded) << clip.error;
    const double commentary = CommentaryLength();
    ASSERT_GT(commentary, 0.0);
    // The keys are laid over the video's last frame when the commentary ends: the video must still be there,
    // and end with it, within 0.1 s, so nothing of it is lost under the keys.
    EXPECT_GE(clip.Seconds(), commentary);
    EXPECT_LT(clip.Seconds(), commentary + 0.1);
}

}  // namespace

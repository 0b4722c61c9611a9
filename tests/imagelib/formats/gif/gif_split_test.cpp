// GifSplitFrames and ImageSplitWebImage: one file per frame holding the source's head and
// exactly the source's blocks of that frame, named by frame number and limit; files made
// only for frames, and no file touched that the call did not write.
#include "formats/gif/gif_split.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fixture_support.h"
#include "imagelib.h"
#include "win32/global_memory.h"

namespace {

using fixture::LiveBlocks;
using fixture::ReadFile;
using fixture::TempDir;
using fixture::Wide;
using Bytes = std::vector<std::uint8_t>;

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// A GIF assembled block by block: head (signature, screen, optional global table), then
// blocks, each remembered with the frame whose file it belongs to.
struct SourceGif {
    Bytes head;
    Bytes bytes;
    std::vector<std::pair<std::size_t, std::size_t>> frames;  // [begin, end) in bytes
    std::size_t frameStart = 0;

    explicit SourceGif(bool globalTable = true) {
        head = {'G',
                'I',
                'F',
                '8',
                '9',
                'a',
                3,
                0,
                2,
                0,
                static_cast<std::uint8_t>(globalTable ? 0x80 : 0x00),
                0,
                0};
        if (globalTable) {
            for (std::uint8_t v = 10; v <= 60; v += 10)
                head.push_back(v);
        }
        bytes = head;
        frameStart = bytes.size();
    }
    void Add(const Bytes& block) { bytes.insert(bytes.end(), block.begin(), block.end()); }
    void Comment(const std::string& text) {
        Add({0x21, 0xFE, static_cast<std::uint8_t>(text.size())});
        Add(Bytes(text.begin(), text.end()));
        Add({0});
    }
    void Control(int delay) { Add({0x21, 0xF9, 4, 0, static_cast<std::uint8_t>(delay), 0, 0, 0}); }
    void Loop() {
        Add({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0});
    }
    // A 3 x 2 image of index 1 (optionally with a local table), in two sub-blocks.
    void Image(bool localTable = false) {
        Add({0x2C, 0, 0, 0, 0, 3, 0, 2, 0, static_cast<std::uint8_t>(localTable ? 0x80 : 0)});
        if (localTable)
            Add({1, 2, 3, 4, 5, 6});
        // Code size 2; codes of 3 bits: clear 4, 1, 6, 7, end 5, in two sub-blocks.
        Add({2, 1, 0x8C, 1, 0x5F, 0});
        frames.push_back({frameStart, bytes.size()});
        frameStart = bytes.size();
    }
    void Trailer() { Add({0x3B}); }
    // What frame f's file must hold.
    Bytes FrameFile(std::size_t f) const {
        Bytes out = head;
        out.insert(out.end(), bytes.begin() + frames[f].first, bytes.begin() + frames[f].second);
        out.push_back(0x3B);
        return out;
    }
};

SourceGif FourFrames() {
    SourceGif s;
    s.Loop();
    s.Comment("first");
    s.Control(1);
    s.Image();
    s.Control(2);
    s.Image(true);
    s.Add({0x00, 0x17});  // stray bytes between blocks go with the next frame
    s.Image();
    s.Comment("last");
    s.Control(4);
    s.Image();
    s.Comment("after the last image");
    s.Trailer();
    return s;
}

int Split(const std::string& source, const std::string& base, std::int32_t* count, int maxFrames) {
    return imagelib::GifSplitFrames(Wide(source).c_str(), Wide(base).c_str(), count, maxFrames);
}

const char* const kNames[] = {"off.gif", "clk.gif", "rol.gif", "3.gif", "4.gif"};

TEST(GifSplitFrames, EachFrameFileHoldsTheHeadAndExactlyItsBlocks) {
    for (int maxFrames : {-1, 4, 10}) {
        TempDir dir;
        const SourceGif s = FourFrames();
        ASSERT_TRUE(fixture::WriteFile(dir.file("in.gif"), s.bytes));
        std::int32_t count = -7;
        ASSERT_EQ(Split(dir.file("in.gif"), dir.file("b"), &count, maxFrames), 0);
        EXPECT_EQ(count, 4);
        for (int f = 0; f < 4; ++f)
            EXPECT_EQ(ReadFile(dir.file(std::string("b") + kNames[f])), s.FrameFile(f)) << f;
        // The blocks after the last image make no file.
        EXPECT_FALSE(Exists(dir.file("b4.gif")));
    }
}

TEST(GifSplitFrames, FrameFilesDecodeInAnIndependentDecoder) {
    TempDir dir;
    ASSERT_TRUE(fixture::WriteFile(dir.file("in.gif"), FourFrames().bytes));
    std::int32_t count = 0;
    ASSERT_EQ(Split(dir.file("in.gif"), dir.file("b"), &count, -1), 0);
    for (int f = 0; f < 4; ++f) {
        fixture::RgbImage rgb;
        ASSERT_TRUE(fixture::ReferenceDecode(dir.file(std::string("b") + kNames[f]),
                                             fixture::Decoder::Pil, &rgb))
            << f;
        EXPECT_EQ(rgb.width, 3);
    }
}

TEST(GifSplitFrames, MaximumOneGivesOneFlatFile) {
    TempDir dir;
    const SourceGif s = FourFrames();
    ASSERT_TRUE(fixture::WriteFile(dir.file("in.gif"), s.bytes));
    std::int32_t count = 0;
    ASSERT_EQ(Split(dir.file("in.gif"), dir.file("b"), &count, 1), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(ReadFile(dir.file("b_flat.gif")), s.FrameFile(0));
    EXPECT_FALSE(Exists(dir.file("boff.gif")));
    EXPECT_FALSE(Exists(dir.file("bclk.gif")));
}

TEST(GifSplitFrames, MaximumZeroStillWritesTheFirstFrame) {
    TempDir dir;
    const SourceGif s = FourFrames();
    ASSERT_TRUE(fixture::WriteFile(dir.file("in.gif"), s.bytes));
    std::int32_t count = 0;
    ASSERT_EQ(Split(dir.file("in.gif"), dir.file("b"), &count, 0), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(ReadFile(dir.file("boff.gif")), s.FrameFile(0));
    EXPECT_FALSE(Exists(dir.file("bclk.gif")));
}

TEST(GifSplitFrames, AFileOfTheNameAfterTheLastFrameStays) {
    TempDir dir;
    const SourceGif s = FourFrames();
    ASSERT_TRUE(fixture::WriteFile(dir.file("in.gif"), s.bytes));
    ASSERT_TRUE(fixture::WriteFile(dir.file("b4.gif"), {1, 2, 3}));
    std::int32_t count = 0;
    ASSERT_EQ(Split(dir.file("in.gif"), dir.file("b"), &count, -1), 0);
    EXPECT_EQ(ReadFile(dir.file("b4.gif")), (Bytes{1, 2, 3}));
}

TEST(GifSplitFrames, AGifWithoutImagesWritesNothingAndKeepsExistingFiles) {
    TempDir dir;
    SourceGif s;
    s.Comment("no image here");
    s.Trailer();
    ASSERT_TRUE(fixture::WriteFile(dir.file("in.gif"), s.bytes));
    ASSERT_TRUE(fixture::WriteFile(dir.file("boff.gif"), {9}));
    std::int32_t count = 5;
    ASSERT_EQ(Split(dir.file("in.gif"), dir.file("b"), &count, -1), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ReadFile(dir.file("boff.gif")), (Bytes{9}));
}

TEST(GifSplitFrames, NoTrailerGives8AndKeepsTheFramesWritten) {
    TempDir dir;
    SourceGif s;
    s.Image();
    s.Image();
    ASSERT_TRUE(fixture::WriteFile(dir.file("in.gif"), s.bytes));
    std::int32_t count = 5;
    EXPECT_EQ(Split(dir.file("in.gif"), dir.file("b"), &count, -1), 8);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ReadFile(dir.file("boff.gif")), s.FrameFile(0));
    EXPECT_EQ(ReadFile(dir.file("bclk.gif")), s.FrameFile(1));
    EXPECT_FALSE(Exists(dir.file("brol.gif")));
}

TEST(GifSplitFrames, AnImageCutShortGives8AndKeepsItsPartialFile) {
    TempDir dir;
    SourceGif s;
    s.Image();
    s.Image();
    s.bytes.resize(s.bytes.size() - 3);
    ASSERT_TRUE(fixture::WriteFile(dir.file("in.gif"), s.bytes));
    std::int32_t count = 0;
    EXPECT_EQ(Split(dir.file("in.gif"), dir.file("b"), &count, -1), 8);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ReadFile(dir.file("boff.gif")), s.FrameFile(0));
    EXPECT_TRUE(Exists(dir.file("bclk.gif")));
}

TEST(GifSplitFrames, AScreenWithoutAGlobalTableGivesFilesWithoutOne) {
    TempDir dir;
    SourceGif s(false);
    s.Image(true);
    s.Trailer();
    ASSERT_TRUE(fixture::WriteFile(dir.file("in.gif"), s.bytes));
    std::int32_t count = 0;
    ASSERT_EQ(Split(dir.file("in.gif"), dir.file("b"), &count, -1), 0);
    EXPECT_EQ(ReadFile(dir.file("boff.gif")), s.FrameFile(0));
    EXPECT_EQ(ReadFile(dir.file("boff.gif"))[10], 0x00);
}

TEST(GifSplitFrames, NamesFromTheFourthFrameOnAreNumbers) {
    TempDir dir;
    SourceGif s;
    for (int f = 0; f < 12; ++f)
        s.Image();
    s.Trailer();
    ASSERT_TRUE(fixture::WriteFile(dir.file("in.gif"), s.bytes));
    std::int32_t count = 0;
    ASSERT_EQ(Split(dir.file("in.gif"), dir.file("b"), &count, -1), 0);
    EXPECT_EQ(count, 12);
    for (int f = 3; f < 12; ++f)
        EXPECT_EQ(ReadFile(dir.file("b" + std::to_string(f) + ".gif")), s.FrameFile(f)) << f;
}

TEST(GifSplitFrames, BaseNamesLongerThan512CharactersWork) {
    TempDir dir;
    std::string folder = dir.path();
    for (int i = 0; i < 4; ++i) {
        folder += "/" + std::string(200, static_cast<char>('p' + i));
        std::filesystem::create_directory(folder);
    }
    ASSERT_GT(folder.size(), 800u);
    const SourceGif s = FourFrames();
    ASSERT_TRUE(fixture::WriteFile(dir.file("in.gif"), s.bytes));
    std::int32_t count = 0;
    ASSERT_EQ(Split(dir.file("in.gif"), folder + "/frame_", &count, -1), 0);
    EXPECT_EQ(ReadFile(folder + "/frame_rol.gif"), s.FrameFile(2));
}

TEST(GifSplitFrames, SourceFailures) {
    TempDir dir;
    std::int32_t count = 3;
    EXPECT_EQ(Split(dir.file("missing.gif"), dir.file("b"), &count, -1), 3);
    EXPECT_EQ(count, 0);
    ASSERT_TRUE(fixture::WriteFile(dir.file("png.gif"), {0x89, 'P', 'N', 'G', 13, 10, 26, 10}));
    EXPECT_EQ(Split(dir.file("png.gif"), dir.file("b"), &count, -1), 5);
    ASSERT_TRUE(fixture::WriteFile(dir.file("short.gif"), {'G', 'I', 'F', '8', '7'}));
    EXPECT_EQ(Split(dir.file("short.gif"), dir.file("b"), &count, -1), 7);
    SourceGif s;
    Bytes cut(s.head.begin(), s.head.end() - 2);  // the global table cut short
    ASSERT_TRUE(fixture::WriteFile(dir.file("cut.gif"), cut));
    EXPECT_EQ(Split(dir.file("cut.gif"), dir.file("b"), &count, -1), 7);
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(Exists(dir.file("boff.gif")));
}

TEST(GifSplitFrames, OutputFailuresAndBadArguments) {
    TempDir dir;
    ASSERT_TRUE(fixture::WriteFile(dir.file("in.gif"), FourFrames().bytes));
    std::int32_t count = 3;
    EXPECT_EQ(Split(dir.file("in.gif"), dir.file("missing/b"), &count, -1), 3);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(imagelib::GifSplitFrames(Wide(dir.file("in.gif")).c_str(), nullptr, &count, -1), 1);
    EXPECT_EQ(imagelib::GifSplitFrames(Wide(dir.file("in.gif")).c_str(),
                                       Wide(dir.file("b")).c_str(), nullptr, -1),
              1);
    const LiveBlocks before;
    Win32FailGlobalAllocAfter(1);
    EXPECT_EQ(Split(dir.file("in.gif"), dir.file("b"), &count, -1), 1);
    Win32FailGlobalAllocAfter(0);
    EXPECT_EQ(before.Leaked(), "");
    EXPECT_FALSE(Exists(dir.file("boff.gif")));
}

TEST(ImageSplitWebImage, Returns1OnSuccessAnd0OnFailure) {
    TempDir dir;
    ASSERT_TRUE(fixture::WriteFile(dir.file("in.gif"), FourFrames().bytes));
    std::int32_t count = 0;
    EXPECT_EQ(ImageSplitWebImage(Wide(dir.file("in.gif")).c_str(), Wide(dir.file("b")).c_str(),
                                 &count, 2),
              1);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(ImageSplitWebImage(Wide(dir.file("none.gif")).c_str(), Wide(dir.file("b")).c_str(),
                                 &count, 2),
              0);
}

}  // namespace

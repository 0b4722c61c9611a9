// Suites whose tests share the files a generator script of tests/fixtures writes: made once
// per suite in a folder of its own, with a leak check after every test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixture_support.h"

namespace fixture {

// Script is run with the folder, after Option when one is given.
template <const char* Script, const char* Option = nullptr>
class GeneratedFilesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        std::vector<std::string> args{dir_->path()};
        if (Option != nullptr)
            args.insert(args.begin(), Option);
        ASSERT_TRUE(Python(Script, args));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void TearDown() override { EXPECT_EQ(live_.Leaked(), ""); }

    static std::string file(const std::string& name) { return dir_->file(name); }

    inline static TempDir* dir_ = nullptr;
    LiveBlocks live_;
};

inline constexpr char kMakePng[] = "make_png.py";
inline constexpr char kMakeTiff[] = "make_tiff.py";

}  // namespace fixture

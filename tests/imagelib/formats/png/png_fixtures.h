// The PNG suites' shared set-up: the files make_png.py writes, made once per suite, and a
// leak check after every test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "fixture_support.h"

namespace png_test {

class PngFixtureTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new fixture::TempDir;
        ASSERT_TRUE(fixture::Python("make_png.py", {dir_->path()}));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void TearDown() override { EXPECT_EQ(live_.Leaked(), ""); }

    static std::string file(const std::string& name) { return dir_->file(name); }

    inline static fixture::TempDir* dir_ = nullptr;
    fixture::LiveBlocks live_;
};

}  // namespace png_test

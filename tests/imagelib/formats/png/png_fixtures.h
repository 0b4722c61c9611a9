// The PNG suites' shared set-up: the files make_png.py writes, made once per suite, and a
// leak check after every test.
#pragma once

#include "generated_files_test.h"

namespace png_test {

using PngFixtureTest = fixture::GeneratedFilesTest<fixture::kMakePng>;

}  // namespace png_test

// File positions past 2 GiB, as a kept installer prefix may need.
#include "support/file_ex.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace fs = std::filesystem;

TEST(FileOffsets, PositionsPastTwoGibibytesAreKept) {
    std::random_device rd;
    const fs::path path = fs::temp_directory_path() / ("qmx-offsets-" + std::to_string(rd()));
    const int64_t beyond = (int64_t{1} << 31) + 16;
    {
        CFileEx file;
        ASSERT_TRUE(file.Open(path.u8string(), "wb"));
        ASSERT_TRUE(SeekFile(file.Stream(), beyond, SEEK_SET));
        ASSERT_EQ(std::fputc('x', file.Stream()), 'x');
        ASSERT_TRUE(SeekFile(file.Stream(), 0, SEEK_END));
        EXPECT_EQ(TellFile(file.Stream()), beyond + 1);
    }
    std::error_code ec;
    fs::remove(path, ec);
}

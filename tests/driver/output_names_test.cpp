// Names of the log and IMR files beside the input.
#include "driver/output_names.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

TEST(ReplaceLastExtension, CutsAtTheLastDotOfTheFileName) {
    EXPECT_EQ(replace_last_extension("day1.bin", ".log"), "day1.log");
    EXPECT_EQ(replace_last_extension("logs/day1.bin", ".imr"), "logs/day1.imr");
    EXPECT_EQ(replace_last_extension("day1.v2.bin", ".log"), "day1.v2.log");
    EXPECT_EQ(replace_last_extension("run", ".log"), "run.log");
    // Dots in directory names are not the file's extension.
    EXPECT_EQ(replace_last_extension("data.v2/run", ".log"), "data.v2/run.log");
    EXPECT_EQ(replace_last_extension("logs.d/day1.bin", ".imr"), "logs.d/day1.imr");
    EXPECT_EQ(replace_last_extension("./run", ".log"), "./run.log");
    EXPECT_EQ(replace_last_extension("./../x", ".log"), "./../x.log");
    EXPECT_EQ(replace_last_extension("/a.b/c.d/run", ".log"), "/a.b/c.d/run.log");
    EXPECT_EQ(replace_last_extension("run.", ".log"), "run.log");
    EXPECT_EQ(replace_last_extension("", ".log"), ".log");
    // The leading dot of a hidden file is part of its name.
    EXPECT_EQ(replace_last_extension(".hidden", ".log"), ".hidden.log");
    EXPECT_EQ(replace_last_extension("dir/.hidden", ".imr"), "dir/.hidden.imr");
    EXPECT_EQ(replace_last_extension(".hidden.bin", ".log"), ".hidden.log");
}

TEST(OutputNameBesideInput, IsTheReplacedNameWhenItIsNotTheInput) {
    TempDir dir;
    write_file(dir / "day1.bin", "x");
    write_file(dir / "day1.log", "an older log");
    EXPECT_EQ(output_name_beside_input((dir / "day1.bin").string(), ".log"), (dir / "day1.log").string());
    // An input that does not exist cannot be overwritten.
    EXPECT_EQ(output_name_beside_input((dir / "none.log").string(), ".log"), (dir / "none.log").string());
}

TEST(OutputNameBesideInput, NeverNamesTheInputItself) {
    TempDir dir;
    write_file(dir / "day1.log", "binary data");
    write_file(dir / "day2.imr", "binary data");
    EXPECT_EQ(output_name_beside_input((dir / "day1.log").string(), ".log"), (dir / "day1.log.log").string());
    EXPECT_EQ(output_name_beside_input((dir / "day2.imr").string(), ".imr"), (dir / "day2.imr.imr").string());
    EXPECT_EQ(output_name_beside_input((dir / "day2.imr").string(), ".log"), (dir / "day2.log").string());

#ifndef _WIN32  // no symbolic links under Wine
    // Also through a link: the log of "link.bin" would be "day1.log", which is the input.
    std::filesystem::create_symlink(dir / "day1.log", dir / "link.bin");
    std::filesystem::create_symlink(dir / "day1.log", dir / "link.log");
    EXPECT_EQ(output_name_beside_input((dir / "link.bin").string(), ".log"), (dir / "link.bin.log").string());
#endif
}

}  // namespace

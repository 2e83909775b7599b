// OutputFile replaces a file only when the new one is complete and closed: until then, and when
// the new one is given up, the folder holds the old file's bytes and no temporary file.
#include "output/output_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "output-file-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        put(kOld);
    }
    void TearDown() override { fs::remove_all(folder); }

    void put(const std::string& bytes) const { std::ofstream(name(), std::ios::binary) << bytes; }
    std::string read(const fs::path& path) const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string name() const { return (folder / "day.rnx").string(); }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static constexpr const char* kOld = "old file\n";
    fs::path folder;
};

TEST_F(OutputFileTest, TheNewFileTakesTheNameOnlyWhenClosed) {
    OutputFile file;
    ASSERT_TRUE(file.open(name()));
    ASSERT_TRUE(file.write("new file\n"));
    EXPECT_EQ(read(name()), kOld);
    ASSERT_EQ(entries().size(), 2u);
    EXPECT_TRUE(entries()[0].starts_with(".day.rnx.") && entries()[0].ends_with(".tmp")) << entries()[0];
    ASSERT_TRUE(file.close());
    EXPECT_EQ(read(name()), "new file\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"day.rnx"});
}

TEST_F(OutputFileTest, AFileGivenUpLeavesTheOldOneAlone) {
    {
        OutputFile file;
        ASSERT_TRUE(file.open(name(), 1 << 20));
        ASSERT_TRUE(file.write(std::string(3 << 20, 'x')));
    }
    EXPECT_EQ(read(name()), kOld);
    EXPECT_EQ(entries(), std::vector<std::string>{"day.rnx"});

    // A rename that fails (a folder took the name meanwhile) is reported under the file's name.
    OutputFile file;
    ASSERT_TRUE(file.open(name()));
    fs::remove(name());
    fs::create_directories(folder / "day.rnx" / "inside");
    EXPECT_FALSE(file.close());
    EXPECT_EQ(file.failure().file_name, name());
    EXPECT_EQ(entries(), std::vector<std::string>{"day.rnx"});
}

// A temporary name fits wherever its final name fits (255 bytes): the final name is shortened in
// it, never inside a character.
TEST_F(OutputFileTest, AFinalNameOfTheLongestLengthIsWritten) {
    std::vector<std::string> long_names = {std::string(255, 'n')};
#ifndef _WIN32  // names in UTF-8 bytes; Windows counts UTF-16 units
    // 255 and 254 bytes of two-byte characters: the cut falls inside a character in one of them.
    for (const std::string first : {"x", ""}) {
        long_names.push_back(first);
        for (int i = 0; i < 127; ++i)
            long_names.back() += "\xc3\xa9";
    }
#endif
    fs::create_directory(folder / "long");
    for (const std::string& long_name : long_names) {
        const fs::path path = folder / "long" / long_name;
        OutputFile file;
        ASSERT_TRUE(file.open(path.string()));
        const std::string temporary = fs::directory_iterator(folder / "long")->path().filename().string();
        const std::string kept = temporary.substr(1, temporary.rfind('.', temporary.rfind('-')) - 1);
        EXPECT_LE(temporary.size(), 255u);
        EXPECT_TRUE(long_name.starts_with(kept) && (long_name[kept.size()] & 0xC0) != 0x80) << temporary;
        ASSERT_TRUE(file.close());
        EXPECT_TRUE(fs::is_regular_file(path));
        fs::remove(path);
    }
}

// Two runs writing the same name at once, beside a temporary name some other run left: each
// writes its own file, the last closed wins whole, and the stranger's file is not touched.
TEST_F(OutputFileTest, WritersOfOneNameAtOnceEachWriteTheirOwnFile) {
    OutputFile first;
    ASSERT_TRUE(first.open(name()));
    // The next numbers of this process's temporary names, taken already.
    const std::string taken = entries()[0];
    const std::size_t dash = taken.rfind('-');
    const int number = std::stoi(taken.substr(dash + 1));
    for (int next = number + 1; next <= number + 3; ++next)
        std::ofstream(folder / (taken.substr(0, dash + 1) + std::to_string(next) + ".tmp")) << "stranger";

    OutputFile second;
    ASSERT_TRUE(second.open(name()));
    ASSERT_TRUE(first.write("first, longer\n"));
    ASSERT_TRUE(second.write("second\n"));
    ASSERT_TRUE(first.close());
    ASSERT_TRUE(second.close());
    EXPECT_EQ(read(name()), "second\n");
    const std::vector<std::string> left = entries();
    ASSERT_EQ(left.size(), 4u);
    for (std::size_t i = 0; i + 1 < left.size(); ++i)
        EXPECT_EQ(read(folder / left[i]), "stranger") << left[i];
}

#ifndef _WIN32
// Through a symbolic link the file it leads to is replaced, keeping its permissions; the link stays.
TEST_F(OutputFileTest, ALinkedFileIsReplacedWithItsPermissions) {
    fs::permissions(name(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
                    fs::perm_options::replace);
    const fs::path link = folder / "link.rnx";
    fs::create_symlink("day.rnx", link);
    OutputFile file;
    ASSERT_TRUE(file.open(link.string()));
    ASSERT_TRUE(file.write("new file\n"));
    EXPECT_EQ(read(name()), kOld);
    ASSERT_TRUE(file.close());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read(name()), "new file\n");
    EXPECT_EQ(fs::status(name()).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(entries(), (std::vector<std::string>{"day.rnx", "link.rnx"}));
}
#endif

}  // namespace

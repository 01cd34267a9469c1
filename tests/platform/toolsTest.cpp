// The vant::tool utilities whose behaviour can break.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "tools.h"

namespace {

namespace fs = std::filesystem;
using namespace vant::tool;

// text has the shape of pattern, where '9' stands for any digit.
bool hasShape(const char* text, const std::string& pattern)
{
    if (strlen(text) != pattern.size())
        return false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == '9' ? !digit : text[i] != pattern[i])
            return false;
    }
    return true;
}

TEST(Tools, UuidIsNewOnEveryCallDrawnFromTheAlphabetAndLeavesRandAlone)
{
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    srand(7);
    int expected = rand();
    srand(7);
    std::set<std::string> ids;
    std::set<char> used;
    for (int i = 0; i < 5000; ++i) {
        std::string id = getUUID();
        ASSERT_EQ(32u, id.size());
        ASSERT_EQ(std::string::npos, id.find_first_not_of(alphabet)) << id;
        ids.insert(id);
        used.insert(id.begin(), id.end());
    }
    EXPECT_EQ(5000u, ids.size()) << "calls within one millisecond differ too";
    EXPECT_EQ(64u, used.size());
    EXPECT_EQ(expected, rand()) << "the process's rand sequence is untouched";
}

TEST(Tools, ClocksAgreeAndTimeStringsHaveTheirFormat)
{
    int64_t msec = getLocalTime_msec();
    int64_t sec = getLocalTime();
    EXPECT_TRUE(sec == msec / 1000 || sec == msec / 1000 + 1) << sec << " " << msec;
    long start = getStartmsec();
    for (long previous = start, i = 0; i < 10000; ++i) {
        long now = getStartmsec();
        ASSERT_GE(now, previous) << "never steps back";
        previous = now;
    }
    vant::tool::sleep(20);
    EXPECT_GE(getStartmsec() - start, 20);

    time_t epoch = 0;
    const tm* shared = localtime(&epoch);
    const int sharedYear = shared->tm_year;
    char text[16];
    memset(text, '#', sizeof text);
    EXPECT_EQ(12, getCurTimestring(text));
    EXPECT_TRUE(hasShape(text, "99:99:99.999")) << text;
    EXPECT_TRUE(atoi(text) < 24 && atoi(text + 3) < 60 && atoi(text + 6) < 61) << text;

    char today[9];
    time_t now = time(nullptr);
    tm local{};
    strftime(today, sizeof today, "%Y%m%d", localtime_r(&now, &local));
    memset(text, '#', sizeof text);
    EXPECT_EQ(8, getCurDaystring(text));
    EXPECT_TRUE(hasShape(text, "99999999")) << text;
    EXPECT_LE(std::string(today), std::string(text)) << "today, or tomorrow across midnight";
    EXPECT_EQ(sharedYear, shared->tm_year) << "the process-wide localtime result stays intact";
}

class ToolsFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tessera-tools-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        root = pattern;
    }
    void TearDown() override { fs::remove_all(root); }
    static void touch(const std::string& path) { std::ofstream(path) << "x"; }

    std::string root;
};

TEST_F(ToolsFiles, CreateDirMakesEveryMissingLevelUpTo259Characters)
{
    mode_t mask = umask(022);
    std::string nested = root + "/a/b/c";
    EXPECT_TRUE(createDir(nested.c_str()));
    umask(mask);
    for (const std::string& level : {root + "/a", root + "/a/b", nested}) {
        struct stat st;
        ASSERT_EQ(0, stat(level.c_str(), &st)) << level;
        EXPECT_EQ(S_IFDIR | 0755u, st.st_mode) << level;
    }
    EXPECT_TRUE(createDir(nested.c_str())) << "already there";
    EXPECT_TRUE(createDir((root + "/x//y/").c_str()));
    EXPECT_TRUE(pathExist((root + "/x/y").c_str()));
    touch(root + "/file");
    EXPECT_FALSE(createDir((root + "/file/sub").c_str())) << "a file is in the way";
    EXPECT_FALSE(createDir(""));
    EXPECT_FALSE(createDir(nullptr));

    std::string longest = root + "/";
    while (longest.size() < 259)
        longest += longest.size() % 100 == 99 ? '/' : 'd';
    EXPECT_TRUE(createDir(longest.c_str()));
    EXPECT_TRUE(pathExist(longest.c_str()));
    std::string tooLong = root + "/" + std::string(259, 'e');
    EXPECT_FALSE(createDir(tooLong.c_str()));
    EXPECT_FALSE(pathExist((root + "/" + std::string(200, 'e')).c_str())) << "nothing made before refusing";
}

TEST_F(ToolsFiles, GetFileInDirListsFilesOnlyWithOrWithoutTrailingSlash)
{
    touch(root + "/one");
    touch(root + "/two");
    fs::create_directory(root + "/sub");
    touch(root + "/sub/inner");
    for (const std::string& dir : {root, root + "/"}) {
        std::vector<std::string> files = getFileInDir(dir.c_str());
        std::sort(files.begin(), files.end());
        EXPECT_EQ((std::vector<std::string>{root + "/one", root + "/two"}), files) << dir;
    }
    EXPECT_TRUE(getFileInDir((root + "/missing").c_str()).empty());
    EXPECT_TRUE(getFileInDir("").empty());
    EXPECT_TRUE(getFileInDir(nullptr).empty());
}

TEST(Tools, PathHelpers)
{
    EXPECT_EQ("file.txt", getNameOfFile("dir/sub\\file.txt"));
    EXPECT_EQ("name", getNameOfFile("name"));
    EXPECT_EQ("", getNameOfFile("dir/"));
    EXPECT_TRUE(isAbsPath("/abc"));
    EXPECT_FALSE(isAbsPath("/ab"));
    EXPECT_FALSE(isAbsPath("abcd"));
    EXPECT_FALSE(isAbsPath(nullptr));

    char exe[PATH_MAX];
    ASSERT_NE(nullptr, realpath("/proc/self/exe", exe));
    std::string dir = getExecPath();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ('/', dir.back());
    EXPECT_EQ(0u, std::string(exe).rfind(dir, 0)) << dir << " holds " << exe;
    EXPECT_EQ(std::string::npos, std::string(exe).find('/', dir.size()));
}

TEST(Tools, ConversionsCopyOnlyIntoALargeEnoughBuffer)
{
    const std::wstring wide = L"ab\u0141d\u00e9";  // 0x141 keeps its low byte 0x41
    char narrow[8];
    memset(narrow, '#', sizeof narrow);
    convEChar(wide, narrow, 4);
    convEChar(wide, narrow, -1);
    EXPECT_EQ(std::string(8, '#'), std::string(narrow, 8)) << "too small: nothing written";
    EXPECT_EQ(narrow, convEChar(wide, narrow, 5));
    EXPECT_EQ(std::string("abAd\xe9###", 8), std::string(narrow, 8)) << "five bytes, no terminator";

    wchar_t widened[3] = {L'#', L'#', L'#'};
    convEWChar("x\xe9", widened, 1);
    convEWChar("x\xe9", widened, -5);
    EXPECT_EQ(L'#', widened[0]);
    convEWChar("x\xe9", widened, 2);
    EXPECT_EQ((std::wstring{L'x', static_cast<wchar_t>(-23), L'#'}), std::wstring(widened, 3));
}

} // namespace

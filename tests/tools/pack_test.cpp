// velmora-pack as an author uses it: folders in, archives out, clear errors.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>

#include "data/archive.h"
#include "support/test_game.h"

using namespace velmora;

namespace {

int Pack(const std::string& args, std::string* out) {
    std::string cmd = std::string(VELMORA_PACK_EXE) + " " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    out->clear();
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
    int status = ::pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(Pack, ScriptFolderBecomesAnArchiveTheEngineReads) {
    test::TempDir dir;
    ::mkdir(dir.File("src").c_str(), 0755);
    dir.Write("src/main.txt", "\xEF\xBB\xBF一行目\r\n*go END\n\n:END\n");
    dir.Write("src/_config.txt", "TITLE:x\n");
    std::string out;
    ASSERT_EQ(Pack("script " + dir.File("src") + " " + dir.File("vk_data.vrk"), &out), 0) << out;
    ArchiveIndex index;
    index.path = dir.File("vk_data.vrk");
    ReadScriptIndex(index.path, index);
    ASSERT_EQ(index.count, 2);
    int pos = FindEntry(index, "main");
    ASSERT_GE(pos, 0);
    std::vector<uint8_t> data;
    ReadEntry(index, pos, data);
    NegateBytes(data.data(), data.size());
    // One NUL per line, CP932, no byte order mark and no carriage return.
    EXPECT_EQ(std::string(data.begin(), data.end()), std::string("\x88\xea\x8d\x73\x96\xda\0*go END\0\0:END\0", 21));
    ASSERT_EQ(Pack("list " + dir.File("vk_data.vrk"), &out), 0);
    EXPECT_NE(out.find("script archive, 2 entries"), std::string::npos) << out;
    EXPECT_NE(out.find("MAIN"), std::string::npos);
}

TEST(Pack, ErrorsNameTheFileAndLine) {
    test::TempDir dir;
    std::string out;
    ::mkdir(dir.File("bad").c_str(), 0755);
    dir.Write("bad/main.txt", "fine\n絵文字😀\n");
    EXPECT_EQ(Pack("script " + dir.File("bad") + " " + dir.File("o.vrk"), &out), 1);
    EXPECT_NE(out.find("main.txt:2: text has no CP932 form"), std::string::npos) << out;

    ::mkdir(dir.File("long").c_str(), 0755);
    dir.Write("long/a_name_of_sixteen.txt", "x\n");
    EXPECT_EQ(Pack("script " + dir.File("long") + " " + dir.File("o.vrk"), &out), 1);
    EXPECT_NE(out.find("a_name_of_sixteen"), std::string::npos) << out;

    EXPECT_EQ(Pack("volume --width 4 " + dir.File("long") + " " + dir.File("o.vrk"), &out), 1);
    EXPECT_NE(out.find("does not fit a name width of 4"), std::string::npos) << out;
    EXPECT_EQ(Pack("volume --width 32 " + dir.File("long") + " " + dir.File("v.vrk"), &out), 0) << out;
    EXPECT_EQ(Pack("list " + dir.File("v.vrk"), &out), 0);
    EXPECT_NE(out.find("A_NAME_OF_SIXTEEN"), std::string::npos) << out;

    EXPECT_EQ(Pack("script " + dir.File("nowhere") + " " + dir.File("o.vrk"), &out), 1);
    EXPECT_NE(out.find("no such folder"), std::string::npos) << out;
    EXPECT_FALSE(test::TempDir().path().empty());
    EXPECT_EQ(Pack("frobnicate", &out), 2);
    EXPECT_EQ(Pack("--help", &out), 0);
    EXPECT_NE(out.find("usage: velmora-pack script"), std::string::npos);
}

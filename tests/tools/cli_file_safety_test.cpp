// ordavel-cli where the file system is in the way: the reasons it gives for
// templates it cannot open or write, a full disk, read-only files, links,
// long names, and picture names that try to reach out of the template's folder.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::ScratchDir;
using test::shellQuoted;

const std::string kCli = ORDAVEL_CLI;
const std::string kSeparator = "\xA8\x82\x74\x88\x54\x7A\xA8\x80\x78\xA1\xF6";

void writeBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string base64(const std::string& bytes)
{
    static const char* const alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 2]);
        out += alphabet[(group >> 18) & 63];
        out += alphabet[(group >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(group >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[group & 63] : '=';
    }
    return out;
}

// A template of `count` picture boxes that all name `bgImage`, each with a one-byte segment.
std::string pictureBoxTemplate(int count, const std::string& bgImage)
{
    std::string file;
    std::string boxes;
    for (int i = 1; i <= count; ++i) {
        file += kSeparator + "P";
        boxes += "<Box" + std::to_string(i) + " cType=\"3\" bgImage=\"" + bgImage + "\"/>";
    }
    return file + kSeparator +
           base64("<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<Document>\r\n\t<boxes>" + boxes +
                  "</boxes>\r\n</Document>");
}

bool runningAsRoot() { return ::geteuid() == 0; }

class CliFileSafety : public ::testing::Test {
protected:
    fs::path path(const std::string& name) const { return m_scratch.path() / name; }
    test::RunResult cli(const std::string& arguments) const { return runCommand(kCli + " " + arguments); }
    test::RunResult build(const std::string& json, const fs::path& out) const
    {
        writeBytes(path("in.json"), json);
        return cli("build " + shellQuoted(path("in.json")) + " -o " + shellQuoted(out));
    }

private:
    ScratchDir m_scratch{"ordavel-cli-safety"};
};

TEST_F(CliFileSafety, OpenFailuresSayWhichKind)
{
    fs::create_directory(path("folder.oxf"));
    writeBytes(path("garbage.oxf"), "not a template");
    // Two picture boxes and only one picture segment.
    writeBytes(path("damaged.oxf"), pictureBoxTemplate(2, "").substr(kSeparator.size() + 1));
    const std::pair<const char*, const char*> cases[] = {
        {"missing.oxf", "no such file"},
        {"folder.oxf", "is a folder"},
        {"garbage.oxf", "not a template"},
        {"damaged.oxf", "damaged"},
    };
    for (const auto& [name, reason] : cases) {
        const auto run = cli("dump " + shellQuoted(path(name)));
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.output.find(std::string("cannot open ") + path(name).string() + ": " + reason),
                  std::string::npos)
            << run.output;
        // The designer's message is still there.
        EXPECT_NE(run.output.find(std::string(name) == "damaged.oxf" ? "文件格式已经损坏" : "打开文件失败"),
                  std::string::npos)
            << run.output;
    }
}

TEST_F(CliFileSafety, BuildSaysWhyItCouldNotWrite)
{
    fs::create_directory(path("folder.oxf"));
    const std::pair<fs::path, const char*> cases[] = {
        {path("no/out.oxf"), "no such folder"},
        {path("folder.oxf"), "is a folder"},
    };
    for (const auto& [out, reason] : cases) {
        const auto run = build("{}", out);
        EXPECT_EQ(run.status, 1) << out;
        EXPECT_NE(run.output.find("创建文件失败"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("cannot write " + out.string() + ": " + reason), std::string::npos) << run.output;
    }
    const auto missingJson = cli("build " + shellQuoted(path("none.json")) + " -o " + shellQuoted(path("x.oxf")));
    EXPECT_NE(missingJson.output.find("no such file"), std::string::npos) << missingJson.output;
}

TEST_F(CliFileSafety, BuildOnAFullFileSystemKeepsTheOldFile)
{
    if (!runningAsRoot())
        GTEST_SKIP() << "mounting a small file system needs root";
    // In a chroot or a container unshare may fail before running anything
    // ("cannot change root filesystem propagation").
    if (const auto probe = runCommand("unshare -m true"); probe.status != 0)
        GTEST_SKIP() << "no private mount namespace here: " << probe.output;
    // A 64 KB tmpfs in a private mount namespace of the shell, gone when it ends.
    fs::create_directory(path("small"));
    writeBytes(path("big.json"), "{\"background\": {\"base64\": \"" + base64(std::string(200000, 'Q')) + "\"}}");
    const std::string small = shellQuoted(path("small"));
    const auto run = runCommand("unshare -m sh -c \"mount -t tmpfs -o size=64k tmpfs " + small + " || exit 77; " +
                                "printf OLD > " + small + "/out.oxf; " + kCli + " build " +
                                shellQuoted(path("big.json")) + " -o " + small + "/out.oxf; echo status=\\$?; " +
                                "ls -A " + small + "; cat " + small + "/out.oxf\"");
    if (run.status == 77)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << run.output;
    EXPECT_NE(run.output.find("cannot write " + path("small").string() + "/out.oxf: no space left on the disk"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("创建文件失败"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("status=1\nout.oxf\nOLD"), std::string::npos) << run.output;
}

TEST_F(CliFileSafety, BuildWritesThroughALinkAndSavesALongName)
{
    fs::create_directory(path("shared"));
    writeBytes(path("shared/form.oxf"), "OLD");
    fs::create_symlink("shared/form.oxf", path("link.oxf"));
    ASSERT_EQ(build("{\"pageWidth\": 12}", path("link.oxf")).status, 0);
    EXPECT_TRUE(fs::is_symlink(path("link.oxf")));
    const auto dumped = cli("dump " + shellQuoted(path("shared/form.oxf")));
    EXPECT_EQ(dumped.status, 0) << dumped.output;
    EXPECT_NE(dumped.output.find("\"pageWidth\": 12"), std::string::npos) << dumped.output;

    fs::create_symlink("nowhere/form.oxf", path("dangling.oxf"));
    const auto dangling = build("{}", path("dangling.oxf"));
    EXPECT_EQ(dangling.status, 1);
    EXPECT_NE(dangling.output.find("创建文件失败"), std::string::npos) << dangling.output;

    std::string name;
    for (int i = 0; i < 80; ++i)
        name += "运";
    const auto longName = build("{}", path(name + ".oxf"));
    EXPECT_EQ(longName.status, 0) << longName.output;
    EXPECT_TRUE(fs::is_regular_file(path(name + ".oxf")));
}

TEST_F(CliFileSafety, AsNormalUserBuildLeavesAReadOnlyTemplateAlone)
{
    if (runningAsRoot())
        GTEST_SKIP() << "root may write read-only files; scripts/test runs this case again as the user nobody";
    writeBytes(path("form.oxf"), "OLD");
    fs::permissions(path("form.oxf"), fs::perms(0444));
    const auto run = build("{}", path("form.oxf"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("cannot write " + path("form.oxf").string() + ": permission denied"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(readBytes(path("form.oxf")), "OLD");
    EXPECT_EQ(fs::status(path("form.oxf")).permissions(), fs::perms(0444));

    fs::permissions(path("form.oxf"), fs::perms::none);
    const auto open = cli("dump " + shellQuoted(path("form.oxf")));
    EXPECT_EQ(open.status, 1);
    EXPECT_NE(open.output.find("cannot open " + path("form.oxf").string() + ": permission denied"),
              std::string::npos)
        << open.output;
}

TEST_F(CliFileSafety, RenderSaysWhyItCouldNotWrite)
{
    ASSERT_EQ(build("{}", path("form.oxf")).status, 0);
    for (const char* out : {"no/out.png", "no/out.pdf"}) {
        const auto run = cli("render " + shellQuoted(path("form.oxf")) + " -o " + shellQuoted(path(out)));
        EXPECT_EQ(run.status, 1) << out;
        EXPECT_NE(run.output.find("cannot write \"" + path(out).string() + "\": no such folder"), std::string::npos)
            << run.output;
    }
}

// Picture boxes that all name one large file: the file is checked, not read,
// so loading them takes no more memory than the template itself. On failure
// the tool runs out of its address space limit.
TEST_F(CliFileSafety, ManyPictureBoxesNamingALargeFileLoadUnderAMemoryLimit)
{
    fs::create_directory(path("forms"));
    {
        std::ofstream(path("forms/big.bmp")) << "BM";
    }
    fs::resize_file(path("forms/big.bmp"), 200u << 20); // sparse: takes no disk space
    writeBytes(path("forms/many.oxf"), pictureBoxTemplate(30, "big.bmp"));
    writeBytes(path("secret.bmp"), "BMsecret");
    writeBytes(path("forms/escape.oxf"), pictureBoxTemplate(2, "../secret.bmp"));

    const auto run = runCommand("bash -c 'ulimit -v 1200000; exec " + kCli + " dump " +
                                shellQuoted(path("forms/many.oxf")) + "'");
    ASSERT_EQ(run.status, 0) << run.output.substr(0, 2000);
    EXPECT_EQ(run.output.find("图片文件不存在"), std::string::npos);
    std::size_t boxes = 0;
    for (std::size_t at = 0; (at = run.output.find("\"cType\": 3", at)) != std::string::npos; ++at)
        ++boxes;
    EXPECT_EQ(boxes, 30u);

    const auto escape = cli("dump " + shellQuoted(path("forms/escape.oxf")));
    EXPECT_EQ(escape.status, 0) << escape.output;
    std::size_t missing = 0;
    for (std::size_t at = 0; (at = escape.output.find(" 图片框的图片文件不存在，不能读入。", at)) != std::string::npos; ++at)
        ++missing;
    EXPECT_EQ(missing, 2u) << escape.output;
}

} // namespace
} // namespace ordavel

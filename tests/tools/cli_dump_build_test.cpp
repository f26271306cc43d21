// Runs the real ordavel-cli binary: build then dump, and its handling of bad input.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <QByteArray>
#include <QCryptographicHash>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

class CliDumpBuild : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("ordavel-cli-test-" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string path(const std::string& name) const { return (folder / name).string(); }
    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }

    // Runs ordavel-cli with the arguments; returns the exit status, stdout in *out.
    int run(const std::string& arguments, std::string* out = nullptr) const
    {
        const std::string command = std::string(ORDAVEL_CLI) + " " + arguments + " 2>" + path("stderr.txt");
        FILE* pipe = ::popen(command.c_str(), "r");
        std::string text;
        std::array<char, 4096> buffer{};
        for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
            text.append(buffer.data(), n);
        const int status = ::pclose(pipe);
        if (out)
            *out = text;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string errors() const
    {
        std::ifstream in(path("stderr.txt"));
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path folder;
};

// Every key of `given` appears in `dumped` with the same value.
void expectContains(const json& dumped, const json& given, const std::string& where)
{
    for (const auto& [key, value] : given.items()) {
        ASSERT_TRUE(dumped.contains(key)) << where << key;
        if (value.is_array() && key == "boxes") {
            ASSERT_EQ(dumped[key].size(), value.size());
            for (std::size_t i = 0; i < value.size(); ++i)
                expectContains(dumped[key][i], value[i], where + "boxes[" + std::to_string(i) + "].");
        } else if (value.is_number_float()) {
            EXPECT_DOUBLE_EQ(dumped[key].get<double>(), value.get<double>()) << where << key;
        } else {
            EXPECT_EQ(dumped[key], value) << where << key;
        }
    }
}

TEST_F(CliDumpBuild, BuildThenDumpReturnsTheGivenKeys)
{
    const json input = json::parse(R"({
      "pageWidth": 29.7, "pageHeight": 21, "wWidth": 1123, "wHeight": 794, "ImgShowType": 1,
      "bgColor": 15790320, "isPrintBgPic": true,
      "boxes": [
        {"index": 1, "cType": 1, "pPewW": false, "pX": 2.65, "pY": 1.25, "pW": 3.5, "pH": 0.8, "isPrint": true,
         "wX": 100, "wY": 37, "wW": 120, "wH": 30, "IType": 3, "MLine": true, "Scrollbars": 2,
         "wValue": "a\"b&c'<d>\r\n中文😀", "Color": 255, "B": true, "I": false, "T": true, "U": false,
         "Font": "黑体", "FontSize": 12},
        {"index": 2, "cType": 2, "pPewW": true, "pX": 0.26, "pY": 0.53, "wX": 10, "wY": 20, "sType": 3,
         "hAlign": 1, "vAlign": 2, "mLine": true, "bgColor": 65280, "wValue": "标签", "Color": 128},
        {"index": 3, "cType": 3, "pPewW": false, "isPrint": false, "bgColor": 1, "sType": 2, "picture": null},
        {"index": 4, "cType": 4, "pPewW": false, "xxType": 4, "xWidth": 3, "xtType": 2, "bgColor": 7,
         "xtColor": 9, "wxType": 5},
        {"index": 5, "cType": 5, "pPewW": false, "DateTime": "2024-03-05T14:07:09", "DTFormat": 8},
        {"index": 6, "cType": 6, "pPewW": false, "cboItems": ",A,,B", "items": ["A", "", "B"]},
        {"index": 7, "cType": 7, "pPewW": false, "Color": 1193046}
      ]})");
    write("in.json", input.dump());
    ASSERT_EQ(run("build " + path("in.json") + " -o " + path("out.oxf")), 0) << errors();
    std::string out;
    ASSERT_EQ(run("dump " + path("out.oxf"), &out), 0) << errors();
    expectContains(json::parse(out), input, "");
}

TEST_F(CliDumpBuild, PicturesFromFilesAndBase64DumpAsSizeDigestAndType)
{
    const std::string bmp = "BM\x01\x02\x03";
    write("logo.bmp", bmp);
    write("in.json", R"({"background": {"base64": "R0lGODlhAQ=="},
                        "boxes": [{"cType": 3, "picture": {"file": "logo.bmp"}}, {"index": 5, "cType": 7}]})");
    ASSERT_EQ(run("build " + path("in.json") + " -o " + path("out.oxf")), 0) << errors();
    std::string out;
    ASSERT_EQ(run("dump " + path("out.oxf"), &out), 0) << errors();
    const json dumped = json::parse(out);
    EXPECT_EQ(dumped["background"]["bytes"], 7);
    EXPECT_EQ(dumped["background"]["extension"], "gif");
    const json& picture = dumped["boxes"][0]["picture"];
    EXPECT_EQ(picture["bytes"], bmp.size());
    EXPECT_EQ(picture["extension"], "bmp");
    EXPECT_EQ(picture["sha256"],
              QCryptographicHash::hash(QByteArray::fromStdString(bmp), QCryptographicHash::Sha256).toHex().toStdString());
    // Slot 5 with slots 2 to 4 free loads into slot 2.
    EXPECT_EQ(dumped["boxes"][1]["index"], 2);
}

TEST_F(CliDumpBuild, ScreenDpiSetsWhereAFollowingBoxPrints)
{
    write("in.json", R"({"boxes": [{"cType": 7, "wX": 100, "wY": 200}]})");
    ASSERT_EQ(run("build " + path("in.json") + " -o " + path("out.oxf")), 0) << errors();
    std::string out;
    ASSERT_EQ(run("dump --screen-dpi 120 " + path("out.oxf"), &out), 0) << errors();
    const json box = json::parse(out)["boxes"][0];
    EXPECT_DOUBLE_EQ(box["pX"].get<double>(), 2.12); // 100 px / 47.24 px per cm
    EXPECT_DOUBLE_EQ(box["pY"].get<double>(), 4.23);
}

TEST_F(CliDumpBuild, BadInputFailsWithAMessageAndLeavesNoFile)
{
    const char* const inputs[] = {
        R"({"boxes": [{"cType": 1, "Colour": 3}]})",          // unknown key
        R"({"pageSize": 3})",                                 // unknown top-level key
        R"({"boxes": [{"cType": 2, "xWidth": 3}]})",          // key of another type
        R"({"boxes": [{"cType": 9}]})",                       // no such type
        R"({"boxes": [{"cType": 1, "MLine": 1}]})",           // flag that is not a boolean
        R"({"boxes": [{"cType": 1, "pX": 1e300}]})",          // no paper is that large
        R"({"boxes": [{"cType": 5, "DateTime": "2023-02-29T00:00:00"}]})",
        R"({"boxes": [{"index": 2, "cType": 1}, {"index": 2, "cType": 1}]})",
        R"({"boxes": [{"cType": 3, "picture": {"file": "missing.bmp"}}]})",
        R"({"boxes": [{"cType": 6, "cboItems": ",A", "items": ["B"]}]})",
        R"({"background": {"base64": "not base64!"}})",
        R"({"boxes": [)",                                     // not JSON
    };
    for (const char* input : inputs) {
        write("in.json", input);
        EXPECT_EQ(run("build " + path("in.json") + " -o " + path("out.oxf")), 1) << input;
        EXPECT_FALSE(fs::exists(path("out.oxf"))) << input;
        EXPECT_NE(errors().find("ordavel-cli"), std::string::npos) << input;
    }
    EXPECT_EQ(run("build " + path("none.json") + " -o " + path("out.oxf")), 1);
    EXPECT_EQ(run("build " + path("in.json")), 1);
    write("ok.json", "{}");
    EXPECT_EQ(run("build " + path("ok.json") + " -o " + path("no/such/folder.oxf")), 1);
    EXPECT_NE(errors().find("创建文件失败"), std::string::npos);

    write("broken.oxf", "not a template");
    std::string out;
    EXPECT_EQ(run("dump " + path("broken.oxf"), &out), 1);
    EXPECT_TRUE(out.empty());
    EXPECT_NE(errors().find("打开文件失败"), std::string::npos);
    EXPECT_EQ(run("dump " + path("broken.oxf") + " --screen-dpi x"), 1);
    EXPECT_EQ(run("dump"), 1);
}

} // namespace

// The tests' way to run other programs: each program a command line starts is
// found before it runs, and one that is missing fails the test with its name.
#include "support/run_command.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace ordavel::test {
namespace {

using Names = std::vector<std::string>;

TEST(RunCommand, FindsTheProgramsOfEachSimpleCommand)
{
    EXPECT_EQ(programsIn("ss -Hltn 'sport = :17380'"), Names{"ss"});
    EXPECT_EQ(programsIn("{ zbarimg --nodbus --raw -q 'a b.png' 2>/dev/null; }"), Names{"zbarimg"});
    EXPECT_EQ(programsIn("env -u DISPLAY -u QT_QPA_PLATFORM LC_ALL=C.UTF-8 '/opt/my tools/ordavel' --help"),
              Names{"/opt/my tools/ordavel"});
    EXPECT_EQ(programsIn("printf 'a|b;c' | ordavel-cli build - -o x.oxf && pdftotext x.pdf - >out 2>&1; lpstat -r"),
              (Names{"ordavel-cli", "pdftotext", "lpstat"}));
    EXPECT_EQ(programsIn("cd \"$HOME\" && 2> err FOO=${BAR}x nice -n 19 pdfinfo a.pdf | grep -q Page"),
              (Names{"pdfinfo", "grep"}));
    // Builtins start nothing; what `sh -c` runs is the inner shell's business.
    EXPECT_EQ(programsIn("command -v chromium && command -v node"), Names{});
    EXPECT_EQ(programsIn("unshare -m sh -c \"mount -t tmpfs tmpfs /x || exit 77\""), Names{"unshare"});
    EXPECT_EQ(programsIn("$TOOL --version"), Names{});
}

TEST(RunCommand, AMissingProgramFailsWithItsNameAndRunsNothing)
{
    EXPECT_TRUE(programInstalled("sh"));
    EXPECT_TRUE(programInstalled("/bin/sh"));
    EXPECT_FALSE(programInstalled("/bin"));
    EXPECT_FALSE(programInstalled("ordavel-no-such-program"));
    EXPECT_NONFATAL_FAILURE(runCommand("echo ran | ordavel-no-such-program --x"),
                            "the program \"ordavel-no-such-program\" is not installed");
    EXPECT_NONFATAL_FAILURE(runCommand("{ /nonexistent/ordavel-tool 2>/dev/null; }"),
                            "the program \"/nonexistent/ordavel-tool\" is not installed");

    const RunResult ran = runCommand("printf 'a b' | tr ' ' _; exit 3");
    EXPECT_EQ(ran.status, 3);
    EXPECT_EQ(ran.output, "a_b");
}

} // namespace
} // namespace ordavel::test

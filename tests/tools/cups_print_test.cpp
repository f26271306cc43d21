// ordavel-cli print through a real CUPS scheduler to a cups-pdf queue; the
// queue's PDF is checked with pdftoppm (cups-pdf's Type 3 fonts hide the text).
#include "file/template_writer.h"
#include "model/document.h"
#include "cups_lock.h"
#include "tool_run.h"

#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <regex>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::areaOf;
using test::runCommand;
using test::shellQuoted;

const char* const kCupsd = "/usr/sbin/cupsd";
const char* const kPpd = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";
const char* const kBackend = "/usr/lib/cups/backend/cups-pdf";

bool schedulerRunning() { return runCommand("lpstat -r").output.find("is running") != std::string::npos; }

// Where cups-pdf puts root's jobs: the Out setting of its configuration.
std::vector<fs::path> outputFolders()
{
    std::vector<fs::path> folders{"/root/PDF", "/var/spool/cups-pdf/ANONYMOUS"};
    std::ifstream conf("/etc/cups/cups-pdf.conf");
    std::string line;
    while (std::getline(conf, line)) {
        if (line.rfind("Out ", 0) != 0)
            continue;
        std::string out = line.substr(4);
        const auto home = out.find("${HOME}");
        if (home != std::string::npos)
            out.replace(home, 7, "/root");
        folders.insert(folders.begin(), out);
    }
    return folders;
}

std::set<fs::path> pdfsIn(const std::vector<fs::path>& folders)
{
    std::set<fs::path> found;
    for (const auto& folder : folders) {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(folder, ignored))
            if (entry.path().extension() == ".pdf")
                found.insert(entry.path());
    }
    return found;
}

// A scheduler (our own unless one already runs) with a cups-pdf queue; both
// are removed again by the destructor.
class CupsPdfQueue {
public:
    // Empty when ready, otherwise why the queue cannot exist here.
    std::string start()
    {
        if (::geteuid() != 0)
            return "the CUPS test needs root to run its own scheduler";
        for (const char* needed : {kCupsd, kPpd, kBackend})
            if (!fs::exists(needed))
                return std::string("missing ") + needed;
        if (!schedulerRunning()) {
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
            char* argv[] = {const_cast<char*>(kCupsd), const_cast<char*>("-f"), nullptr};
            const int spawned = posix_spawn(&m_cupsd, kCupsd, &actions, nullptr, argv, environ);
            posix_spawn_file_actions_destroy(&actions);
            if (spawned != 0) {
                m_cupsd = 0;
                return "cupsd could not be started";
            }
            const auto deadline = std::chrono::steady_clock::now() + 20s;
            while (!schedulerRunning()) {
                int status = 0;
                if (::waitpid(m_cupsd, &status, WNOHANG) == m_cupsd) {
                    m_cupsd = 0;
                    return "cupsd exited at start";
                }
                if (std::chrono::steady_clock::now() > deadline)
                    return "cupsd did not answer within 20 s";
                std::this_thread::sleep_for(200ms);
            }
        }
        name = "ordavel-test-" + std::to_string(::getpid());
        const auto added = runCommand("lpadmin -p " + name + " -E -v cups-pdf:/ -P " + kPpd);
        if (added.status != 0)
            return "lpadmin could not add the queue: " + added.output;
        m_added = true;
        return {};
    }

    ~CupsPdfQueue()
    {
        if (m_added)
            runCommand("lpadmin -x " + name);
        if (m_cupsd > 0) {
            ::kill(m_cupsd, SIGTERM);
            int status = 0;
            for (int i = 0; i < 50 && ::waitpid(m_cupsd, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(100ms);
            if (::waitpid(m_cupsd, &status, WNOHANG) == 0) {
                ::kill(m_cupsd, SIGKILL);
                ::waitpid(m_cupsd, &status, 0);
            }
        }
    }

    std::string name;

private:
    pid_t m_cupsd = 0;
    bool m_added = false;
};

TEST(CupsPrint, ColourBlocksLandWithinATenthOfAMillimetrePair)
{
    const test::CupsLock lock;
    CupsPdfQueue queue;
    if (const std::string why = queue.start(); !why.empty())
        GTEST_SKIP() << "no CUPS scheduler: " << why;

    Document doc;
    doc.setPageSizes(15.0, 10.0, 567, 378);
    const struct {
        Color colour;
        QColor qcolour;
        PrintRect rect;
    } blocks[] = {{0x0000FF, Qt::red, {1.15, 1.35, 3.00, 2.00}}, {0xFF0000, Qt::blue, {9.50, 6.05, 4.25, 1.50}}};
    for (const auto& b : blocks) {
        const int index = doc.addBox(BoxType::ColorPicker, 0, 0);
        doc.box(index).followsEdit = false;
        doc.box(index).printRect = b.rect;
        doc.box(index).attributes.color = b.colour;
    }
    test::ScratchDir scratch("ordavel-cups");
    const fs::path file = scratch.path() / "blocks.oxf";
    test::FailOnMessage sink;
    ASSERT_TRUE(saveDocument(doc, file.string(), sink));

    const auto folders = outputFolders();
    const auto before = pdfsIn(folders);
    const auto printed = runCommand(std::string(ORDAVEL_CLI) + " print " + shellQuoted(file) + " --printer "
                                    + queue.name);
    ASSERT_EQ(printed.status, 0) << printed.output;

    fs::path pdf;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (pdf.empty() && std::chrono::steady_clock::now() < deadline) {
        for (const auto& path : pdfsIn(folders))
            if (!before.count(path))
                pdf = path;
        std::this_thread::sleep_for(250ms);
    }
    ASSERT_FALSE(pdf.empty()) << "no PDF from the queue within 60 s in " << folders.front();
    std::this_thread::sleep_for(500ms); // cups-pdf may still be closing the file
    struct RemovePdf {
        fs::path path;
        ~RemovePdf() { std::error_code ignored; fs::remove(path, ignored); }
    } removePdf{pdf};

    const auto info = runCommand("pdfinfo " + shellQuoted(pdf));
    std::smatch size;
    ASSERT_TRUE(std::regex_search(info.output, size, std::regex(R"re(Page size:\s+([0-9.]+) x ([0-9.]+) pts)re")))
        << info.output;
    EXPECT_NEAR(std::stod(size[1]), 150 / 25.4 * 72, 1.0);
    EXPECT_NEAR(std::stod(size[2]), 100 / 25.4 * 72, 1.0);

    // 508 dpi: a pixel is 0.05 mm, so 0.2 mm is 4 pixels.
    const fs::path prefix = scratch.path() / "page";
    ASSERT_EQ(runCommand("pdftoppm -r 508 -png -singlefile " + shellQuoted(pdf) + " " + shellQuoted(prefix)).status, 0);
    const QImage page(QString::fromStdString(prefix.string() + ".png"));
    ASSERT_FALSE(page.isNull());
    const double pxPerCm = 508 / 2.54;
    for (const auto& b : blocks) {
        const QRect area = areaOf(page, b.qcolour);
        const std::string name = b.qcolour.name().toStdString();
        ASSERT_TRUE(area.isValid()) << name;
        EXPECT_NEAR(area.left(), b.rect.left * pxPerCm, 4.0) << name;
        EXPECT_NEAR(area.top(), b.rect.top * pxPerCm, 4.0) << name;
        EXPECT_NEAR(area.width(), b.rect.width * pxPerCm, 4.0) << name;
        EXPECT_NEAR(area.height(), b.rect.height * pxPerCm, 4.0) << name;
    }
}

} // namespace
} // namespace ordavel

// A batch printed to a CUPS class of two cups-pdf queues in jobs of two
// records: the scheduler spreads the jobs over both queues.
#include "file/template_writer.h"
#include "model/document.h"
#include "cups_lock.h"
#include "cups_queue.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::runCommand;
using test::shellQuoted;
using test::cups::kPpd;

// Two cups-pdf queues, each writing to its own folder (cups-pdf reads
// cups-pdf-QUEUE.conf for a queue whose device is cups-pdf:/QUEUE), joined
// in one class; our own scheduler unless one runs. All removed again.
class CupsClass {
public:
    std::string start(const fs::path& outRoot)
    {
        if (std::string why = m_scheduler.start(); !why.empty())
            return why;
        const std::string suffix = std::to_string(::getpid());
        name = "ordavel-class-" + suffix;
        for (int k = 1; k <= 2; ++k) {
            const std::string queue = "ordavel-member" + std::to_string(k) + "-" + suffix;
            const fs::path out = outRoot / ("queue" + std::to_string(k));
            fs::create_directories(out);
            ::chmod(out.c_str(), 0777);
            const fs::path conf = fs::path("/etc/cups") / ("cups-pdf-" + queue + ".conf");
            std::ofstream(conf) << "Out " << out.string() << "\nAnonDirName " << out.string() << "\nLabel 0\n";
            m_confs.push_back(conf);
            const auto added = runCommand("lpadmin -p " + queue + " -E -v cups-pdf:/" + queue + " -P " + kPpd);
            if (added.status != 0)
                return "lpadmin could not add a queue: " + added.output;
            m_queues.push_back(queue);
            outFolders.push_back(out);
            const auto joined = runCommand("lpadmin -p " + queue + " -c " + name);
            if (joined.status != 0)
                return "lpadmin could not make the class: " + joined.output;
        }
        runCommand("cupsenable " + name);
        runCommand("cupsaccept " + name);
        return {};
    }

    ~CupsClass()
    {
        if (!name.empty())
            runCommand("lpadmin -x " + name);
        for (const auto& queue : m_queues)
            runCommand("lpadmin -x " + queue);
        for (const auto& conf : m_confs) {
            std::error_code ignored;
            fs::remove(conf, ignored);
        }
    }

    std::string name;
    std::vector<fs::path> outFolders;

private:
    test::cups::Scheduler m_scheduler; // stopped after the queues are removed
    std::vector<std::string> m_queues;
    std::vector<fs::path> m_confs;
};

std::vector<fs::path> pdfsIn(const fs::path& folder)
{
    std::vector<fs::path> found;
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ignored))
        if (entry.path().extension() == ".pdf")
            found.push_back(entry.path());
    return found;
}

int pagesOf(const fs::path& pdf)
{
    std::smatch pages;
    const std::string info = runCommand("pdfinfo " + shellQuoted(pdf)).output;
    return std::regex_search(info, pages, std::regex(R"(Pages:\s+(\d+))")) ? std::stoi(pages[1]) : -1;
}

TEST(CupsClass, JobsOfABatchAreSpreadOverTheClassesPrinters)
{
    test::ScratchDir scratch("ordavel-class");
    ::chmod(scratch.path().c_str(), 0777);
    const test::CupsLock lock;
    CupsClass printers;
    if (const std::string why = printers.start(scratch.path()); !why.empty())
        GTEST_SKIP() << "no CUPS class: " << why;

    Document doc;
    doc.setPageSizes(10.0, 5.0, 378, 189);
    const int index = doc.addBox(BoxType::EditBox, 0, 0);
    doc.box(index).attributes.text = "${单号}";
    const fs::path oxf = scratch.path() / "card.oxf";
    test::FailOnMessage sink;
    ASSERT_TRUE(saveDocument(doc, oxf.string(), sink));
    const fs::path data = scratch.path() / "cards.csv";
    std::ofstream(data) << "单号\nA1\nA2\nA3\nA4\nA5\nA6\n";

    const auto printed = runCommand(std::string(ORDAVEL_CLI) + " print " + shellQuoted(oxf) + " --data "
                                    + shellQuoted(data) + " --printer " + printers.name + " --job-size 2");
    ASSERT_EQ(printed.status, 0) << printed.output;
    EXPECT_NE(printed.output.find("1/6\n2/6\n3/6\n4/6\n5/6\n6/6\n"), std::string::npos) << printed.output;

    // Three jobs of two pages each, found in both queues' folders.
    std::vector<fs::path> first, second;
    const auto deadline = std::chrono::steady_clock::now() + 90s;
    while (std::chrono::steady_clock::now() < deadline) {
        first = pdfsIn(printers.outFolders[0]);
        second = pdfsIn(printers.outFolders[1]);
        if (first.size() + second.size() >= 3)
            break;
        std::this_thread::sleep_for(250ms);
    }
    std::this_thread::sleep_for(1s); // cups-pdf may still be closing a file
    ASSERT_EQ(first.size() + second.size(), 3u) << runCommand("lpstat -W all -o").output;
    EXPECT_FALSE(first.empty());
    EXPECT_FALSE(second.empty());
    int pages = 0;
    for (const auto* folder : {&first, &second})
        for (const auto& pdf : *folder) {
            EXPECT_EQ(pagesOf(pdf), 2) << pdf;
            pages += pagesOf(pdf);
        }
    EXPECT_EQ(pages, 6);
}

} // namespace
} // namespace ordavel

#pragma once
// A CUPS scheduler (our own unless one already runs) with a cups-pdf queue
// for the tool tests, and the folders where cups-pdf leaves its PDFs.

#include "cups_lock.h"
#include "tool_run.h"

#include <cctype>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace ordavel::test {

namespace cups {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline constexpr const char* kCupsd = "/usr/sbin/cupsd";
inline constexpr const char* kPpd = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";
inline constexpr const char* kBackend = "/usr/lib/cups/backend/cups-pdf";

inline bool schedulerRunning() { return runCommand("lpstat -r").output.find("is running") != std::string::npos; }

// Where cups-pdf puts root's jobs: the Out setting of its configuration.
inline std::vector<fs::path> outputFolders()
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

inline std::set<fs::path> pdfsIn(const std::vector<fs::path>& folders)
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

// A CUPS scheduler for a test: ours, started by start() unless one already
// runs, and stopped again by the destructor.
class Scheduler {
public:
    Scheduler() = default;
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    // Empty when a scheduler answers, otherwise why none can run here.
    std::string start()
    {
        if (::geteuid() != 0)
            return "the CUPS test needs root to run its own scheduler";
        if (!programsInstalled(kCupsd)) // fails the test naming it: scripts/setup --test installs it
            return std::string("missing ") + kCupsd;
        for (const char* needed : {kPpd, kBackend})
            if (!fs::exists(needed)) {
                ADD_FAILURE() << "missing " << needed << " (printer-driver-cups-pdf; scripts/setup --test installs it)";
                return std::string("missing ") + needed;
            }
        if (schedulerRunning())
            return {};
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
        return {};
    }

    ~Scheduler()
    {
        if (m_cupsd <= 0)
            return;
        ::kill(m_cupsd, SIGTERM);
        int status = 0;
        for (int i = 0; i < 50 && ::waitpid(m_cupsd, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(100ms);
        if (::waitpid(m_cupsd, &status, WNOHANG) == 0) {
            ::kill(m_cupsd, SIGKILL);
            ::waitpid(m_cupsd, &status, 0);
        }
    }

private:
    pid_t m_cupsd = 0;
};

// A scheduler (our own unless one already runs) with a cups-pdf queue; both
// are removed again by the destructor.
class CupsPdfQueue {
    // Held for the queue's whole life: tests in other processes wait for it.
    ::ordavel::test::CupsLock m_lock;
    Scheduler m_scheduler;

public:
    // Empty when ready, otherwise why the queue cannot exist here.
    std::string start()
    {
        if (std::string why = m_scheduler.start(); !why.empty())
            return why;
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
    }

    std::string name;

private:
    bool m_added = false;
};

// The first PDF in `folders` that is not in `before`, once cups-pdf has
// written it; empty after `timeout`.
inline fs::path waitForNewPdf(const std::vector<fs::path>& folders, const std::set<fs::path>& before,
                              std::chrono::seconds timeout = 60s)
{
    fs::path pdf;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (pdf.empty() && std::chrono::steady_clock::now() < deadline) {
        for (const auto& path : pdfsIn(folders))
            if (!before.count(path))
                pdf = path;
        std::this_thread::sleep_for(250ms);
    }
    if (!pdf.empty())
        std::this_thread::sleep_for(500ms); // cups-pdf may still be closing the file
    return pdf;
}

// The newest job of `queue` ("" when there is none).
inline std::string lastJobId(const std::string& queue)
{
    const auto jobs = runCommand("lpstat -W all -o " + queue).output;
    std::string last;
    const std::string prefix = queue + "-";
    std::size_t at = 0;
    while ((at = jobs.find(prefix, at)) != std::string::npos) {
        at += prefix.size();
        std::size_t end = at;
        while (end < jobs.size() && std::isdigit(static_cast<unsigned char>(jobs[end])))
            ++end;
        const std::string id = jobs.substr(at, end - at);
        if (!id.empty() && (last.empty() || std::stoi(id) > std::stoi(last)))
            last = id;
    }
    return last;
}

// A job attribute's value as the scheduler holds it ("media (keyword) =
// Custom.230x127mm" gives "Custom.230x127mm", and "keyword" in *type when
// asked); empty when it has none.
inline std::string jobAttribute(const std::string& jobId, const std::string& name, std::string* type = nullptr)
{
    const auto attributes = runCommand("ipptool -tv ipp://localhost/jobs/" + jobId + " get-job-attributes.test").output;
    std::smatch value;
    if (!std::regex_search(attributes, value, std::regex("(^|\\s)" + name + " \\(([^)]*)\\) = ([^\\n]*)")))
        return {};
    if (type != nullptr)
        *type = value[2];
    return value[3];
}

// The PDF cups-pdf writes for job `jobId` ("...-job_<id>.pdf"), once written;
// empty after `timeout`. Other queues may print into the same folders at the
// same time, so the job's own number picks the file.
inline fs::path waitForJobPdf(const std::vector<fs::path>& folders, const std::string& jobId,
                              std::chrono::seconds timeout = 60s)
{
    const std::string suffix = "-job_" + jobId + ".pdf";
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        for (const auto& path : pdfsIn(folders)) {
            const std::string name = path.filename().string();
            if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
                std::this_thread::sleep_for(500ms); // cups-pdf may still be closing the file
                return path;
            }
        }
        std::this_thread::sleep_for(250ms);
    }
    return {};
}

// A cups-pdf queue whose PDFs land in `out` (cups-pdf reads
// cups-pdf-QUEUE.conf for the device cups-pdf:/QUEUE).
class FolderQueue {
public:
    // Empty when ready, otherwise why the queue cannot exist here. The queue
    // is named `stem`-PID; leftover jobs are cancelled when it is removed.
    std::string start(const std::string& stem, const fs::path& outFolder)
    {
        if (std::string why = m_scheduler.start(); !why.empty())
            return why;
        name = stem + "-" + std::to_string(::getpid());
        out = outFolder;
        fs::create_directories(out);
        ::chmod(out.c_str(), 0777);
        m_conf = fs::path("/etc/cups") / ("cups-pdf-" + name + ".conf");
        std::ofstream(m_conf) << "Out " << out.string() << "\nAnonDirName " << out.string() << "\nLabel 0\n";
        const auto added = runCommand("lpadmin -p " + name + " -E -v cups-pdf:/" + name + " -P " + kPpd);
        if (added.status != 0)
            return "lpadmin could not add the queue: " + added.output;
        m_added = true;
        return {};
    }
    ~FolderQueue()
    {
        if (m_added) {
            runCommand("cancel -a " + name);
            runCommand("lpadmin -x " + name);
        }
        std::error_code ignored;
        if (!m_conf.empty())
            fs::remove(m_conf, ignored);
    }
    std::string name;
    fs::path out;

    // The PDFs written since the last call (each is handed out once), once
    // the queue has no job left, waiting up to 60 s for that.
    std::vector<fs::path> newPdfs()
    {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (std::chrono::steady_clock::now() < deadline && !runCommand("lpstat -o " + name).output.empty())
            std::this_thread::sleep_for(250ms);
        std::this_thread::sleep_for(1s); // cups-pdf may still be closing a file
        std::vector<fs::path> found;
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(out, ignored))
            if (entry.path().extension() == ".pdf" && m_handedOut.insert(entry.path()).second)
                found.push_back(entry.path());
        return found;
    }

private:
    std::set<fs::path> m_handedOut;
    Scheduler m_scheduler; // stopped after the queue is removed
    fs::path m_conf;
    bool m_added = false;
};

} // namespace cups

using cups::CupsPdfQueue;

} // namespace ordavel::test

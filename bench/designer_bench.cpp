// The designer at scale, on the offscreen platform: opening a template of
// 1,000 and 5,000 boxes into the main window until it is idle (every paint
// done), switching between the three modes with 1,000 boxes open, and the
// resident memory of the process with 5,000 boxes open.
//
// Run the memory figure in a process of its own, so that the heap of earlier
// benchmarks does not count:  designer_bench --benchmark_filter=Memory
#include "app/main_window.h"
#include "designer/box_menus.h"
#include "file/template_writer.h"
#include "support/scripted_prompter.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QDir>
#include <QMenu>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

using ordavel::AppMode;

// A 16 x 16 BMP picture.
std::string smallBmp()
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes.toStdString();
}

// A template with `count` boxes of every type in a grid over an A4 board, a
// few of them picture boxes with a small picture, written by saveDocument.
const std::string& templateFile(int count)
{
    static std::map<int, std::string> files;
    std::string& name = files[count];
    if (!name.empty())
        return name;
    ordavel::Document doc;
    for (int i = 0; i < count; ++i) {
        const auto type = static_cast<ordavel::BoxType>(1 + i % 7);
        const int column = i % 8;
        const int row = (i / 8) % 36;
        const int index = doc.addBox(type, 10 + column * 96, 10 + row * 30, 90, 26);
        ordavel::Box& b = doc.box(index);
        b.attributes.text = "收件人 " + std::to_string(i);
        b.attributes.items = {"甲", "乙", std::to_string(i)};
        b.comboItems = ",甲,乙," + std::to_string(i);
        if (type == ordavel::BoxType::PicBox && i % 70 == 2) {
            b.attributes.picture = smallBmp();
        }
    }
    name = QDir::temp().filePath(QStringLiteral("ordavel-designer-bench-%1.oxf").arg(count)).toStdString();
    ordavel::ScriptedPrompter sink;
    if (!ordavel::saveDocument(doc, name, sink))
        std::abort();
    return name;
}

// Lets every pending event run, paints included, until nothing is left.
void settle()
{
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

struct Window {
    ordavel::ScriptedPrompter prompter;
    std::unique_ptr<ordavel::MainWindow> window;

    Window()
    {
        window = std::make_unique<ordavel::MainWindow>(prompter, ordavel::UnitFactors::fromDpi(96.0));
        window->boxMenus()->popup = [](QMenu&) {};
        window->resize(1024, 700);
        window->show();
        settle();
    }
};

// VmRSS or VmHWM of this process in MB, from /proc/self/status.
double statusMegabytes(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(std::string(key).size())) / 1024.0;
    }
    return 0.0;
}

void BM_OpenTemplate(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const std::string& file = templateFile(count);
    for (auto _ : state) {
        state.PauseTiming();
        auto w = std::make_unique<Window>();
        state.ResumeTiming();
        const bool loaded = w->window->openTemplate(file);
        settle();
        state.PauseTiming();
        if (!loaded || w->window->document().liveBoxCount() != count)
            state.SkipWithError("load failed");
        w.reset();
        settle();
        state.ResumeTiming();
    }
    state.counters["boxes"] = count;
}
BENCHMARK(BM_OpenTemplate)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Mode switch with 1,000 boxes open: range(0) the mode left, range(1) the mode entered.
void BM_SwitchMode(benchmark::State& state)
{
    const auto from = static_cast<AppMode>(state.range(0));
    const auto to = static_cast<AppMode>(state.range(1));
    Window w;
    if (!w.window->openTemplate(templateFile(1000)))
        state.SkipWithError("load failed");
    settle();
    for (auto _ : state) {
        state.PauseTiming();
        w.window->switchMode(from);
        settle();
        state.ResumeTiming();
        w.window->switchMode(to);
        settle();
    }
}
BENCHMARK(BM_SwitchMode)
    ->ArgNames({"from", "to"})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 2})
    ->Args({2, 1})
    ->Args({0, 2})
    ->Args({2, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

// Resident memory of the process with a 5,000-box template open and shown.
void BM_Memory(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const std::string& file = templateFile(count);
    settle();
    const double before = statusMegabytes("VmRSS:");
    std::unique_ptr<Window> w;
    for (auto _ : state) {
        w = std::make_unique<Window>();
        if (!w->window->openTemplate(file))
            state.SkipWithError("load failed");
        settle();
        w->window->switchMode(AppMode::DesignMode);
        settle();
    }
    state.counters["rss_MB"] = statusMegabytes("VmRSS:");
    state.counters["peak_MB"] = statusMegabytes("VmHWM:");
    state.counters["rss_before_MB"] = before;
}
BENCHMARK(BM_Memory)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

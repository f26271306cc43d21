#pragma once
// The thread that writes what a print need not wait for: a page's job while
// the page is drawn, and what a print kept once its pages are out.

#include <functional>
#include <future>
#include <memory>
#include <type_traits>
#include <utility>

namespace ordavel {

// Runs the tasks posted to it one after another, in the order posted, on one
// thread that lives as long as the worker. Tasks posted before it is
// destroyed are all done before it is.
class JournalWorker {
public:
    JournalWorker();

    // Runs `work` on the worker; the future gives its result.
    template <typename Work>
    auto post(Work work) -> std::future<std::invoke_result_t<Work&>>
    {
        using Result = std::invoke_result_t<Work&>;
        auto task = std::make_shared<std::packaged_task<Result()>>(std::move(work));
        auto result = task->get_future();
        enqueue([task] { (*task)(); });
        return result;
    }
    // Waits until every task posted so far is done (not from a task).
    void drain();

    ~JournalWorker();
    JournalWorker(const JournalWorker&) = delete;
    JournalWorker& operator=(const JournalWorker&) = delete;

private:
    void enqueue(std::function<void()> task);
    struct Queue;
    std::unique_ptr<Queue> m_queue;
};

} // namespace ordavel

#include "platform/journal_worker.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace ordavel {

struct JournalWorker::Queue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> tasks;
    bool running = false; // a task taken off the queue is being done
    bool ending = false;
    std::thread thread;

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return ending || !tasks.empty(); });
            if (tasks.empty())
                return; // ending, with nothing left to do
            std::function<void()> task = std::move(tasks.front());
            tasks.pop_front();
            running = true;
            lock.unlock();
            task();
            task = nullptr; // what the task held goes before the next one starts
            lock.lock();
            running = false;
            changed.notify_all();
        }
    }
};

JournalWorker::JournalWorker() : m_queue(std::make_unique<Queue>())
{
    m_queue->thread = std::thread([queue = m_queue.get()] { queue->run(); });
}

JournalWorker::~JournalWorker()
{
    {
        const std::lock_guard lock(m_queue->mutex);
        m_queue->ending = true;
    }
    m_queue->changed.notify_all();
    m_queue->thread.join();
}

void JournalWorker::enqueue(std::function<void()> task)
{
    {
        const std::lock_guard lock(m_queue->mutex);
        m_queue->tasks.push_back(std::move(task));
    }
    m_queue->changed.notify_all();
}

void JournalWorker::drain()
{
    std::unique_lock lock(m_queue->mutex);
    m_queue->changed.wait(lock, [this] { return m_queue->tasks.empty() && !m_queue->running; });
}

} // namespace ordavel

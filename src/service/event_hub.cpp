#include "service/event_hub.h"

#include <algorithm>
#include <chrono>

namespace ordavel::service {

bool EventHub::Listener::take(int timeoutMs, std::vector<std::string>& out)
{
    std::unique_lock lock(m_mutex);
    m_ready.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_closed || !m_pending.empty(); });
    out.assign(m_pending.begin(), m_pending.end());
    m_pending.clear();
    return !(m_closed && out.empty());
}

std::shared_ptr<EventHub::Listener> EventHub::listen(const std::string& owner)
{
    auto listener = std::make_shared<Listener>();
    listener->m_owner = owner;
    const std::lock_guard lock(m_mutex);
    m_listeners.push_back(listener);
    return listener;
}

void EventHub::forget(const std::shared_ptr<Listener>& listener)
{
    const std::lock_guard lock(m_mutex);
    std::erase(m_listeners, listener);
}

void EventHub::publish(const std::string& owner, const std::string& json)
{
    const std::lock_guard lock(m_mutex);
    for (const auto& listener : m_listeners) {
        if (listener->m_owner != owner)
            continue;
        {
            const std::lock_guard inner(listener->m_mutex);
            if (listener->m_pending.size() >= Listener::kMaxPending)
                listener->m_pending.pop_front();
            listener->m_pending.push_back(json);
        }
        listener->m_ready.notify_all();
    }
}

void EventHub::close()
{
    const std::lock_guard lock(m_mutex);
    for (const auto& listener : m_listeners) {
        {
            const std::lock_guard inner(listener->m_mutex);
            listener->m_closed = true;
        }
        listener->m_ready.notify_all();
    }
}

std::size_t EventHub::listeners()
{
    const std::lock_guard lock(m_mutex);
    return m_listeners.size();
}

} // namespace ordavel::service

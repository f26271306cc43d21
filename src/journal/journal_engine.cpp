#include "journal/journal_engine.h"

#include "journal/journal_system.h"

#include <ctime>

namespace ordavel {

JournalTransaction::JournalTransaction(JournalEngine& engine, TransactionScope scope)
    : m_engine(engine), m_depth(static_cast<int>(engine.m_scopes.size()))
{
    m_opening = m_depth == 0 ? engine.beginOutermost() : engine.savepoint(m_depth);
    if (m_opening.failed())
        return;
    engine.m_scopes.push_back({scope, {}});
    m_open = true;
}

JournalTransaction::~JournalTransaction()
{
    if (m_open)
        undo();
}

void JournalTransaction::undo()
{
    if (m_depth == 0) {
        m_engine.rollbackOutermost();
    } else {
        m_engine.rollbackToSavepoint(m_depth);
        m_engine.releaseSavepoint(m_depth);
    }
    m_engine.m_scopes.resize(static_cast<std::size_t>(m_depth));
    m_open = false;
}

EngineError JournalTransaction::finish(EngineError outcome)
{
    if (!m_open)
        return m_opening.failed() ? m_opening : outcome;
    auto& scope = m_engine.m_scopes.back();
    if (!outcome.failed() && scope.kind == TransactionScope::AllOrNothing && scope.failure.failed())
        outcome = scope.failure;
    if (!outcome.failed()) {
        outcome = m_depth == 0 ? m_engine.commitOutermost() : m_engine.releaseSavepoint(m_depth);
        if (!outcome.failed()) {
            m_engine.m_scopes.pop_back();
            m_open = false;
            return {};
        }
    }
    undo();
    if (m_depth > 0) {
        auto& around = m_engine.m_scopes.back();
        if (around.kind == TransactionScope::AllOrNothing && !around.failure.failed())
            around.failure = outcome;
    }
    return outcome;
}

namespace journal_detail {

const std::string& userName()
{
    static const std::string name = journal_system::userName();
    return name;
}

const std::string& hostName()
{
    static const std::string name = journal_system::hostName();
    return name;
}

std::string runningHere() { return "pid " + std::to_string(journal_system::processId()) + "@" + hostName(); }

JournalTime now() { return static_cast<JournalTime>(std::time(nullptr)); }

} // namespace journal_detail

} // namespace ordavel

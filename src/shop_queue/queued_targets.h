#pragma once
// The targets ("STATION/PRINTER" or a pool's name) that have queued rows, as
// a recursive common table expression `targets(target)` to open a WITH
// RECURSIVE clause with. It steps through the partial index of queued rows
// (print_queue_waiting) one target at a time: a few index probes per target
// instead of a scan of every queued row, or of the whole table when a
// condition such as a prefix of the target cannot use the index. Its last
// row is a NULL target.

namespace ordavel::service {

inline constexpr const char* kQueuedTargets =
    "targets(target) AS ("
    " (SELECT target FROM print_queue WHERE state = 'queued' ORDER BY target LIMIT 1)"
    " UNION ALL SELECT (SELECT q.target FROM print_queue q WHERE q.state = 'queued' AND q.target > t.target"
    "   ORDER BY q.target LIMIT 1) FROM targets t WHERE t.target IS NOT NULL)";

} // namespace ordavel::service

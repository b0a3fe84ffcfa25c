// Worker threads for the parts of a call that do not depend on each other: the patterns of a
// classification, the networks of a training batch. Only the calling thread touches the host;
// a worker runs pure engine work on the free store and learns that it must stop through
// interrupted(), which the calling thread sets from the host's interrupt poll.
#ifndef VORLA_THREADS_H
#define VORLA_THREADS_H

#include "host.h"

#include <cstdint>
#include <functional>

namespace vorla::threads {

// The cores this process may use: its CPU affinity mask, lowered to the CPU quota of its
// control group where one is set (a container's share); at least 1.
int usable_cores();

// The threads for a call of `items` independent items: requested (0 for usable_cores()), at
// most one per item, and 1 when fewer than min_items_per_thread items would fall to each
// thread, since starting a thread costs more than a small share saves.
int choose(std::int64_t requested, std::int64_t items, std::int64_t min_items_per_thread);

// The interrupt poll for engine loops that may run on a worker, in place of
// host::interrupt_requested: on the calling thread it asks the host; on a worker it says
// whether the team is stopping (the caller saw an interrupt, or another item failed).
bool interrupted();

// Runs work(k) for k = 0 .. count - 1, handed out in increasing k. With threads <= 1 the
// items run here, in order, and nothing is started. Otherwise up to `threads` workers run
// them while this thread waits, polling the host every few milliseconds. The first item that
// does not return done stops the hand-out; std::bad_alloc from work counts as out_of_memory,
// and any other exception is thrown again here once every worker has joined. No thread
// outlives the call. Returns done; interrupted where this thread saw the host's interrupt
// (a host that reported one must get it back); else the items' failure, out_of_memory
// before interrupted when both came.
host::Outcome run(std::int64_t count, int threads, const std::function<host::Outcome(std::int64_t)>& work);

}  // namespace vorla::threads

#endif

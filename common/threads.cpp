#include "threads.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

namespace vorla::threads {
namespace {

// The stop flag of the team a worker belongs to; null on every other thread.
thread_local const std::atomic<bool>* team_stop = nullptr;

// How often the waiting caller asks the host whether to stop: well inside the second that
// Ctrl-C may take, and rare enough to cost nothing.
constexpr std::chrono::milliseconds host_poll_period{10};

#if defined(__linux__)
int affinity_cores() {
  // A set sized for more CPUs than the default cpu_set_t holds, doubled until it fits.
  for (int cpus = 1024; cpus <= (1 << 20); cpus *= 2) {
    cpu_set_t* set = CPU_ALLOC(static_cast<unsigned>(cpus));
    if (!set) break;
    const std::size_t bytes = CPU_ALLOC_SIZE(static_cast<unsigned>(cpus));
    const int got = sched_getaffinity(0, bytes, set);
    const int count = got == 0 ? CPU_COUNT_S(bytes, set) : -1;
    CPU_FREE(set);
    if (got == 0) return count;
    if (errno != EINVAL) break;
  }
  return static_cast<int>(std::thread::hardware_concurrency());
}

// The whole cores a quota of quota microseconds per period grants, rounded up; 0 for none.
int quota_cores(double quota, double period) {
  if (!(quota > 0) || !(period > 0)) return 0;
  const double cores = quota / period;
  return cores >= 1 << 20 ? 0 : std::max(1, static_cast<int>(cores + 0.999999));
}

// The lowest quota on the way from the process's control group up to the root, where the
// files say one: cgroup v2's cpu.max ("max 100000" or "200000 100000"), v1's cfs files.
int cgroup_cores() {
  std::ifstream self("/proc/self/cgroup");
  std::string line;
  std::string v2_path;
  std::string v1_path;
  while (std::getline(self, line)) {
    if (line.rfind("0::", 0) == 0) v2_path = line.substr(3);
    const std::size_t first = line.find(':');
    const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos) continue;
    const std::string controllers = "," + line.substr(first + 1, second - first - 1) + ",";
    if (controllers.find(",cpu,") != std::string::npos) v1_path = line.substr(second + 1);
  }
  int lowest = 0;
  const auto lower_to = [&](int cores) {
    if (cores > 0 && (lowest == 0 || cores < lowest)) lowest = cores;
  };
  for (std::string path = v2_path; !v2_path.empty();) {
    std::ifstream max_file("/sys/fs/cgroup" + path + "/cpu.max");
    std::string quota;
    double period = 0;
    if (max_file >> quota >> period && quota != "max") lower_to(quota_cores(std::atof(quota.c_str()), period));
    if (path.empty() || path == "/") break;
    path = path.substr(0, path.rfind('/'));
  }
  for (const char* root : {"/sys/fs/cgroup/cpu,cpuacct", "/sys/fs/cgroup/cpu"}) {
    if (v1_path.empty()) break;
    std::ifstream quota_file(std::string(root) + v1_path + "/cpu.cfs_quota_us");
    std::ifstream period_file(std::string(root) + v1_path + "/cpu.cfs_period_us");
    double quota = 0, period = 0;
    if (quota_file >> quota && period_file >> period) lower_to(quota_cores(quota, period));
  }
  return lowest;
}
#endif

// What the workers of one run share.
struct Team {
  std::atomic<std::int64_t> next{0};
  std::atomic<bool> stop{false};
  std::mutex lock;
  std::condition_variable finished;
  int running = 0;
  host::Outcome failure = host::Outcome::done;
  std::exception_ptr error;

  void fail(host::Outcome outcome) {
    std::lock_guard<std::mutex> hold(lock);
    // Memory running out is the failure to report, whatever else stopped the run.
    if (failure != host::Outcome::out_of_memory) failure = outcome;
    stop.store(true, std::memory_order_relaxed);
  }
};

host::Outcome run_one(const std::function<host::Outcome(std::int64_t)>& work, std::int64_t k) {
  try {
    return work(k);
  } catch (const std::bad_alloc&) {
    return host::Outcome::out_of_memory;
  }
}

void work_in_team(Team& team, std::int64_t count, const std::function<host::Outcome(std::int64_t)>& work) {
  team_stop = &team.stop;
  while (!team.stop.load(std::memory_order_relaxed)) {
    const std::int64_t k = team.next.fetch_add(1, std::memory_order_relaxed);
    if (k >= count) break;
    host::Outcome outcome = host::Outcome::done;
    try {
      outcome = run_one(work, k);
    } catch (...) {
      std::lock_guard<std::mutex> hold(team.lock);
      if (!team.error) team.error = std::current_exception();
      outcome = host::Outcome::interrupted;
    }
    if (outcome != host::Outcome::done) team.fail(outcome);
  }
  team_stop = nullptr;
  std::lock_guard<std::mutex> hold(team.lock);
  --team.running;
  team.finished.notify_one();
}

}  // namespace

int usable_cores() {
  int cores = 0;
#if defined(__linux__)
  cores = affinity_cores();
  const int quota = cgroup_cores();
  if (quota > 0 && (cores <= 0 || quota < cores)) cores = quota;
#elif defined(_WIN32)
  DWORD_PTR process_mask = 0, system_mask = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask))
    for (; process_mask; process_mask &= process_mask - 1) ++cores;
#endif
  if (cores <= 0) cores = static_cast<int>(std::thread::hardware_concurrency());
  return std::max(1, cores);
}

int choose(std::int64_t requested, std::int64_t items, std::int64_t min_items_per_thread) {
  const std::int64_t per_thread = std::max<std::int64_t>(1, min_items_per_thread);
  // Asked before the cores, whose reading opens files: a small call never pays for it.
  const std::int64_t most = items / per_thread;
  if (requested == 1 || most < 2) return 1;
  const std::int64_t wanted = requested > 0 ? requested : usable_cores();
  return static_cast<int>(std::max<std::int64_t>(1, std::min(wanted, most)));
}

bool interrupted() {
  const std::atomic<bool>* stop = team_stop;
  if (stop) return stop->load(std::memory_order_relaxed);
  return host::interrupt_requested();
}

host::Outcome run(std::int64_t count, int threads, const std::function<host::Outcome(std::int64_t)>& work) {
  if (threads <= 1 || count <= 1) {
    for (std::int64_t k = 0; k < count; ++k) {
      const host::Outcome outcome = run_one(work, k);
      if (outcome != host::Outcome::done) return outcome;
    }
    return host::Outcome::done;
  }
  Team team;
  std::vector<std::thread> workers;
  const int wanted = static_cast<int>(std::min<std::int64_t>(threads, count));
  try {
    workers.reserve(static_cast<std::size_t>(wanted));
    for (int t = 0; t < wanted; ++t) {
      {
        std::lock_guard<std::mutex> hold(team.lock);
        ++team.running;
      }
      try {
        workers.emplace_back(work_in_team, std::ref(team), count, std::cref(work));
      } catch (...) {
        std::lock_guard<std::mutex> hold(team.lock);
        --team.running;
        throw;
      }
    }
  } catch (const std::system_error&) {
    // The system would start no more threads: those started share the items.
  } catch (const std::bad_alloc&) {
  }
  bool interrupted_here = false;
  {
    std::unique_lock<std::mutex> hold(team.lock);
    while (team.running > 0) {
      team.finished.wait_for(hold, host_poll_period);
      if (interrupted_here || team.running == 0) continue;
      hold.unlock();
      interrupted_here = host::interrupt_requested();
      if (interrupted_here) team.stop.store(true, std::memory_order_relaxed);
      hold.lock();
    }
  }
  for (std::thread& worker : workers) worker.join();
  if (team.error) std::rethrow_exception(team.error);
  // None could be started: the items run here.
  if (workers.empty()) return run(count, 1, work);
  // An interrupt the host reported is what the call must hand back, whatever else stopped it.
  if (interrupted_here) return host::Outcome::interrupted;
  return team.failure;
}

}  // namespace vorla::threads

#include "image/parallel.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr unsigned kMaxThreads = 8;

#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
constexpr bool kThreadsExist = false;  // starting one would abort
#else
constexpr bool kThreadsExist = true;
#endif

std::atomic<unsigned> requested_threads{0};

// Set while a thread runs a task, so that a nested split runs inline instead
// of waiting for a pool that is busy with its caller.
thread_local bool inside_task = false;

// One job: its tasks are handed out by `next`; the caller returns once every
// task has finished and no helper still holds the job.
struct Job {
    Job(parallel_detail::Task t, void* c, std::size_t n, unsigned h) : task(t), context(c), tasks(n), helpers_wanted(h) {}
    parallel_detail::Task task;
    void* context;
    std::size_t tasks;
    unsigned helpers_wanted;
    std::atomic<std::size_t> next{0};
    std::size_t finished = 0;  // under the pool's mutex
    unsigned helpers = 0;      // under the pool's mutex
    std::exception_ptr error;  // the first task that threw, under the mutex
};

// Runs tasks of `job` until none is left; returns how many it ran.
std::size_t run_some(Job& job, std::exception_ptr& error) noexcept
{
    std::size_t ran = 0;
    const bool outer = inside_task;
    inside_task = true;
    for (std::size_t i; (i = job.next.fetch_add(1)) < job.tasks; ++ran) {
        try {
            job.task(job.context, i);
        } catch (...) {
            if (!error) error = std::current_exception();
        }
    }
    inside_task = outer;
    return ran;
}

class Pool {
public:
    Pool() = default;
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    ~Pool()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    void run(std::size_t tasks, parallel_detail::Task task, void* context)
    {
        Job job(task, context, tasks, static_cast<unsigned>(std::min<std::size_t>(tasks, parallel_threads()) - 1));
        // One job at a time; a second caller (another thread) runs its own
        // stripes rather than wait.
        std::unique_lock<std::mutex> turn(turn_, std::try_to_lock);
        if (turn) start_helpers(job.helpers_wanted);
        bool shared = false;
        if (turn && !threads_.empty()) {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = &job;
            ++generation_;
            shared = true;
        }
        if (shared) wake_.notify_all();

        std::exception_ptr error;
        const std::size_t ran = run_some(job, error);
        if (shared) {
            std::unique_lock<std::mutex> lock(mutex_);
            job.finished += ran;
            done_.wait(lock, [&] { return job.finished == job.tasks && job.helpers == 0; });
            job_ = nullptr;
            if (!error) error = job.error;
        }
        if (error) std::rethrow_exception(error);
    }

private:
    // Starts threads until `count` exist; stops at the first that cannot be
    // started (the jobs then run on fewer, possibly none).
    void start_helpers(unsigned count)
    {
        if (!kThreadsExist) return;
        while (threads_.size() < count) {
            try {
                threads_.reserve(kMaxThreads);
                threads_.emplace_back([this] { serve(); });
            } catch (const std::system_error&) {
                return;
            } catch (const std::bad_alloc&) {
                return;
            }
        }
    }

    void serve()
    {
        std::uint64_t seen = 0;
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stopping_ || (job_ != nullptr && generation_ != seen); });
            if (stopping_) return;
            seen = generation_;
            Job& job = *job_;
            if (job.helpers >= job.helpers_wanted) continue;
            ++job.helpers;
            lock.unlock();
            std::exception_ptr error;
            const std::size_t ran = run_some(job, error);
            lock.lock();
            job.finished += ran;
            if (error && !job.error) job.error = error;
            --job.helpers;
            if (job.finished == job.tasks && job.helpers == 0) done_.notify_all();
        }
    }

    std::mutex turn_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::vector<std::thread> threads_;  // only the turn's holder changes it
    Job* job_ = nullptr;
    std::uint64_t generation_ = 0;
    bool stopping_ = false;
};

Pool& pool()
{
    static Pool p;
    return p;
}

}  // namespace

unsigned parallel_threads()
{
    if (const unsigned n = requested_threads.load()) return n;
    static const unsigned machine = std::max(1u, std::min(kMaxThreads, std::thread::hardware_concurrency()));
    return machine;
}

void set_parallel_threads(unsigned count) { requested_threads = std::min(count, kMaxThreads); }

void parallel_detail::run_tasks(std::size_t tasks, Task task, void* context)
{
    if (inside_task || tasks <= 1 || !kThreadsExist) {
        std::exception_ptr error;
        Job job(task, context, tasks, 0);
        run_some(job, error);
        if (error) std::rethrow_exception(error);
        return;
    }
    pool().run(tasks, task, context);
}

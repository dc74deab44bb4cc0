#include "base/OrvParallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Helper threads beside the calling one for count items on threads threads.
unsigned HelperCount(size_t count, unsigned threads) {
    const size_t used = std::min<size_t>(std::max(threads, 1u), count);
    return used > 1 ? static_cast<unsigned>(used - 1) : 0;
}

// Joins the helper threads however the scope is left.
class TJoiner {
public:
    explicit TJoiner(std::vector<std::thread>& threads) : threads_(threads) {}
    ~TJoiner() {
        for (std::thread& t : threads_)
            if (t.joinable()) t.join();
    }
    TJoiner(const TJoiner&) = delete;
    TJoiner& operator=(const TJoiner&) = delete;

private:
    std::vector<std::thread>& threads_;
};

}  // namespace

unsigned CoreCount() {
    return std::max(1u, std::thread::hardware_concurrency());
}

void ForEachItem(size_t count, unsigned threads, const std::function<void(size_t)>& work,
                 const std::function<void(size_t)>& progress) {
    std::atomic<size_t> next{0};
    std::atomic<size_t> done{0};
    auto loop = [&](bool caller) {
        for (size_t i = next++; i < count; i = next++) {
            work(i);
            ++done;
            if (caller && progress) progress(done.load());
        }
    };
    if (progress) progress(0);
    std::vector<std::thread> helpers;
    {
        TJoiner joiner(helpers);
        for (unsigned t = HelperCount(count, threads); t > 0; --t) helpers.emplace_back(loop, false);
        loop(true);
    }
    if (progress) progress(count);
}

void ForEachInOrder(size_t count, unsigned threads, const std::function<void(size_t)>& work,
                    const std::function<void(size_t)>& take) {
    const unsigned helperCount = HelperCount(count, threads);
    if (helperCount == 0) {
        for (size_t i = 0; i < count; ++i) {
            work(i);
            take(i);
        }
        return;
    }
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<char> done(count, 0);  // guarded by mutex
    auto runOne = [&](size_t i) {
        work(i);
        {
            std::lock_guard<std::mutex> lock(mutex);
            done[i] = 1;
        }
        finished.notify_all();
    };
    auto helper = [&] {
        while (!stop) {
            const size_t i = next++;
            if (i >= count) return;
            runOne(i);
        }
    };
    std::vector<std::thread> helpers;
    TJoiner joiner(helpers);
    // Stops the helpers from starting more work when take throws; the
    // joiner, made first, then waits for what they are doing.
    struct TStopper {
        std::atomic<bool>& Stop;
        ~TStopper() { Stop = true; }
    } stopper{stop};
    for (unsigned t = 0; t < helperCount; ++t) helpers.emplace_back(helper);
    for (size_t i = 0; i < count; ++i) {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (done[i]) break;
            }
            // Item i is running elsewhere or not started: help with the
            // next one not started (item i itself, sooner or later).
            const size_t k = next++;
            if (k < count) {
                runOne(k);
                continue;
            }
            std::unique_lock<std::mutex> lock(mutex);
            finished.wait(lock, [&] { return done[i] != 0; });
            break;
        }
        take(i);
    }
}

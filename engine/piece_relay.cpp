// Preparing numbered pieces of work on two threads while the calling thread takes them in order.
#include "engine/piece_relay.h"

#include <cassert>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace trelvane {
namespace {

// The shared state of one relay. Pieces are claimed in order; the threads meet once per piece.
class Relay
{
public:
    Relay(std::size_t pieceCount, std::size_t slots, const PrepareSlot& prepare)
        : pieceCount_(pieceCount), slots_(slots), prepare_(prepare), ready_(slots, false)
    {
        assert(slots > 0 && "a relay needs a slot");
    }

    // The helper thread: prepares pieces while there are free slots, until every piece has been
    // claimed or the relay ends.
    void Help()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return quit_ || !Unclaimed() || CanClaim(); });
            if (quit_ || !Unclaimed())
                return;
            PrepareNext(lock);
        }
    }

    // The calling thread: returns once piece is ready, preparing later pieces meanwhile.
    void Await(std::size_t piece)
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (failure_)
                std::rethrow_exception(failure_);
            if (ready_[piece % slots_])
                return;
            if (CanClaim())
                PrepareNext(lock);
            else
                changed_.wait(lock);
        }
    }

    // The calling thread has consumed piece: its slot is free.
    void Release(std::size_t piece)
    {
        {
            std::lock_guard lock(mutex_);
            ready_[piece % slots_] = false;
            ++consumed_;
        }
        changed_.notify_all();
    }

    void Quit()
    {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
    }

private:
    bool Unclaimed() const { return claimed_ < pieceCount_; }
    bool CanClaim() const { return Unclaimed() && claimed_ < consumed_ + slots_ && !failure_; }

    // Claims the next piece and prepares it with the lock released.
    void PrepareNext(std::unique_lock<std::mutex>& lock)
    {
        const std::size_t piece = claimed_++;
        lock.unlock();
        std::exception_ptr failure;
        try {
            prepare_(piece, piece % slots_);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure && !failure_)
            failure_ = failure;
        ready_[piece % slots_] = true;
        changed_.notify_all();
    }

    const std::size_t pieceCount_;
    const std::size_t slots_;
    const PrepareSlot& prepare_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<bool> ready_;
    std::size_t claimed_ = 0;
    std::size_t consumed_ = 0;
    std::exception_ptr failure_;
    bool quit_ = false;
};

// Ends the helper on every way out of the relay.
class HelperThread
{
public:
    HelperThread(Relay& relay, bool wanted) : relay_(relay)
    {
        if (!wanted)
            return;
        try {
            thread_ = std::thread([&relay] { relay.Help(); });
        } catch (const std::system_error&) {
            // No second thread: the calling thread prepares every piece itself.
        }
    }
    ~HelperThread()
    {
        relay_.Quit();
        if (thread_.joinable())
            thread_.join();
    }
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

private:
    Relay& relay_;
    std::thread thread_;
};

} // namespace

bool RelayPieces(std::size_t pieceCount, std::size_t slots, const PrepareSlot& prepare,
                 const ConsumeSlot& consume)
{
    if (pieceCount == 0)
        return true;
    Relay relay(pieceCount, slots, prepare);
    // A single piece has nothing to overlap with.
    const HelperThread helper(relay, pieceCount > 1);
    for (std::size_t piece = 0; piece < pieceCount; ++piece) {
        relay.Await(piece);
        if (!consume(piece % slots))
            return false;
        relay.Release(piece);
    }
    return true;
}

} // namespace trelvane

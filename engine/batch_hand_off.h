// Handing batches of work from one thread to another, through a few reusable batches.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace trelvane {

/// A fixed set of batches that one producer fills and one consumer empties, in order. The two
/// threads meet once per batch, never per item, and the batches' memory is reused.
template <typename Batch> class BatchHandOff
{
public:
    explicit BatchHandOff(std::size_t batches)
    {
        for (std::size_t i = 0; i < batches; ++i) {
            owned_.push_back(std::make_unique<Batch>());
            free_.push_back(owned_.back().get());
        }
    }

    /// Producer: a batch to fill, waiting until one is free; nullptr once the consumer quit.
    Batch* Take()
    {
        std::unique_lock lock(mutex_);
        freed_.wait(lock, [this] { return quit_ || !free_.empty(); });
        if (quit_)
            return nullptr;
        Batch* batch = free_.front();
        free_.pop_front();
        return batch;
    }

    /// Producer: hands a filled batch over.
    void Send(Batch* batch)
    {
        {
            std::lock_guard lock(mutex_);
            ready_.push_back(batch);
        }
        filled_.notify_one();
    }

    /// Producer: no batch follows.
    void Finish()
    {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        filled_.notify_one();
    }

    /// Consumer: the next batch sent, waiting for it; nullptr when the producer has finished and
    /// every batch was received.
    Batch* Receive()
    {
        std::unique_lock lock(mutex_);
        filled_.wait(lock, [this] { return finished_ || !ready_.empty(); });
        if (ready_.empty())
            return nullptr;
        Batch* batch = ready_.front();
        ready_.pop_front();
        return batch;
    }

    /// Consumer: gives a batch it has handled back for filling.
    void Recycle(Batch* batch)
    {
        {
            std::lock_guard lock(mutex_);
            free_.push_back(batch);
        }
        freed_.notify_one();
    }

    /// Consumer: takes no further batches; the producer's Take returns nullptr from now on.
    void Quit()
    {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        freed_.notify_one();
    }

private:
    std::vector<std::unique_ptr<Batch>> owned_;
    std::mutex mutex_;
    std::condition_variable freed_;
    std::condition_variable filled_;
    std::deque<Batch*> free_;
    std::deque<Batch*> ready_;
    bool finished_ = false;
    bool quit_ = false;
};

} // namespace trelvane

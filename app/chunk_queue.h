// A small bounded queue of chunk pointers between two threads of a render. Closing it lets the
// taker drain what is left; stopping it (on an error) wakes everyone at once.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace qr47 {

template <typename Item>
class ChunkQueue {
 public:
  // Room for every chunk of the render, made once: pushing never allocates.
  explicit ChunkQueue(std::size_t capacity) : ring_(capacity) {}

  void push(Item* item) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopped_ || count_ == ring_.size()) return;
      ring_[(first_ + count_++) % ring_.size()] = item;
    }
    ready_.notify_one();
  }

  // The next item; null once the queue is closed and empty, or stopped.
  Item* pop() {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return stopped_ || closed_ || count_ > 0; });
    if (stopped_ || count_ == 0) return nullptr;
    Item* item = ring_[first_];
    first_ = (first_ + 1) % ring_.size();
    --count_;
    return item;
  }

  void close() { finish(false); }
  void stop() { finish(true); }

 private:
  void finish(bool stop) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
      stopped_ = stopped_ || stop;
    }
    ready_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::vector<Item*> ring_;
  std::size_t first_ = 0, count_ = 0;
  bool closed_ = false;
  bool stopped_ = false;
};

}  // namespace qr47

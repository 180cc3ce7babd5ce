// Test threads that start together and are joined together.
#ifndef TKV_TESTS_SUPPORT_THREADS_H
#define TKV_TESTS_SUPPORT_THREADS_H

#include <thread>
#include <vector>

namespace TKV::test {

// Runs body(0) ... body(count - 1), each on a thread of its own; Join, or the end of the scope,
// waits for all of them.
class ThreadGroup {
  public:
    template <typename Body>
    ThreadGroup(int count, Body body) {
        for (int i = 0; i < count; ++i)
            m_threads.emplace_back(body, i);
    }
    ~ThreadGroup() { Join(); }
    void Join() {
        for (auto& t : m_threads)
            if (t.joinable())
                t.join();
    }

  private:
    std::vector<std::thread> m_threads;
};

}  // namespace TKV::test

#endif  // TKV_TESTS_SUPPORT_THREADS_H

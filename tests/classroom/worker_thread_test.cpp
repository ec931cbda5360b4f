#include "worker_thread.h"

#include <QThread>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Tally : QObject {
    explicit Tally(QThread** endedIn) : endedIn(endedIn) {}
    ~Tally() override { *endedIn = QThread::currentThread(); }

    QThread** endedIn;
    std::vector<int> seen;
};

}  // namespace

// What is asked runs in the worker's thread, in the order asked; a call
// waits for all that was asked before it; the worker ends in its thread.
TEST(WorkerThread, RunsWhatIsAskedInOrderInItsThreadAndEndsThere) {
    QThread* endedIn = nullptr;
    QThread* ranIn = nullptr;
    std::vector<int> seen;
    {
        WorkerThread<Tally> worker(new Tally(&endedIn));
        for (int i = 0; i < 1000; ++i) worker.post([i](Tally& t) { t.seen.push_back(i); });
        worker.call([&](Tally& t) {
            seen = t.seen;
            ranIn = QThread::currentThread();
        });
    }
    ASSERT_EQ(seen.size(), 1000u);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(seen[i], i);
    EXPECT_NE(ranIn, QThread::currentThread());
    EXPECT_EQ(endedIn, ranIn);
}

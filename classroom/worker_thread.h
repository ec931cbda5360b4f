// A worker object living in a thread of its own, with its event loop: its
// timers, its connections and what it is asked run there, in the order
// asked, so that the window's thread waits for the disk or the network only
// when it says so. The worker is deleted in its thread once the loop ends.
#pragma once

#include <QObject>
#include <QThread>

#include <utility>

template <class Worker>
class WorkerThread {
public:
    // Takes the worker, which has no parent, and starts its thread.
    explicit WorkerThread(Worker* worker) : worker_(worker) {
        worker_->moveToThread(&thread_);
        // Called in the thread as its loop ends, whoever ended it: no event
        // loop is left there to serve a deleteLater.
        QObject::connect(&thread_, &QThread::finished, [worker] { delete worker; });
        thread_.start();
    }
    // Ends the loop once the event being served has ended, and waits for it:
    // what was asked and not yet begun is dropped.
    ~WorkerThread() {
        thread_.quit();
        thread_.wait();
    }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // For connections only: the worker is used in its own thread.
    Worker* worker() const { return worker_; }

    // Runs task(worker) in the worker's thread after what was asked before; never waits.
    template <class Task>
    void post(Task task) const {
        QMetaObject::invokeMethod(worker_, [w = worker_, task = std::move(task)] { task(*w); }, Qt::QueuedConnection);
    }
    // The same, and waits for it to end.
    template <class Task>
    void call(Task task) const {
        QMetaObject::invokeMethod(worker_, [w = worker_, task = std::move(task)] { task(*w); },
                                  Qt::BlockingQueuedConnection);
    }

    // Ends the loop once the event being served has ended; the worker may end it too.
    void quit() { thread_.quit(); }
    // Whether the thread has ended within ms.
    bool wait(int ms) { return thread_.wait(ms); }

private:
    QThread thread_;
    Worker* worker_;
};

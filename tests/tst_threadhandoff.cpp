#include "link/threadhandoff.h"

#include <QTest>
#include <QThread>

#include <memory>
#include <vector>

// ThreadHandOff between real threads. What a thread writes before it posts is
// read by the function it posted, in the other thread; the thread sanitizer
// build runs this test too and reports any such read it cannot order.
class ThreadHandOffTest : public QObject
{
    Q_OBJECT
private slots:
    void valuesCrossBothWaysWholeAndInOrder()
    {
        constexpr int Count = 5000;
        QThread thread;
        ThreadHandOff workerSide;
        ThreadHandOff guiSide;
        workerSide.moveToThread(&thread);
        thread.start();

        std::vector<int> seen;
        int wrongThread = 0; // GUI thread only; the worker's verdict comes with its reply
        for (int i = 0; i < Count; ++i) {
            // Plain memory, written here and read over there.
            auto request = std::make_shared<std::vector<int>>(8, i);
            workerSide.post([&, request] {
                auto reply = std::make_shared<std::vector<int>>(*request);
                reply->push_back(QThread::currentThread() == &thread);
                reply->push_back(request->front() * 2);
                guiSide.post([&, reply] {
                    wrongThread += QThread::currentThread() != qApp->thread() || !reply->at(8);
                    seen.push_back(reply->back() - reply->front());
                });
            });
        }
        QTRY_COMPARE_WITH_TIMEOUT(int(seen.size()), Count, 20000);
        thread.quit();
        thread.wait();

        QCOMPARE(wrongThread, 0);
        for (int i = 0; i < Count; ++i)
            QCOMPARE(seen[size_t(i)], i);
    }

    void discardedTasksNeverRun()
    {
        ThreadHandOff side;
        int ran = 0;
        side.post([&] { ++ran; });
        side.post([&] { ++ran; });
        side.discardPosted();
        side.post([&] { ran += 10; });
        QTRY_COMPARE(ran, 10);
        QTest::qWait(20);
        QCOMPARE(ran, 10);
    }
};

QTEST_MAIN(ThreadHandOffTest)
#include "tst_threadhandoff.moc"

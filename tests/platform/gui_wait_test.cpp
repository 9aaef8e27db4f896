// The waits of the GUI thread and the work they hold back.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/gui_wait.h"

namespace {

// Lets the main loop run until the held work has had its turn.
void TurnMainLoop()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

class GuiWaitTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        SetGuiWaitFunction(nullptr);
        DropHeldBackWork();
    }
    QStringList Ran;
};

TEST_F(GuiWaitTest, WorkRunsAtOnceOutsideWaitsAndInOrderAfterThem)
{
    RunOutsideWaits([&] { Ran << "now"; });
    EXPECT_EQ(Ran, QStringList({"now"}));

    // What arrives inside a wait runs neither inside it nor at its tail (the
    // operation that waited may wait again), but from the main loop.
    SetGuiWaitFunction([&](int) {
        EXPECT_TRUE(WaitRunning());
        RunOutsideWaits([&] { Ran << "first"; });
        RunOutsideWaits([&] { Ran << "second"; });
    });
    Ran.clear();
    GuiWait(100);
    EXPECT_FALSE(WaitRunning());
    GuiWait(100);
    EXPECT_TRUE(Ran.isEmpty()) << "ran at the end of the operation, before the main loop";
    EXPECT_EQ(HeldBackCount(), 4);
    TurnMainLoop();
    EXPECT_EQ(Ran, QStringList({"first", "second", "first", "second"}));
    EXPECT_EQ(HeldBackCount(), 0);
}

TEST_F(GuiWaitTest, HeldWorkThatWaitsKeepsTheOrderOfWhatArrivesMeanwhile)
{
    int waits = 0;
    SetGuiWaitFunction([&](int) {
        if (++waits == 1)
            RunOutsideWaits([&] {
                Ran << "tune";
                GuiWait(100); // the held piece itself waits
                Ran << "tuned";
            });
        else if (waits == 2)
            RunOutsideWaits([&] { Ran << "next"; });
    });
    GuiWait(100);
    TurnMainLoop();
    EXPECT_EQ(Ran, QStringList({"tune", "tuned", "next"}));
}

TEST_F(GuiWaitTest, ATimerTickIsHeldOncePerKey)
{
    int ticks = 0;
    const int key = 0;
    SetGuiWaitFunction([&](int) {
        for (int i = 0; i < 5; ++i)
            RunOutsideWaits([&] { ++ticks; }, &key);
    });
    GuiWait(100);
    TurnMainLoop();
    EXPECT_EQ(ticks, 1);
}

TEST_F(GuiWaitTest, InputInterruptsTheInnermostInterruptibleWaitTimersDoNot)
{
    int interrupts = 0;
    {
        TWaitScope seek([&] { ++interrupts; });
        {
            TWaitScope tune; // a tune inside the seek
            RunOutsideWaits([] {}, nullptr, false);
            EXPECT_EQ(interrupts, 0) << "a timer does not stop a seek";
            RunOutsideWaits([] {}, nullptr, true);
            EXPECT_EQ(interrupts, 1);
        }
    }
    TurnMainLoop();
}

TEST_F(GuiWaitTest, WorkOfAnObjectThatIsGoneIsDropped)
{
    auto *owner = new QObject;
    {
        TWaitScope wait;
        RunOutsideWaits(owner, [&] { Ran << "owner"; });
        RunOutsideWaits([&] { Ran << "free"; });
    }
    delete owner;
    TurnMainLoop();
    EXPECT_EQ(Ran, QStringList({"free"}));

    // Shutdown drops whatever is still held.
    {
        TWaitScope wait;
        RunOutsideWaits([&] { Ran << "late"; });
        DropHeldBackWork();
    }
    TurnMainLoop();
    EXPECT_EQ(Ran, QStringList({"free"}));
}

TEST_F(GuiWaitTest, TheDefaultWaitPaintsButRunsNoHeldWork)
{
    // A timer that changes state fires inside the default wait's loop; it
    // goes through RunOutsideWaits and runs only afterwards.
    bool inside = false, ran = false;
    QTimer::singleShot(10, [&] {
        RunOutsideWaits([&] {
            ran = true;
            inside = WaitRunning();
        });
    });
    QElapsedTimer clock;
    clock.start();
    GuiWait(60);
    EXPECT_GE(clock.elapsed(), 55);
    EXPECT_FALSE(ran);
    TurnMainLoop();
    EXPECT_TRUE(ran);
    EXPECT_FALSE(inside);
}

} // namespace

// Event objects with Windows' semantics: auto-reset consumes one uncounted signal, manual reset stays
// signalled, waits wake from other threads, and bad handles fail cleanly.
#include <lumicap/portable/win32.h>

#include "platform/portable/portable_hooks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

// Long enough never to expire on a healthy run; a broken wake-up fails instead of hanging.
constexpr DWORD kGenerousMs = 30000;

class Event {
public:
    Event(bool manualReset, bool initialState) : handle_(CreateEventW(nullptr, manualReset, initialState, nullptr)) {}
    ~Event()
    {
        if (handle_) CloseHandle(handle_);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

struct ResetCase {
    const char* name;
    bool manualReset;
    bool initialState;
    DWORD firstWait;
    DWORD secondWait;
};

class EventStates : public ::testing::TestWithParam<ResetCase> {};

TEST_P(EventStates, InitialStateAndConsumption)
{
    const ResetCase c = GetParam();
    Event event(c.manualReset, c.initialState);
    ASSERT_NE(event.get(), nullptr);
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), c.firstWait);
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), c.secondWait);
}

INSTANTIATE_TEST_SUITE_P(Portable, EventStates,
                         ::testing::Values(ResetCase{"AutoSet", false, true, WAIT_OBJECT_0, WAIT_TIMEOUT},
                                           ResetCase{"AutoClear", false, false, WAIT_TIMEOUT, WAIT_TIMEOUT},
                                           ResetCase{"ManualSet", true, true, WAIT_OBJECT_0, WAIT_OBJECT_0},
                                           ResetCase{"ManualClear", true, false, WAIT_TIMEOUT, WAIT_TIMEOUT}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PortableEvent, AutoResetSignalsAreNotCounted)
{
    Event event(false, false);
    ASSERT_TRUE(SetEvent(event.get()));
    ASSERT_TRUE(SetEvent(event.get()));
    ASSERT_TRUE(SetEvent(event.get()));
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event.get(), 20), WAIT_TIMEOUT);
}

TEST(PortableEvent, ManualResetStaysSignalledUntilReset)
{
    Event event(true, false);
    ASSERT_TRUE(SetEvent(event.get()));
    EXPECT_EQ(WaitForSingleObject(event.get(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event.get(), 10), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(event.get()));
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_TIMEOUT);
    ASSERT_TRUE(ResetEvent(event.get()));
}

TEST(PortableEvent, TimedWaitWakesOnAnotherThreadsSet)
{
    Event event(false, false);
    std::thread setter([&] { SetEvent(event.get()); });
    EXPECT_EQ(WaitForSingleObject(event.get(), kGenerousMs), WAIT_OBJECT_0);
    setter.join();
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_TIMEOUT);
}

TEST(PortableEvent, ManualResetReleasesEveryWaiter)
{
    Event event(true, false);
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event.get(), kGenerousMs) == WAIT_OBJECT_0) ++woken;
        });
    }
    ASSERT_TRUE(SetEvent(event.get()));
    for (auto& t : waiters) t.join();
    EXPECT_EQ(woken.load(), 4);
}

TEST(PortableEvent, EachAutoResetSignalWakesOneWaiter)
{
    // Waiters never outnumber the signals handed out: one SetEvent releases exactly one of them.
    constexpr int kWaiters = 4;
    Event work(false, false);
    Event done(false, false);
    std::atomic<int> sent{0};
    std::atomic<int> woken{0};
    std::atomic<int> overtaken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < kWaiters; ++i) {
        waiters.emplace_back([&] {
            if (WaitForSingleObject(work.get(), kGenerousMs) != WAIT_OBJECT_0) return;
            if (++woken > sent.load()) ++overtaken;
            SetEvent(done.get());
        });
    }
    for (int i = 1; i <= kWaiters; ++i) {
        sent = i;
        ASSERT_TRUE(SetEvent(work.get()));
        ASSERT_EQ(WaitForSingleObject(done.get(), kGenerousMs), WAIT_OBJECT_0) << "signal " << i;
    }
    for (auto& t : waiters) t.join();
    EXPECT_EQ(woken.load(), kWaiters);
    EXPECT_EQ(overtaken.load(), 0);
    EXPECT_EQ(WaitForSingleObject(work.get(), 0), WAIT_TIMEOUT);
}

TEST(PortableEvent, PingPongBetweenThreads)
{
    constexpr int kRounds = 2000;
    Event ping(false, false);
    Event pong(false, false);
    int returned = 0;
    std::thread partner([&] {
        for (int i = 0; i < kRounds; ++i) {
            if (WaitForSingleObject(ping.get(), kGenerousMs) != WAIT_OBJECT_0) return;
            ++returned;
            SetEvent(pong.get());
        }
    });
    int completed = 0;
    for (int i = 0; i < kRounds; ++i) {
        ASSERT_TRUE(SetEvent(ping.get()));
        if (WaitForSingleObject(pong.get(), kGenerousMs) != WAIT_OBJECT_0) break;
        ++completed;
    }
    partner.join();
    EXPECT_EQ(completed, kRounds);
    EXPECT_EQ(returned, kRounds);
}

TEST(PortableEvent, InvalidHandlesFailCleanly)
{
    HANDLE closed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(closed, nullptr);
    ASSERT_TRUE(CloseHandle(closed));
    const HANDLE bad[] = {nullptr, closed, reinterpret_cast<HANDLE>(0x12345678),
                          reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1))};
    for (HANDLE handle : bad) {
        SCOPED_TRACE(reinterpret_cast<uintptr_t>(handle));
        SetLastError(0);
        EXPECT_FALSE(SetEvent(handle));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(ResetEvent(handle));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(handle));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    }
    Event fresh(false, false);
    EXPECT_NE(fresh.get(), closed);
}

TEST(PortableEvent, NamedEventsAreRefused)
{
    SetLastError(0);
    EXPECT_EQ(CreateEventW(nullptr, FALSE, FALSE, TEXT("Local\\lumicap")), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(PortableEvent, FaultHookFailsCreation)
{
    // Whatever hook was installed (the virtual platform's) is put back afterwards.
    const auto previous = lumicap::portable::SetCreateEventFaultHook([](DWORD* lastError) {
        *lastError = ERROR_NOT_ENOUGH_MEMORY;
        return true;
    });
    SetLastError(0);
    EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));

    lumicap::portable::SetCreateEventFaultHook([](DWORD*) { return false; });
    HANDLE passed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_NE(passed, nullptr);
    EXPECT_TRUE(CloseHandle(passed));

    lumicap::portable::SetCreateEventFaultHook(nullptr);
    Event unhooked(false, true);
    EXPECT_EQ(WaitForSingleObject(unhooked.get(), 0), WAIT_OBJECT_0);
    lumicap::portable::SetCreateEventFaultHook(previous);
}

}  // namespace

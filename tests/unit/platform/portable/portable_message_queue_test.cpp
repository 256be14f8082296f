// Message windows as Windows' posted-message queues: owned by their thread, FIFO, safe to post to
// from any thread, filtered retrieval, WM_QUIT last, and MsgWaitForMultipleObjects wake-ups.
#include <lumicap/portable/win32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr DWORD kGenerousMs = 30000;

class Window {
public:
    Window() : hwnd_(LumicapCreateMessageWindow()) {}
    ~Window()
    {
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    HWND get() const { return hwnd_; }

private:
    HWND hwnd_;
};

// Empties the calling thread's queue, quit included, so tests do not see each other's leftovers.
void DrainThreadQueue()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

class PortableMessageQueue : public ::testing::Test {
protected:
    void SetUp() override { DrainThreadQueue(); }
    void TearDown() override { DrainThreadQueue(); }
};

HWND BogusWindow() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7777)); }

TEST_F(PortableMessageQueue, WindowsBelongToTheirThreadAndDieWithIt)
{
    Window window;
    ASSERT_NE(window.get(), nullptr);
    EXPECT_TRUE(IsWindow(window.get()));
    DWORD processId = 0;
    EXPECT_EQ(GetWindowThreadProcessId(window.get(), &processId), GetCurrentThreadId());
    EXPECT_EQ(processId, static_cast<DWORD>(getpid()));
    EXPECT_EQ(GetWindowThreadProcessId(window.get(), nullptr), GetCurrentThreadId());

    HWND threadWindow = nullptr;
    DWORD threadId = 0;
    DWORD ownerSeen = 0;
    std::thread owner([&] {
        threadWindow = LumicapCreateMessageWindow();
        threadId = GetCurrentThreadId();
        ownerSeen = GetWindowThreadProcessId(threadWindow, nullptr);
        PostMessageW(threadWindow, WM_USER, 0, 0);
    });
    owner.join();
    ASSERT_NE(threadWindow, nullptr);
    EXPECT_NE(threadWindow, window.get());
    EXPECT_EQ(ownerSeen, threadId);
    // As on Windows, a thread's windows end with it.
    EXPECT_FALSE(IsWindow(threadWindow));
    EXPECT_EQ(GetWindowThreadProcessId(threadWindow, nullptr), 0u);
    EXPECT_FALSE(PostMessageW(threadWindow, WM_USER, 0, 0));
}

TEST_F(PortableMessageQueue, DestroyedAndBogusWindowsAreInvalid)
{
    HWND destroyed = LumicapCreateMessageWindow();
    ASSERT_NE(destroyed, nullptr);
    ASSERT_TRUE(PostMessageW(destroyed, WM_USER, 1, 2));
    ASSERT_TRUE(DestroyWindow(destroyed));
    Window fresh;
    EXPECT_NE(fresh.get(), destroyed);

    for (HWND hwnd : {destroyed, BogusWindow()}) {
        SCOPED_TRACE(reinterpret_cast<uintptr_t>(hwnd));
        EXPECT_FALSE(IsWindow(hwnd));
        SetLastError(0);
        EXPECT_FALSE(PostMessageW(hwnd, WM_USER, 0, 0));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(DestroyWindow(hwnd));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
        EXPECT_EQ(GetWindowThreadProcessId(hwnd, nullptr), 0u);
        MSG msg;
        EXPECT_FALSE(PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE));
        EXPECT_EQ(GetMessageW(&msg, hwnd, 0, 0), -1);
    }
    EXPECT_FALSE(IsWindow(nullptr));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << "the destroyed window's message survived";
}

TEST_F(PortableMessageQueue, DestroyDropsOnlyThatWindowsMessages)
{
    Window kept;
    HWND doomed = LumicapCreateMessageWindow();
    ASSERT_TRUE(PostMessageW(doomed, WM_USER + 1, 0, 0));
    ASSERT_TRUE(PostMessageW(kept.get(), WM_USER + 2, 0, 0));
    ASSERT_TRUE(PostMessageW(doomed, WM_USER + 3, 0, 0));
    ASSERT_TRUE(DestroyWindow(doomed));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, kept.get());
    EXPECT_EQ(msg.message, UINT(WM_USER + 2));
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(PortableMessageQueue, PostsFromManyThreadsArriveOnceInPostingOrder)
{
    constexpr int kThreads = 4;
    constexpr int kPerThread = 5000;
    Window window;
    std::vector<std::thread> posters;
    std::atomic<int> failedPosts{0};
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                if (!PostMessageW(window.get(), WM_APP, static_cast<WPARAM>(t), i)) ++failedPosts;
            }
        });
    }
    std::vector<LPARAM> nextExpected(kThreads, 0);
    int received = 0;
    int outOfOrder = 0;
    MSG msg;
    while (received < kThreads * kPerThread) {
        if (!PeekMessageW(&msg, window.get(), 0, 0, PM_REMOVE)) {
            if (MsgWaitForMultipleObjects(0, nullptr, FALSE, kGenerousMs, QS_ALLINPUT) == WAIT_TIMEOUT) break;
            continue;
        }
        ASSERT_EQ(msg.message, UINT(WM_APP));
        ASSERT_LT(msg.wParam, WPARAM(kThreads));
        if (msg.lParam != nextExpected[msg.wParam]) ++outOfOrder;
        nextExpected[msg.wParam] = msg.lParam + 1;
        ++received;
    }
    for (auto& t : posters) t.join();
    EXPECT_EQ(failedPosts.load(), 0);
    EXPECT_EQ(received, kThreads * kPerThread);
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << "a message arrived twice";
}

TEST_F(PortableMessageQueue, PeekFiltersByWindowAndRange)
{
    Window first;
    Window second;
    ASSERT_TRUE(PostMessageW(first.get(), WM_USER + 1, 1, 0));
    ASSERT_TRUE(PostMessageW(second.get(), WM_USER + 1, 2, 0));
    ASSERT_TRUE(PostMessageW(first.get(), WM_USER + 5, 3, 0));
    ASSERT_TRUE(PostMessageW(first.get(), WM_APP, 4, 0));

    const struct {
        HWND hwnd;
        UINT min;
        UINT max;
        UINT remove;
        bool found;
        WPARAM id;  // which message, by its wParam
    } steps[] = {
        {first.get(), WM_USER + 2, WM_USER + 9, PM_NOREMOVE, true, 3},  // range skips the earlier one
        {first.get(), WM_USER + 2, WM_USER + 9, PM_REMOVE, true, 3},    // NOREMOVE left it there
        {first.get(), WM_USER + 2, WM_USER + 9, PM_REMOVE, false, 0},
        {second.get(), 0, 0, PM_REMOVE, true, 2},                       // window filter
        {nullptr, WM_APP, WM_APP, PM_REMOVE, true, 4},
        {nullptr, 0, 0, PM_REMOVE, true, 1},                            // 0,0 takes anything
        {nullptr, 0, 0, PM_REMOVE, false, 0},
    };
    for (size_t i = 0; i < sizeof(steps) / sizeof(steps[0]); ++i) {
        const auto& s = steps[i];
        MSG msg{};
        EXPECT_EQ(PeekMessageW(&msg, s.hwnd, s.min, s.max, s.remove) != FALSE, s.found) << "step " << i;
        if (s.found) {
            EXPECT_EQ(msg.wParam, s.id) << "step " << i;
        }
    }
}

TEST_F(PortableMessageQueue, GetMessageFiltersAndLeavesTheRest)
{
    Window window;
    ASSERT_TRUE(PostMessageW(window.get(), WM_USER, 1, 10));
    ASSERT_TRUE(PostMessageW(window.get(), WM_APP + 3, 2, 20));
    MSG msg{};
    ASSERT_EQ(GetMessageW(&msg, window.get(), WM_APP, WM_APP + 10), 1);
    EXPECT_EQ(msg.hwnd, window.get());
    EXPECT_EQ(msg.message, UINT(WM_APP + 3));
    EXPECT_EQ(msg.wParam, WPARAM(2));
    EXPECT_EQ(msg.lParam, LPARAM(20));
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, UINT(WM_USER));
}

TEST_F(PortableMessageQueue, QuitComesAfterPostedMessagesWhateverTheRange)
{
    Window window;
    PostQuitMessage(7);
    ASSERT_TRUE(PostMessageW(window.get(), WM_USER, 0, 0));
    MSG msg{};
    // Quit belongs to no window, so a window filter never sees it.
    EXPECT_FALSE(PeekMessageW(&msg, window.get(), WM_APP, WM_APP, PM_REMOVE));
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, UINT(WM_USER));
    EXPECT_FALSE(PeekMessageW(&msg, window.get(), 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    ASSERT_EQ(GetMessageW(&msg, nullptr, WM_APP, WM_APP), 0);
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, WPARAM(7));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(PortableMessageQueue, NullWindowPostsToTheCallingThread)
{
    Window window;
    ASSERT_TRUE(PostMessageW(nullptr, WM_USER + 9, 5, 6));
    MSG msg{};
    EXPECT_FALSE(PeekMessageW(&msg, window.get(), 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.message, UINT(WM_USER + 9));
}

TEST_F(PortableMessageQueue, OnlyTheOwnerReadsAWindow)
{
    Window window;
    ASSERT_TRUE(PostMessageW(window.get(), WM_USER, 0, 0));
    BOOL peeked = TRUE;
    BOOL got = 0;
    BOOL anyPeeked = TRUE;
    std::thread other([&] {
        MSG msg;
        peeked = PeekMessageW(&msg, window.get(), 0, 0, PM_REMOVE);
        anyPeeked = PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
        got = GetMessageW(&msg, window.get(), 0, 0);
    });
    other.join();
    EXPECT_FALSE(peeked);
    EXPECT_FALSE(anyPeeked);
    EXPECT_EQ(got, -1);
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, window.get(), 0, 0, PM_REMOVE));
}

TEST_F(PortableMessageQueue, GetMessageWakesForAnotherThreadsPost)
{
    Window window;
    HANDLE received = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread poster([&] {
        PostMessageW(window.get(), WM_APP + 1, 42, 0);
        // Should the wake-up be lost, destroying the window ends the wait with -1 instead of a hang.
        if (WaitForSingleObject(received, kGenerousMs) == WAIT_TIMEOUT) DestroyWindow(window.get());
    });
    MSG msg{};
    EXPECT_EQ(GetMessageW(&msg, window.get(), 0, 0), 1);
    EXPECT_EQ(msg.wParam, WPARAM(42));
    SetEvent(received);
    poster.join();
    CloseHandle(received);
}

TEST_F(PortableMessageQueue, GetMessageOnAWindowDestroyedMeanwhileFails)
{
    HWND window = LumicapCreateMessageWindow();
    std::thread destroyer([&] { DestroyWindow(window); });
    MSG msg{};
    EXPECT_EQ(GetMessageW(&msg, window, 0, 0), -1);
    destroyer.join();
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(PortableMessageQueue, MsgWaitReportsEventsFirstThenMessages)
{
    HANDLE events[2] = {CreateEventW(nullptr, FALSE, FALSE, nullptr), CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ASSERT_NE(events[0], nullptr);
    ASSERT_NE(events[1], nullptr);
    Window window;

    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT), WAIT_TIMEOUT);
    EXPECT_EQ(MsgWaitForMultipleObjects(2, events, FALSE, 10, QS_ALLINPUT), WAIT_TIMEOUT);

    ASSERT_TRUE(PostMessageW(window.get(), WM_USER, 0, 0));
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0);
    EXPECT_EQ(MsgWaitForMultipleObjects(2, events, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(MsgWaitForMultipleObjects(2, events, FALSE, 0, 0), WAIT_TIMEOUT) << "messages were not asked for";

    ASSERT_TRUE(SetEvent(events[1]));
    EXPECT_EQ(MsgWaitForMultipleObjects(2, events, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
    ASSERT_TRUE(SetEvent(events[0]));
    EXPECT_EQ(MsgWaitForMultipleObjects(2, events, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0);
    // The auto-reset event was consumed; the manual one still holds.
    EXPECT_EQ(MsgWaitForMultipleObjects(2, events, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_TIMEOUT);

    ASSERT_TRUE(ResetEvent(events[1]));
    PostQuitMessage(0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(MsgWaitForMultipleObjects(2, events, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0 + 2) << "quit is input too";
    CloseHandle(events[0]);
    CloseHandle(events[1]);
}

TEST_F(PortableMessageQueue, MsgWaitRejectsBadArguments)
{
    HANDLE event = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    HANDLE mixed[2] = {event, BogusWindow()};
    const struct {
        DWORD count;
        const HANDLE* handles;
        BOOL waitAll;
        DWORD error;
    } cases[] = {
        {2, mixed, FALSE, ERROR_INVALID_HANDLE},
        {1, mixed, TRUE, ERROR_INVALID_PARAMETER},
        {1, nullptr, FALSE, ERROR_INVALID_PARAMETER},
        {MAXIMUM_WAIT_OBJECTS, mixed, FALSE, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(MsgWaitForMultipleObjects(c.count, c.handles, c.waitAll, 0, QS_ALLINPUT), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "a failed wait consumed the signal";
    CloseHandle(event);
}

TEST_F(PortableMessageQueue, MsgWaitWakesForAnotherThreadsPostOrSet)
{
    Window window;
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::thread poster([&] { PostMessageW(window.get(), WM_USER, 0, 0); });
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, kGenerousMs, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
    poster.join();
    DrainThreadQueue();

    std::thread setter([&] { SetEvent(event); });
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, kGenerousMs, QS_ALLINPUT), WAIT_OBJECT_0);
    setter.join();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

}  // namespace

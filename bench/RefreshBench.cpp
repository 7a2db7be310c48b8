#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "Executor.h"
#include "Log.h"
#include "SidebarModel.h"
#include "Store.h"
#include "WindowManager.h"

namespace vorn {
namespace {

constexpr int spaceCount = 5;
constexpr int appCount = 20;

class DiscardingLogSink final : public LogSink {
public:
    void write(LogLevel, std::string_view, std::string_view) override {}
};

class QueueExecutor final : public MainExecutor {
public:
    void post(std::function<void()> task) override { tasks.push_back(std::move(task)); }
    void drain() {
        while (!tasks.empty()) {
            auto task = std::move(tasks.front());
            tasks.pop_front();
            task();
        }
    }
    std::deque<std::function<void()>> tasks;
};

// Lists a fixed set of windows; everything else answers at once.
class FixedWindowManager final : public WindowManager {
public:
    std::vector<WindowInfo> live;
    WindowChangeHandler handler;

    bool hasAccessibilityPermission() override { return true; }
    bool requestAccessibilityPermission() override { return true; }
    std::optional<std::vector<WindowInfo>> listWindows() override { return live; }
    bool isOnCurrentScreen(WindowID) override { return true; }
    std::optional<Rect> frame(WindowID) override { return Rect(300, 100, 800, 600); }
    bool isAlive(WindowID) override { return false; }
    bool isResizable(WindowID) override { return true; }
    ScreenArea currentScreenArea() override { return {Rect(0, 0, 1440, 900)}; }
    void activate(WindowID) override {}
    void setFrame(WindowID, const Rect&) override {}
    std::optional<WindowID> launchOrNewWindow(const AppRef&) override { return std::nullopt; }
    DocumentOpening openDocument(const std::string&, const AppRef&) override { return {}; }
    std::string currentSessionToken() override { return "asid:1"; }
    void observe(WindowChangeHandler h) override { handler = std::move(h); }
    void stopObserving() override { handler = nullptr; }
};

AppRef app(int n) {
    const std::string bundle = "com.example.application" + std::to_string(n % appCount);
    return AppRef{bundle, "Application " + std::to_string(n % appCount)};
}

// `windows` live windows of 20 applications, every one focused once; `tabs` tabs spread over
// five spaces, a third of them claimed. The first tabs hold a window each; the others lost
// theirs and keep a title and a document path that match no window, so every refresh tries
// to bind them again.
struct Desktop {
    Desktop(int windows, int tabs) {
        setLogSink(std::make_shared<DiscardingLogSink>());
        auto wm = std::make_shared<FixedWindowManager>();
        for (int n = 0; n < windows; ++n) {
            wm->live.push_back(WindowInfo{
                WindowID(1000 + n), app(n), "Report " + std::to_string(n) + " \u2014 Edited",
                Rect(300, 100, 800, 600), WindowState::normal,
                n % 2 ? std::optional<std::string>("/home/user/Documents/report-"
                                                   + std::to_string(n) + ".txt")
                      : std::nullopt});
        }
        AppState state;
        state.sessionToken = "asid:1";
        for (int s = 0; s < spaceCount; ++s) {
            state.spaces.push_back(
                Space{Uuid::random(), "Space " + std::to_string(s), s, {}, false});
        }
        for (int k = 0; k < tabs; ++k) {
            SpaceTab tab;
            tab.id = Uuid::random();
            tab.app = app(k);
            tab.order = k;
            if (k < windows) {
                tab.boundWindowID = WindowID(1000 + k);
                tab.lastTitle = wm->live[k].title;
            } else {
                tab.lastTitle = "Closed notes " + std::to_string(k);
                tab.docPath = "/home/user/Documents/closed-" + std::to_string(k) + ".txt";
            }
            if (k % 3 == 2) {
                tab.claimExpiresAt = Date(4e9);
            }
            state.spaces[k % spaceCount].tabs.push_back(std::move(tab));
        }
        store = std::make_shared<CountingStore>(std::move(state));
        this->wm = wm;
        model = SidebarModel::make(wm, store, nullptr, nullptr, executor, [] { return Date(1e9); });
        for (auto it = wm->live.rbegin(); it != wm->live.rend(); ++it) {
            wm->handler(WindowChange::focused(it->windowID));
        }
        executor->drain();
        model->refresh();
        savesBefore = store->saves;
    }

    struct CountingStore final : Store {
        explicit CountingStore(AppState s)
            : state(std::move(s)) {}
        AppState load() override { return state; }
        bool save(const AppState& s) override {
            state = s;
            ++saves;
            return true;
        }
        AppState state;
        int saves = 0;
    };

    std::shared_ptr<QueueExecutor> executor = std::make_shared<QueueExecutor>();
    std::shared_ptr<FixedWindowManager> wm;
    std::shared_ptr<CountingStore> store;
    std::shared_ptr<SidebarModel> model;
    int savesBefore = 0;
};

// A full refresh: the focus moves between two windows, so the model binds every space again.
void BM_Refresh(benchmark::State& state) {
    Desktop desktop(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::uint32_t turn = 0;
    for (auto _ : state) {
        desktop.wm->handler(WindowChange::focused(WindowID(1000 + turn++ % 2)));
        desktop.executor->drain();
    }
    // The state is unchanged, so no refresh may reach the store.
    state.counters["saves"] = desktop.store->saves - desktop.savesBefore;
    state.counters["ns/(windows+tabs)"] = benchmark::Counter(
        static_cast<double>(state.range(0) + state.range(1)),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// A routine refresh with nothing changed since the last one, as every poll tick of an idle
// desktop asks for.
void BM_IdleRefresh(benchmark::State& state) {
    Desktop desktop(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        desktop.model->refresh();
    }
    state.counters["saves"] = desktop.store->saves - desktop.savesBefore;
}

void shapes(benchmark::internal::Benchmark* b) {
    for (const int windows : {50, 200, 1000}) {
        for (const int tabs : {20, 100, 500}) {
            b->Args({windows, tabs});
        }
    }
    b->ArgNames({"windows", "tabs"})->Unit(benchmark::kMicrosecond);
}

// Far more tabs than anyone keeps: what matters is that no step grows faster than the tabs.
void manyTabs(benchmark::internal::Benchmark* b) {
    b->Args({200, 200000})->ArgNames({"windows", "tabs"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Refresh)->Apply(shapes)->Apply(manyTabs);
BENCHMARK(BM_IdleRefresh)->Apply(shapes)->Apply(manyTabs);

}  // namespace
}  // namespace vorn

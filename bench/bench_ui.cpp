// The item list window (Qt view and presenter) with 10,000 items, on Qt's
// offscreen platform, so no X server is needed.
//
//   build/<dir>/bench/bench_ui
//
//   BM_OpenList          constructing the window, which fills it (Init)
//   BM_OpenAndShowList   the same, then shown and painted once
//   BM_MoveDown1000      1,000 selected rows (every 10th) one place down
//                        through the presenter, with the view's updates and
//                        the repaint they cause; the move back up between
//                        iterations is not timed
//
// Figures to aim at: opening within 300 ms, the move within 100 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QItemSelection>
#include <QListWidget>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "backends/qt/ui/ItemListWindow.h"
#include "bench/BenchItems.h"
#include "items/Items.h"
#include "ui/Texts.h"

using namespace rw;

namespace {

constexpr int kItems = 10000;
constexpr int kEvery = 10;  // every 10th row selected: 1,000 rows

void FillList(clsItems& list) { FillBenchList(list, kItems); }

ItemListServices Services() {
    ItemListServices s;
    s.getClipText = [] { return std::string(); };
    s.setClipText = [](const std::string&) {};
    s.saveSettings = [] { return SaveResult::Saved; };
    s.settingsPath = "/tmp/replywick.ini";
    s.addCaption = "Add Item";
    s.editCaption = "Edit Item";
    s.texts = ItemListTextsFor(true);
    return s;
}

std::unique_ptr<qtui::ItemListWindow> OpenWindow(clsItems& items, ItemRec& current) {
    return std::make_unique<qtui::ItemListWindow>(items, current, Services(), [](QWidget*, const std::string&) {});
}

void BM_OpenList(benchmark::State& state) {
    clsItems items;
    FillList(items);
    ItemRec current;
    for (auto _ : state) {
        auto window = OpenWindow(items, current);
        benchmark::DoNotOptimize(window.get());
        state.PauseTiming();
        // Filled: a row per item and the empty end row.
        auto* list = window->findChild<QListWidget*>("lst");
        if (list == nullptr || list->count() != kItems + 1) {
            state.SkipWithError("the list was not filled");
            break;
        }
        window->Presenter().Cancel();
        window.reset();
        state.ResumeTiming();
    }
    state.counters["items"] = kItems;
}
BENCHMARK(BM_OpenList)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_OpenAndShowList(benchmark::State& state) {
    clsItems items;
    FillList(items);
    ItemRec current;
    for (auto _ : state) {
        auto window = OpenWindow(items, current);
        window->show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.get());
        state.PauseTiming();
        window->Presenter().Cancel();
        window.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["items"] = kItems;
}
BENCHMARK(BM_OpenAndShowList)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_MoveDown1000(benchmark::State& state) {
    clsItems items;
    FillList(items);
    ItemRec current;
    auto window = OpenWindow(items, current);
    window->show();
    QApplication::processEvents();

    // The user's selection, as the list box reports it to the presenter.
    auto* list = window->findChild<QListWidget*>("lst");
    if (list == nullptr) {
        state.SkipWithError("no list control");
        return;
    }
    QItemSelection selection;
    for (int r = 0; r < kItems; r += kEvery) {
        const QModelIndex i = list->model()->index(r, 0);
        selection.select(i, i);
    }
    list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    QApplication::processEvents();
    ItemListPresenter& p = window->Presenter();
    if (p.SelectedRows().size() != static_cast<std::size_t>(kItems / kEvery)) {
        state.SkipWithError("the presenter did not get the selection");
        return;
    }

    for (auto _ : state) {
        p.MoveDown();
        QApplication::processEvents();
        state.PauseTiming();
        p.MoveUp();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    // The rows and the items moved together and came back.
    if (p.SelectedRows().front() != 0 || items.GetDesc(1) != "Answer save prompt 1" ||
        p.Rows()[static_cast<std::size_t>(kEvery)] != items.GetDesc(kEvery))
        state.SkipWithError("rows and items out of step");
    state.counters["moved"] = static_cast<double>(p.SelectedRows().size());
    p.Cancel();
}
BENCHMARK(BM_MoveDown1000)->Unit(benchmark::kMillisecond);

// The offscreen platform says on every show that it cannot raise a window;
// a thousand such lines would bury the figures.
void QuietOffscreen(QtMsgType type, const QMessageLogContext&, const QString& msg) {
    if (msg.contains(QLatin1String("does not support raise"))) return;
    if (type != QtDebugMsg) std::fprintf(stderr, "%s\n", qPrintable(msg));
}

}  // namespace

int main(int argc, char** argv) {
    // No X server needed: Qt draws into memory.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(QuietOffscreen);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Reading a long category list at start: the settings store and the preferences' sorted list.
#include "platform/core/Settings.h"
#include "config/fPrefs2.h"
#include "platform/core/ConfigStore.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace veltry;

namespace {

void BM_StartWithCategories(benchmark::State& state)
{
    const int count = int(state.range(0));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("registry.reg"));
    {
        ConfigStore store(path);
        Settings s;
        for (int i = 0; i < count; ++i)
            s.Categories << QStringLiteral("Category %1").arg((i * 7919) % count);
        SettingsIO::save(store, s, SettingsExitState{});
    }
    TfrmPrefs prefs;
    for (auto _ : state) {
        ConfigStore store(path);
        store.reload();
        const Settings s = SettingsIO::load(store);
        prefs.setCategories(s.Categories);
        benchmark::DoNotOptimize(prefs.categories().size());
    }
}
BENCHMARK(BM_StartWithCategories)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

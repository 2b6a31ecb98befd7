#pragma once

#include "platform/core/Settings.h"
#include "store/TaskListHost.h"
#include "store/core/Task.h"
#include "widgets/TextGrid.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

namespace veltry::test {

// A task list host without the task window: a grid with the task columns and an empty list,
// settings as given, and counters for what the dialogs ask of it.
class FakeTaskListHost final : public TaskListHost
{
public:
    FakeTaskListHost() : grid(new TTextGrid(&window))
    {
        grid->setColCount(TaskCol::Count);
        grid->setRowCount(2);
        for (int c = 0; c < TaskCol::Count; ++c)
            grid->setCells(c, 0, kTaskTitles[size_t(c)]);
    }

    QWidget* hostWindow() override { return &window; }
    TTextGrid* taskGrid() override { return grid; }
    Settings& settings() override { return config; }
    bool dayFirst() const override { return false; }
    QStringList categories() const override { return categoryList; }
    bool SaveTaskList() override
    {
        ++saves;
        return true;
    }
    void RecordFileTimes() override { ++fileTimesRecorded; }
    void UpdateTaskCount() override { ++counts; }
    void LoadDataFiles() override { ++loads; }
    QString dataDirectory() const override { return folder; }
    void AutoFitColumnWidths() override { ++fits; }
    void stopTimerForModal() override { ++timerStops; }
    bool alarmsEnabled() const override { return alarms; }
    void setAlarmsEnabled(bool on) override
    {
        alarms = on;
        for (const auto& [context, f] : alarmsFollowers)
            if (context)
                f(on);
    }
    QMetaObject::Connection onAlarmsEnabledChanged(QObject* context, std::function<void(bool)> changed) override
    {
        alarmsFollowers.emplace_back(context, std::move(changed));
        return {};
    }

    QWidget window;
    TTextGrid* grid;
    Settings config;
    QStringList categoryList;
    QString folder;
    bool alarms = true;
    std::vector<std::pair<QPointer<QObject>, std::function<void(bool)>>> alarmsFollowers;
    int saves = 0;
    int fileTimesRecorded = 0;
    int counts = 0;
    int loads = 0;
    int fits = 0;
    int timerStops = 0;
};

} // namespace veltry::test

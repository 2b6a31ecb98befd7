#pragma once

#include <QObject>

namespace veltry {

// Turns SIGTERM, SIGINT and SIGHUP into a normal end of the event loop, so a program stopped by
// the desktop or a terminal saves like one ended from its menu.
class UnixSignals final : public QObject
{
    Q_OBJECT

public:
    explicit UnixSignals(QObject* parent = nullptr);
    ~UnixSignals() override;

Q_SIGNALS:
    void terminationRequested();
};

} // namespace veltry

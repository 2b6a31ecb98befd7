#pragma once

#include <QString>

namespace veltry::PrintService {

// The print service's refusal of the last job this thread handed to it, in its own words and
// with its status name (such as "server-error-not-accepting-jobs"); empty when it took the job.
// The toolkit hands a job over without looking at the answer.
QString lastJobRefusal();

// The reason the queue's administrator gave for its state (as `cupsreject -r` sets it); empty
// when none was given or the service cannot be asked. Asking replaces the service's last answer.
QString stateMessage(const QString& name);

// Whether the queue `name` is paused, so that a job given to it waits.
bool isPaused(const QString& name);

} // namespace veltry::PrintService

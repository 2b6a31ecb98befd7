#pragma once

#include <QString>

namespace veltry::test {

// Every test binary runs with XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR pointing into a
// fresh temporary folder (set up before main), so no test touches the user's settings or data,
// and with no print service reachable, so none prints on the machine's printers.
QString sandboxRoot();

} // namespace veltry::test

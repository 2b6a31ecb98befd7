#include "widgets/PrintService.h"

#include <cups/cups.h>

namespace veltry::PrintService {

QString lastJobRefusal()
{
    const ipp_status_t status = cupsLastError();
    if (status < IPP_STATUS_REDIRECTION_OTHER_SITE)
        return QString();
    const QString name = QString::fromUtf8(ippErrorString(status));
    const QString text = QString::fromUtf8(cupsLastErrorString()).trimmed();
    return text.isEmpty() || text == name ? name : QStringLiteral("%1 (%2)").arg(text, name);
}

bool isPaused(const QString& name)
{
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.toLocal8Bit().constData(), nullptr);
    if (!dest)
        return false;
    const char* state = cupsGetOption("printer-state", dest->num_options, dest->options);
    // IPP printer states: 3 idle, 4 processing, 5 stopped.
    const bool paused = state && QByteArrayView(state) == "5";
    cupsFreeDests(1, dest);
    return paused;
}

} // namespace veltry::PrintService

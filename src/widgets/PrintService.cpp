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

QString stateMessage(const QString& name)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", 0, "/printers/%s",
                     name.toUtf8().constData());
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-state-message");
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");  // takes the request
    ipp_attribute_t* found = response ? ippFindAttribute(response, "printer-state-message", IPP_TAG_ZERO) : nullptr;
    const QString text = found ? QString::fromUtf8(ippGetString(found, 0, nullptr)).trimmed() : QString();
    ippDelete(response);
    return text;
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

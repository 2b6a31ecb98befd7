#include "sync/core/DavXml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <utility>

namespace veltry::sync::DavXml {

namespace {

const QString kDav = QStringLiteral("DAV:");
const QString kCalDav = QStringLiteral("urn:ietf:params:xml:ns:caldav");

// Every body starts the same way: both namespaces declared once on the root element.
class Body
{
public:
    Body() : m_xml(&m_data)
    {
        m_xml.writeStartDocument();
        m_xml.writeNamespace(kDav, QStringLiteral("D"));
        m_xml.writeNamespace(kCalDav, QStringLiteral("C"));
    }
    QXmlStreamWriter& xml() { return m_xml; }
    QByteArray finish()
    {
        m_xml.writeEndDocument();
        return m_data;
    }

private:
    QByteArray m_data;
    QXmlStreamWriter m_xml;
};

void writeEtagProp(QXmlStreamWriter& xml, bool withData)
{
    xml.writeStartElement(kDav, QStringLiteral("prop"));
    xml.writeEmptyElement(kDav, QStringLiteral("getetag"));
    if (withData)
        xml.writeEmptyElement(kCalDav, QStringLiteral("calendar-data"));
    xml.writeEndElement();
}

// "HTTP/1.1 404 Not Found" gives 404; anything else 0.
int statusCode(const QString& line)
{
    const QStringList parts = line.simplified().split(QLatin1Char(' '));
    return parts.size() >= 2 ? parts.at(1).toInt() : 0;
}

// Which text the element being read goes to.
enum class Field { None, Href, ResponseStatus, PropstatStatus, Etag, CalendarData, DisplayName,
                   PropSyncToken, SyncToken };

} // namespace

QByteArray propfindCollection()
{
    Body body;
    QXmlStreamWriter& xml = body.xml();
    xml.writeStartElement(kDav, QStringLiteral("propfind"));
    xml.writeStartElement(kDav, QStringLiteral("prop"));
    xml.writeEmptyElement(kDav, QStringLiteral("resourcetype"));
    xml.writeEmptyElement(kDav, QStringLiteral("displayname"));
    xml.writeEmptyElement(kDav, QStringLiteral("sync-token"));
    xml.writeEmptyElement(kCalDav, QStringLiteral("supported-calendar-component-set"));
    xml.writeEndElement();
    xml.writeEndElement();
    return body.finish();
}

QByteArray syncCollection(const QString& syncToken)
{
    Body body;
    QXmlStreamWriter& xml = body.xml();
    xml.writeStartElement(kDav, QStringLiteral("sync-collection"));
    if (syncToken.isEmpty())
        xml.writeEmptyElement(kDav, QStringLiteral("sync-token"));
    else
        xml.writeTextElement(kDav, QStringLiteral("sync-token"), syncToken);
    xml.writeTextElement(kDav, QStringLiteral("sync-level"), QStringLiteral("1"));
    writeEtagProp(xml, false);
    xml.writeEndElement();
    return body.finish();
}

QByteArray calendarQueryEtags()
{
    Body body;
    QXmlStreamWriter& xml = body.xml();
    xml.writeStartElement(kCalDav, QStringLiteral("calendar-query"));
    writeEtagProp(xml, false);
    xml.writeStartElement(kCalDav, QStringLiteral("filter"));
    xml.writeStartElement(kCalDav, QStringLiteral("comp-filter"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("VCALENDAR"));
    xml.writeEmptyElement(kCalDav, QStringLiteral("comp-filter"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("VTODO"));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
    return body.finish();
}

QByteArray calendarMultiget(const QStringList& hrefs)
{
    Body body;
    QXmlStreamWriter& xml = body.xml();
    xml.writeStartElement(kCalDav, QStringLiteral("calendar-multiget"));
    writeEtagProp(xml, true);
    for (const QString& href : hrefs)
        xml.writeTextElement(kDav, QStringLiteral("href"), href);
    xml.writeEndElement();
    return body.finish();
}

DavMultiStatus parseMultiStatus(const QByteArray& body)
{
    DavMultiStatus out;
    auto fail = [&out](const QString& why) {
        out.responses.clear();
        out.syncToken.clear();
        out.error = why;
        return out;
    };

    QXmlStreamReader xml(body);
    QList<std::pair<QString, QString>> stack; // namespace, local name of the open elements
    DavResponse response;   // the <response> being read
    DavResponse props;      // what the current <propstat> says, kept only when its status is a success
    int propstatStatus = 0;
    Field field = Field::None;
    qsizetype fieldDepth = 0;
    qsizetype fieldLimit = 0;
    QString text;
    bool sawRoot = false;

    auto parentIs = [&stack](const QString& ns, const char* name) {
        return !stack.isEmpty() && stack.last().first == ns && stack.last().second == QLatin1String(name);
    };

    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            return fail(QStringLiteral("the answer carries a document type declaration, which is refused"));
        case QXmlStreamReader::EntityReference:
            return fail(QStringLiteral("the answer uses an entity, which is refused"));
        case QXmlStreamReader::StartElement: {
            if (stack.size() >= kMaxDepth)
                return fail(QStringLiteral("the answer is nested too deeply"));
            const QString ns = xml.namespaceUri().toString();
            const QString name = xml.name().toString();
            const bool dav = ns == kDav;
            const bool cal = ns == kCalDav;
            Field start = Field::None;
            qsizetype limit = kMaxShortText;
            if (field != Field::None) {
                // Markup inside a text property: its text still counts, its structure does not.
            } else if (stack.isEmpty()) {
                if (!dav || name != QLatin1String("multistatus"))
                    return fail(QStringLiteral("the answer is not a WebDAV multistatus"));
                sawRoot = true;
            } else if (parentIs(kDav, "multistatus")) {
                if (dav && name == QLatin1String("response")) {
                    if (out.responses.size() >= kMaxResponses)
                        return fail(QStringLiteral("the answer lists too many resources"));
                    response = DavResponse();
                } else if (dav && name == QLatin1String("sync-token")) {
                    start = Field::SyncToken;
                }
            } else if (parentIs(kDav, "response")) {
                if (dav && name == QLatin1String("href"))
                    start = Field::Href;
                else if (dav && name == QLatin1String("status"))
                    start = Field::ResponseStatus;
                else if (dav && name == QLatin1String("propstat")) {
                    props = DavResponse();
                    propstatStatus = 0;
                }
            } else if (parentIs(kDav, "propstat")) {
                if (dav && name == QLatin1String("status"))
                    start = Field::PropstatStatus;
            } else if (parentIs(kDav, "prop") && stack.size() >= 2
                       && stack.at(stack.size() - 2).second == QLatin1String("propstat")) {
                if (dav && name == QLatin1String("getetag"))
                    start = Field::Etag;
                else if (cal && name == QLatin1String("calendar-data")) {
                    start = Field::CalendarData;
                    limit = kMaxCalendarData;
                } else if (dav && name == QLatin1String("displayname"))
                    start = Field::DisplayName;
                else if (dav && name == QLatin1String("sync-token"))
                    start = Field::PropSyncToken;
                else if (cal && name == QLatin1String("supported-calendar-component-set"))
                    props.hasComponentSet = true;
            } else if (parentIs(kDav, "resourcetype")) {
                if (cal && name == QLatin1String("calendar"))
                    props.isCalendar = true;
            } else if (parentIs(kCalDav, "supported-calendar-component-set")) {
                if (cal && name == QLatin1String("comp")) {
                    const QString comp = xml.attributes().value(QLatin1String("name")).toString();
                    if (comp.size() > kMaxShortText)
                        return fail(QStringLiteral("the answer has a text that is too long"));
                    if (props.components.size() < 64)
                        props.components.append(comp.toUpper());
                }
            }
            stack.append({ns, name});
            if (start != Field::None) {
                field = start;
                fieldDepth = stack.size();
                fieldLimit = limit;
                text.clear();
            }
            break;
        }
        case QXmlStreamReader::Characters:
            if (field != Field::None) {
                if (text.size() + xml.text().size() > fieldLimit)
                    return fail(QStringLiteral("the answer has a text that is too long"));
                text += xml.text();
            }
            break;
        case QXmlStreamReader::EndElement: {
            if (field != Field::None && stack.size() == fieldDepth) {
                switch (field) {
                case Field::Href: response.href = text.trimmed(); break;
                case Field::ResponseStatus: response.status = statusCode(text); break;
                case Field::PropstatStatus: propstatStatus = statusCode(text); break;
                case Field::Etag: props.etag = text.trimmed().toUtf8(); break;
                case Field::CalendarData: props.calendarData = text.toUtf8(); break;
                case Field::DisplayName: props.displayName = text; break;
                case Field::PropSyncToken: props.syncToken = text.trimmed(); break;
                case Field::SyncToken: out.syncToken = text.trimmed(); break;
                case Field::None: break;
                }
                field = Field::None;
            }
            const auto closing = stack.takeLast();
            if (closing.first != kDav || field != Field::None)
                break;
            if (closing.second == QLatin1String("propstat") && parentIs(kDav, "response")) {
                // Properties the server could not give (404, 403) are as good as absent.
                if (propstatStatus == 0 || (propstatStatus >= 200 && propstatStatus < 300)) {
                    if (!props.etag.isEmpty())
                        response.etag = props.etag;
                    if (!props.calendarData.isEmpty())
                        response.calendarData = props.calendarData;
                    if (!props.displayName.isEmpty())
                        response.displayName = props.displayName;
                    if (!props.syncToken.isEmpty())
                        response.syncToken = props.syncToken;
                    response.isCalendar = response.isCalendar || props.isCalendar;
                    if (props.hasComponentSet) {
                        response.hasComponentSet = true;
                        response.components += props.components;
                    }
                }
            } else if (closing.second == QLatin1String("response") && parentIs(kDav, "multistatus")) {
                if (response.href.isEmpty())
                    return fail(QStringLiteral("the answer has a resource without an address"));
                out.responses.append(std::move(response));
                response = DavResponse();
            }
            break;
        }
        default:
            break;
        }
    }
    if (xml.hasError())
        return fail(QStringLiteral("%1 (line %2)").arg(xml.errorString()).arg(xml.lineNumber()));
    if (!sawRoot)
        return fail(QStringLiteral("the answer is empty"));
    return out;
}

bool hasPrecondition(const QByteArray& body, const QString& name)
{
    QXmlStreamReader xml(body);
    int depth = 0;
    bool rootIsError = false;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            return false;
        case QXmlStreamReader::StartElement:
            if (++depth > kMaxDepth)
                return false;
            if (depth == 1)
                rootIsError = xml.namespaceUri() == kDav && xml.name() == QLatin1String("error");
            else if (depth == 2 && rootIsError && xml.namespaceUri() == kDav && xml.name() == name)
                return true;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return false;
}

} // namespace veltry::sync::DavXml

#include "HttpResponseHead.h"

#include <QDateTime>
#include <QLocale>

HttpResponseHead::HttpResponseHead(int status)
    : m_status(status)
{
}

HttpResponseHead &HttpResponseHead::add(const QByteArray &name, const QByteArray &value)
{
    m_fields.append({name, value});
    return *this;
}

QByteArray HttpResponseHead::toByteArray() const
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(m_status) + ' ' + reasonPhrase(m_status) + "\r\n";
    // IMF-fixdate; the C locale keeps day and month names English.
    const QString date = QLocale::c().toString(QDateTime::currentDateTimeUtc(),
                                               QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"));
    head += "Date: " + date.toLatin1() + "\r\n";
    head += "Server: tamberlyn-course-server\r\n";
    for (const auto &[name, value] : m_fields)
        head += name + ": " + value + "\r\n";
    head += "\r\n";
    return head;
}

QByteArray HttpResponseHead::reasonPhrase(int status)
{
    switch (status) {
    case 200: return QByteArrayLiteral("OK");
    case 206: return QByteArrayLiteral("Partial Content");
    case 400: return QByteArrayLiteral("Bad Request");
    case 403: return QByteArrayLiteral("Forbidden");
    case 404: return QByteArrayLiteral("Not Found");
    case 405: return QByteArrayLiteral("Method Not Allowed");
    case 408: return QByteArrayLiteral("Request Timeout");
    case 416: return QByteArrayLiteral("Range Not Satisfiable");
    case 431: return QByteArrayLiteral("Request Header Fields Too Large");
    case 500: return QByteArrayLiteral("Internal Server Error");
    case 503: return QByteArrayLiteral("Service Unavailable");
    case 505: return QByteArrayLiteral("HTTP Version Not Supported");
    default: return QByteArrayLiteral("Unknown");
    }
}

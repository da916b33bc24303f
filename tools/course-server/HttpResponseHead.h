#pragma once

#include <QByteArray>
#include <QList>

#include <utility>

// Builds the status line and header fields of an HTTP/1.1 response.
class HttpResponseHead final
{
public:
    explicit HttpResponseHead(int status);

    HttpResponseHead &add(const QByteArray &name, const QByteArray &value);
    QByteArray toByteArray() const;

    int status() const { return m_status; }

    static QByteArray reasonPhrase(int status);

private:
    int m_status;
    QList<std::pair<QByteArray, QByteArray>> m_fields;
};

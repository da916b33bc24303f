#include "RequestFramer.h"

#include "HttpRequest.h"

qsizetype RequestFramer::wanted() const
{
    return m_buffer.size() <= kMaxHeadBytes ? kMaxHeadBytes + 1 - m_buffer.size() : 0;
}

void RequestFramer::append(QByteArrayView bytes)
{
    m_buffer.append(bytes.first(qMin(bytes.size(), wanted())));
}

RequestFramer::Next RequestFramer::next()
{
    qsizetype skip = 0;
    while (skip < m_buffer.size() && (m_buffer[skip] == '\r' || m_buffer[skip] == '\n'))
        ++skip;
    m_buffer.remove(0, skip);
    if (m_buffer.isEmpty())
        return {};

    const qsizetype headEnd = findRequestHeadEnd(m_buffer);
    if (headEnd < 0 && m_buffer.size() <= kMaxHeadBytes)
        return {}; // wait for the rest of the head
    if (headEnd < 0 || headEnd > kMaxHeadBytes)
        return {Next::Kind::TooLarge, takePending()};
    Next next{Next::Kind::Head, m_buffer.left(headEnd)};
    m_buffer.remove(0, headEnd);
    return next;
}

QByteArray RequestFramer::takePending()
{
    QByteArray pending;
    pending.swap(m_buffer);
    return pending;
}

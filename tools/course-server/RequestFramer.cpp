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

    const qsizetype end = headEnd();
    if (end < 0 && m_buffer.size() <= kMaxHeadBytes)
        return {}; // wait for the rest of the head
    if (end < 0 || end > kMaxHeadBytes)
        return {Next::Kind::TooLarge, takePending()};
    Next next{Next::Kind::Head, m_buffer.left(end)};
    m_buffer.remove(0, end);
    m_scanned = m_lineStart = 0;
    return next;
}

qsizetype RequestFramer::headEnd()
{
    // The rules of findRequestHeadEnd(), taken up where they stopped. The
    // buffer never starts with a line end here, so nothing looked at moves.
    for (; m_scanned < m_buffer.size(); ++m_scanned) {
        if (m_buffer[m_scanned] != '\n')
            continue;
        const qsizetype lineLength = m_scanned - m_lineStart;
        if (m_lineStart > 0 && (lineLength == 0 || (lineLength == 1 && m_buffer[m_lineStart] == '\r')))
            return m_scanned + 1;
        m_lineStart = m_scanned + 1;
    }
    return -1;
}

QByteArray RequestFramer::takePending()
{
    QByteArray pending;
    pending.swap(m_buffer);
    m_scanned = m_lineStart = 0;
    return pending;
}

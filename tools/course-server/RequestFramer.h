#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Cuts the bytes a client sends on one connection into request heads, one
// at a time, however they arrive: split anywhere, or many pipelined
// requests at once. It never holds more than one head's worth: the
// connection reads only what wanted() says, so a client that sends far
// ahead waits in the socket, not in memory.
class RequestFramer final
{
public:
    static constexpr qsizetype kMaxHeadBytes = 16 * 1024;

    // How many more bytes to read now: enough to complete the longest head
    // allowed, plus one to tell that a head is too long.
    qsizetype wanted() const;
    void append(QByteArrayView bytes);

    struct Next
    {
        enum class Kind {
            NeedMore, // no whole head yet
            Head,     // `head` is the next request head, taken off
            TooLarge, // the head is over kMaxHeadBytes: the connection must end
        };
        Kind kind = Kind::NeedMore;
        QByteArray head;
    };
    // Empty lines before a request line are passed over (some clients send
    // an extra CRLF after a request).
    Next next();

    // Nothing of a next request has arrived.
    bool isEmpty() const { return m_buffer.isEmpty(); }
    // What has arrived of the next head, for the log line of a request cut
    // off by a deadline; the framer is emptied.
    QByteArray takePending();

private:
    // findRequestHeadEnd() over what came since the last look only: a head
    // trickling in a byte at a time must not be scanned whole for each
    // byte, which costs the square of its length.
    qsizetype headEnd();

    QByteArray m_buffer;
    qsizetype m_scanned = 0;   // bytes of m_buffer looked at so far
    qsizetype m_lineStart = 0; // where the line being looked at began
};

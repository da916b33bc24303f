#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// What a Range request header asks of a file of a given size.
struct ByteRange
{
    enum class Kind {
        WholeFile,     // no usable Range header: answer 200 with the whole file
        Partial,       // answer 206 with bytes [first, last]
        Unsatisfiable, // answer 416
    };

    Kind kind = Kind::WholeFile;
    qint64 first = 0;
    qint64 last = -1;

    qint64 length() const { return last - first + 1; }
};

// Interprets a Range header value for a file of fileSize bytes. Only a single
// "bytes=" range is honoured; multiple ranges, other units and malformed values
// yield WholeFile, which the protocol allows (a server may ignore Range).
ByteRange parseByteRange(QByteArrayView headerValue, qint64 fileSize);

struct HttpRequest;

// What a request's Range asks of a file of fileSize bytes, as the server
// answers it. One Range field is honoured; several make no sense together,
// and the whole file is always a correct answer. With an If-Range field the
// Range is ignored: the server sends no validators (no ETag, no
// Last-Modified), so no If-Range can match the file as it is now, and
// RFC 9110 (13.1.5) then asks for the whole file, so that a resumed download
// never splices the bytes of an old file onto a new one.
ByteRange requestedRange(const HttpRequest &request, qint64 fileSize);

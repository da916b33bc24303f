// What a client sends the course server, as the server takes it apart: a
// stream of pipelined requests, cut into heads however it arrives, each
// parsed, its path decoded and the range it asks of a file worked out.
//
// Input: the first two bytes give the file's size, the third how many bytes
// arrive at a time; the rest is what the client sends on one connection.

#include "fuzzcheck.h"

#include "ByteRange.h"
#include "HttpRequest.h"
#include "RequestFramer.h"
#include "RequestPath.h"

#include <cstdint>

using Tamberlyn::Fuzz::require;

namespace {

QString shown(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.first(qMin<qsizetype>(bytes.size(), 200)));
}

void checkRange(const HttpRequest &request, qint64 fileSize, QByteArrayView head)
{
    const ByteRange range = requestedRange(request, fileSize);
    const qsizetype ranges = request.headerValues("range").size();
    const bool ifRange = !request.headerValues("if-range").isEmpty();
    switch (range.kind) {
    case ByteRange::Kind::Partial:
        require(range.first >= 0 && range.first <= range.last && range.last < fileSize,
                "a range outside the file", shown(head));
        break;
    case ByteRange::Kind::Unsatisfiable:
        break;
    case ByteRange::Kind::WholeFile:
        return;
    }
    require(ranges == 1, "a range from other than exactly one Range field", shown(head));
    // The server has no validators: no If-Range matches, and the answer is
    // the whole file, never a piece to splice onto an older one.
    require(!ifRange, "a range despite If-Range", shown(head));
}

void checkPath(const HttpRequest &request)
{
    const RequestPath path = decodeRequestPath(request.target);
    if (path.outcome != RequestPath::Outcome::Ok)
        return;
    for (const QString &segment : path.segments) {
        require(!segment.isEmpty() && !segment.startsWith(u'.'), "an empty, dot or hidden segment", segment);
        require(!segment.contains(u'/') && !segment.contains(u'\\') && !segment.contains(QChar(0)),
                "a separator or NUL inside a segment", segment);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const qint64 fileSize = (qint64(data[0]) << 8) | data[1];
    const qsizetype chunk = 1 + data[2] % 64;
    const QByteArrayView stream(reinterpret_cast<const char *>(data + 3), qsizetype(size - 3));

    // The socket: what has arrived, and how much of it the framer took.
    RequestFramer framer;
    qsizetype arrived = 0;
    qsizetype taken = 0;
    qsizetype parsedUpTo = 0; // where the next head starts in the stream
    bool ended = false;
    while (!ended && (taken < stream.size())) {
        arrived = qMin(stream.size(), arrived + chunk);
        const qsizetype take = qMin(arrived - taken, framer.wanted());
        require(take >= 0, "a negative read");
        framer.append(stream.sliced(taken, take));
        taken += take;
        for (;;) {
            const RequestFramer::Next next = framer.next();
            if (next.kind == RequestFramer::Next::Kind::NeedMore) {
                // Nothing more can come of this stream when the framer wants
                // nothing and holds a head that never ends.
                ended = framer.wanted() == 0;
                require(!ended, "a full framer that neither gives a head nor refuses one");
                break;
            }
            if (next.kind == RequestFramer::Next::Kind::TooLarge) {
                ended = true; // the server answers 431 and closes
                break;
            }
            const QByteArray &head = next.head;
            require(head.size() <= RequestFramer::kMaxHeadBytes, "a head over the bound", shown(head));
            require(findRequestHeadEnd(head) == head.size(), "a head that does not end where it was cut",
                    shown(head));
            // Heads come in stream order, nothing lost or doubled but the
            // line ends passed over between them.
            while (parsedUpTo < stream.size() && (stream[parsedUpTo] == '\r' || stream[parsedUpTo] == '\n'))
                ++parsedUpTo;
            require(stream.sliced(parsedUpTo).startsWith(head), "a head that is not the next bytes of the stream",
                    shown(head));
            parsedUpTo += head.size();

            (void)requestLineWords(head);
            const RequestHeadParse parsed = parseRequestHead(head);
            if (parsed.status != RequestHeadParse::Status::Ok) {
                ended = true; // 400 or 505, then the connection closes
                break;
            }
            (void)parsed.request.hasValidHost();
            (void)parsed.request.wantsKeepAlive();
            checkRange(parsed.request, fileSize, head);
            checkPath(parsed.request);
            if (parsed.request.hasBody()) {
                ended = true; // bodies are never read: answered, then closed
                break;
            }
        }
    }
    return 0;
}

// The server's pure request logic: what a Range header means, how a request
// target maps to path segments, and where a request head ends and what it
// says. Cases here are the edges that are awkward to provoke end to end.

#include "ByteRange.h"
#include "HttpRequest.h"
#include "RequestFramer.h"
#include "RequestPath.h"

#include <QTest>

Q_DECLARE_METATYPE(ByteRange::Kind)
Q_DECLARE_METATYPE(RequestPath::Outcome)
Q_DECLARE_METATYPE(RequestHeadParse::Status)

class CourseServerLogicTest final : public QObject
{
    Q_OBJECT

private slots:
    void parseByteRange_data();
    void parseByteRange();
    void decodeRequestPath_data();
    void decodeRequestPath();
    void findRequestHeadEnd_data();
    void findRequestHeadEnd();
    void parseRequestHead_data();
    void parseRequestHead();
    void requestedRange_data();
    void requestedRange();
    void framingPipelinedHeads();
};

void CourseServerLogicTest::parseByteRange_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<ByteRange::Kind>("kind");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");

    using K = ByteRange::Kind;
    QTest::newRow("single byte") << QByteArray("bytes=0-0") << qint64(10) << K::Partial << qint64(0) << qint64(0);
    QTest::newRow("last byte") << QByteArray("bytes=9-9") << qint64(10) << K::Partial << qint64(9) << qint64(9);
    QTest::newRow("open end") << QByteArray("bytes=4-") << qint64(10) << K::Partial << qint64(4) << qint64(9);
    QTest::newRow("suffix") << QByteArray("bytes=-3") << qint64(10) << K::Partial << qint64(7) << qint64(9);
    QTest::newRow("suffix longer than file") << QByteArray("bytes=-20") << qint64(10) << K::Partial << qint64(0)
                                             << qint64(9);
    QTest::newRow("last beyond end clamped") << QByteArray("bytes=2-100") << qint64(10) << K::Partial << qint64(2)
                                             << qint64(9);
    QTest::newRow("unit is case-insensitive") << QByteArray("BYTES=2-4") << qint64(10) << K::Partial << qint64(2)
                                              << qint64(4);
    QTest::newRow("surrounding whitespace") << QByteArray(" bytes=2-4 ") << qint64(10) << K::Partial << qint64(2)
                                            << qint64(4);
    QTest::newRow("huge last") << QByteArray("bytes=0-99999999999999999999999") << qint64(10) << K::Partial
                               << qint64(0) << qint64(9);

    QTest::newRow("first at size") << QByteArray("bytes=10-") << qint64(10) << K::Unsatisfiable << qint64(0)
                                   << qint64(-1);
    QTest::newRow("huge first") << QByteArray("bytes=99999999999999999999999-") << qint64(10) << K::Unsatisfiable
                                << qint64(0) << qint64(-1);
    QTest::newRow("empty suffix") << QByteArray("bytes=-0") << qint64(10) << K::Unsatisfiable << qint64(0)
                                  << qint64(-1);
    QTest::newRow("empty file") << QByteArray("bytes=0-") << qint64(0) << K::Unsatisfiable << qint64(0) << qint64(-1);
    QTest::newRow("suffix of empty file") << QByteArray("bytes=-5") << qint64(0) << K::Unsatisfiable << qint64(0)
                                          << qint64(-1);

    QTest::newRow("last before first") << QByteArray("bytes=5-4") << qint64(10) << K::WholeFile << qint64(0)
                                       << qint64(-1);
    QTest::newRow("several ranges") << QByteArray("bytes=0-1,4-5") << qint64(10) << K::WholeFile << qint64(0)
                                    << qint64(-1);
    QTest::newRow("other unit") << QByteArray("items=0-5") << qint64(10) << K::WholeFile << qint64(0) << qint64(-1);
    QTest::newRow("no dash") << QByteArray("bytes=5") << qint64(10) << K::WholeFile << qint64(0) << qint64(-1);
    QTest::newRow("only a dash") << QByteArray("bytes=-") << qint64(10) << K::WholeFile << qint64(0) << qint64(-1);
    QTest::newRow("signed number") << QByteArray("bytes=+1-2") << qint64(10) << K::WholeFile << qint64(0)
                                   << qint64(-1);
    QTest::newRow("two dashes") << QByteArray("bytes=1-2-3") << qint64(10) << K::WholeFile << qint64(0)
                                << qint64(-1);
    QTest::newRow("empty") << QByteArray("") << qint64(10) << K::WholeFile << qint64(0) << qint64(-1);
}

void CourseServerLogicTest::parseByteRange()
{
    QFETCH(QByteArray, header);
    QFETCH(qint64, size);
    QFETCH(ByteRange::Kind, kind);
    QFETCH(qint64, first);
    QFETCH(qint64, last);

    const ByteRange range = ::parseByteRange(header, size);
    QCOMPARE(range.kind, kind);
    if (kind == ByteRange::Kind::Partial) {
        QCOMPARE(range.first, first);
        QCOMPARE(range.last, last);
    }
}

void CourseServerLogicTest::decodeRequestPath_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<RequestPath::Outcome>("outcome");
    QTest::addColumn<QStringList>("segments");

    using O = RequestPath::Outcome;
    const auto list = [](std::initializer_list<const char16_t *> items) {
        QStringList result;
        for (const char16_t *item : items)
            result.append(QString::fromUtf16(item));
        return result;
    };
    QTest::newRow("root") << QByteArray("/") << O::Ok << QStringList();
    QTest::newRow("empty and dot segments") << QByteArray("/a//b/./c/") << O::Ok << list({u"a", u"b", u"c"});
    QTest::newRow("escaped space") << QByteArray("/two%20words.htm") << O::Ok << list({u"two words.htm"});
    QTest::newRow("UTF-8") << QByteArray("/%C3%A9t%C3%A9") << O::Ok << list({u"\u00e9t\u00e9"});
    QTest::newRow("query with dot-dot dropped") << QByteArray("/x?back=../../y") << O::Ok << list({u"x"});
    QTest::newRow("fragment dropped") << QByteArray("/x#../y") << O::Ok << list({u"x"});
    QTest::newRow("encoded slash separates") << QByteArray("/a%2Fb") << O::Ok << list({u"a", u"b"});
    QTest::newRow("decoded once only") << QByteArray("/%252e%252e") << O::Ok << list({u"%2e%2e"});
    QTest::newRow("dots inside names") << QByteArray("/a.b/c..d") << O::Ok << list({u"a.b", u"c..d"});
    QTest::newRow("absolute form") << QByteArray("https://127.0.0.1:8443/a/b?q") << O::Ok << list({u"a", u"b"});
    QTest::newRow("absolute form without path") << QByteArray("HTTPS://127.0.0.1") << O::Ok << QStringList();

    QTest::newRow("dot-dot") << QByteArray("/..") << O::Refused << QStringList();
    QTest::newRow("dot-dot inside") << QByteArray("/a/../b") << O::Refused << QStringList();
    QTest::newRow("encoded dot-dot") << QByteArray("/a/%2e%2E/b") << O::Refused << QStringList();
    QTest::newRow("dot-dot with encoded slash") << QByteArray("/..%2fetc") << O::Refused << QStringList();
    QTest::newRow("all encoded") << QByteArray("/%2E%2e%2Fetc") << O::Refused << QStringList();
    QTest::newRow("backslash") << QByteArray("/a\\b") << O::Refused << QStringList();
    QTest::newRow("encoded backslash") << QByteArray("/a%5Cb") << O::Refused << QStringList();
    QTest::newRow("encoded NUL") << QByteArray("/a%00.png") << O::Refused << QStringList();
    QTest::newRow("absolute form dot-dot") << QByteArray("http://h/../x") << O::Refused << QStringList();
    QTest::newRow("hidden file") << QByteArray("/.htpasswd") << O::Refused << QStringList();
    QTest::newRow("hidden folder") << QByteArray("/a/.git/config") << O::Refused << QStringList();
    QTest::newRow("encoded hidden name") << QByteArray("/a/%2Egit") << O::Refused << QStringList();
    QTest::newRow("three dots") << QByteArray("/...") << O::Refused << QStringList();

    QTest::newRow("not hex") << QByteArray("/%zz") << O::Malformed << QStringList();
    QTest::newRow("truncated escape") << QByteArray("/a%4") << O::Malformed << QStringList();
    QTest::newRow("not UTF-8") << QByteArray("/%FF") << O::Malformed << QStringList();
    QTest::newRow("relative") << QByteArray("a/b") << O::Malformed << QStringList();
    QTest::newRow("asterisk") << QByteArray("*") << O::Malformed << QStringList();
}

void CourseServerLogicTest::decodeRequestPath()
{
    QFETCH(QByteArray, target);
    QFETCH(RequestPath::Outcome, outcome);
    QFETCH(QStringList, segments);

    const RequestPath path = ::decodeRequestPath(target);
    QCOMPARE(path.outcome, outcome);
    if (outcome == RequestPath::Outcome::Ok)
        QCOMPARE(path.segments, segments);
}

void CourseServerLogicTest::findRequestHeadEnd_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<qsizetype>("end");

    const QByteArray head("GET / HTTP/1.1\r\nHost: a\r\n\r\n");
    QTest::newRow("complete") << head << head.size();
    QTest::newRow("next request follows") << head + "GET /next HTTP/1.1\r\n\r\n" << head.size();
    QTest::newRow("body follows") << head + "\r\n\r\nbody" << head.size();
    QTest::newRow("bare LF") << QByteArray("GET / HTTP/1.1\nHost: a\n\n") << qsizetype(24);
    QTest::newRow("no fields") << QByteArray("GET / HTTP/1.1\r\n\r\n") << qsizetype(18);
    QTest::newRow("fields incomplete") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\n") << qsizetype(-1);
    QTest::newRow("final CR without LF") << QByteArray("GET / HTTP/1.1\r\n\r") << qsizetype(-1);
    QTest::newRow("nothing yet") << QByteArray() << qsizetype(-1);
}

void CourseServerLogicTest::findRequestHeadEnd()
{
    QFETCH(QByteArray, buffer);
    QFETCH(qsizetype, end);
    QCOMPARE(::findRequestHeadEnd(buffer), end);
}

void CourseServerLogicTest::parseRequestHead_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<RequestHeadParse::Status>("status");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<bool>("keepAlive");
    QTest::addColumn<bool>("hasBody");

    using S = RequestHeadParse::Status;
    QTest::newRow("HTTP/1.1 persists") << QByteArray("GET /a HTTP/1.1\r\nHost: x\r\n\r\n") << S::Ok
                                       << QByteArray("/a") << true << false;
    QTest::newRow("HTTP/1.1 close") << QByteArray("GET /a HTTP/1.1\r\nConnection: Keep-Alive, Close\r\n\r\n")
                                    << S::Ok << QByteArray("/a") << false << false;
    QTest::newRow("HTTP/1.0 closes") << QByteArray("GET /a HTTP/1.0\r\n\r\n") << S::Ok << QByteArray("/a") << false
                                     << false;
    QTest::newRow("HTTP/1.0 keep-alive") << QByteArray("GET /a HTTP/1.0\r\nconnection:keep-alive\r\n\r\n") << S::Ok
                                         << QByteArray("/a") << true << false;
    QTest::newRow("bare LF") << QByteArray("HEAD /a?b=c HTTP/1.1\nHost: x\n\n") << S::Ok << QByteArray("/a?b=c")
                             << true << false;
    QTest::newRow("content length") << QByteArray("POST /a HTTP/1.1\r\nContent-Length: 5\r\n\r\n") << S::Ok
                                    << QByteArray("/a") << true << true;
    QTest::newRow("repeated equal lengths")
        << QByteArray("POST /a HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 5\r\n\r\n") << S::Ok
        << QByteArray("/a") << true << true;
    QTest::newRow("chunked") << QByteArray("POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n") << S::Ok
                             << QByteArray("/a") << true << true;

    const QByteArray none;
    QTest::newRow("HTTP/2") << QByteArray("GET /a HTTP/2.0\r\n\r\n") << S::UnsupportedVersion << none << false
                            << false;
    QTest::newRow("no version") << QByteArray("GET /a\r\n\r\n") << S::Malformed << none << false << false;
    QTest::newRow("lower-case version") << QByteArray("GET /a http/1.1\r\n\r\n") << S::Malformed << none << false
                                        << false;
    QTest::newRow("double space") << QByteArray("GET  /a HTTP/1.1\r\n\r\n") << S::Malformed << none << false
                                  << false;
    QTest::newRow("space in target") << QByteArray("GET /a b HTTP/1.1\r\n\r\n") << S::Malformed << none << false
                                     << false;
    QTest::newRow("CR in target") << QByteArray("GET /a\rb HTTP/1.1\r\n\r\n") << S::Malformed << none << false
                                  << false;
    QTest::newRow("8-bit byte in target") << QByteArray("GET /\xe9 HTTP/1.1\r\n\r\n") << S::Malformed << none
                                          << false << false;
    QTest::newRow("method not a token") << QByteArray("G(T /a HTTP/1.1\r\n\r\n") << S::Malformed << none << false
                                        << false;
    QTest::newRow("space before colon") << QByteArray("GET /a HTTP/1.1\r\nHost : x\r\n\r\n") << S::Malformed
                                        << none << false << false;
    QTest::newRow("folded field") << QByteArray("GET /a HTTP/1.1\r\nX-A: 1\r\n 2\r\n\r\n") << S::Malformed << none
                                  << false << false;
    QTest::newRow("control character in value") << QByteArray("GET /a HTTP/1.1\r\nX-A: 1\x01\r\n\r\n")
                                                << S::Malformed << none << false << false;
    QTest::newRow("negative length") << QByteArray("GET /a HTTP/1.1\r\nContent-Length: -1\r\n\r\n") << S::Malformed
                                     << none << false << false;
    QTest::newRow("conflicting lengths")
        << QByteArray("GET /a HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n") << S::Malformed << none
        << false << false;
}

void CourseServerLogicTest::parseRequestHead()
{
    QFETCH(QByteArray, head);
    QFETCH(RequestHeadParse::Status, status);
    QFETCH(QByteArray, target);
    QFETCH(bool, keepAlive);
    QFETCH(bool, hasBody);

    const RequestHeadParse parsed = ::parseRequestHead(head);
    QCOMPARE(parsed.status, status);
    if (status != RequestHeadParse::Status::Ok)
        return;
    QCOMPARE(parsed.request.target, target);
    QCOMPARE(parsed.request.wantsKeepAlive(), keepAlive);
    QCOMPARE(parsed.request.hasBody(), hasBody);
}

void CourseServerLogicTest::requestedRange_data()
{
    QTest::addColumn<QByteArray>("fields");
    QTest::addColumn<ByteRange::Kind>("kind");
    QTest::addColumn<qint64>("first");

    using K = ByteRange::Kind;
    QTest::newRow("one Range") << QByteArray("Range: bytes=6-\r\n") << K::Partial << qint64(6);
    QTest::newRow("none") << QByteArray() << K::WholeFile << qint64(0);
    QTest::newRow("two Range fields") << QByteArray("Range: bytes=6-\r\nRange: bytes=1-2\r\n") << K::WholeFile
                                      << qint64(0);
    // No validators are sent, so no If-Range can match: the whole file.
    QTest::newRow("If-Range, entity tag") << QByteArray("Range: bytes=6-\r\nIf-Range: \"old\"\r\n") << K::WholeFile
                                          << qint64(0);
    QTest::newRow("If-Range, date") << QByteArray("If-Range: Sat, 01 Jan 2000 00:00:00 GMT\r\nRange: bytes=0-1\r\n")
                                    << K::WholeFile << qint64(0);
    QTest::newRow("If-Range, empty") << QByteArray("Range: bytes=6-\r\nIf-Range:\r\n") << K::WholeFile << qint64(0);
    QTest::newRow("If-Range, unsatisfiable range") << QByteArray("Range: bytes=99-\r\nIf-Range: \"x\"\r\n")
                                                   << K::WholeFile << qint64(0);
    QTest::newRow("If-Range alone") << QByteArray("If-Range: \"x\"\r\n") << K::WholeFile << qint64(0);
}

void CourseServerLogicTest::requestedRange()
{
    QFETCH(QByteArray, fields);
    QFETCH(ByteRange::Kind, kind);
    QFETCH(qint64, first);
    const QByteArray head = "GET / HTTP/1.1\r\nHost: a\r\n" + fields + "\r\n";
    const RequestHeadParse parsed = ::parseRequestHead(head);
    QCOMPARE(parsed.status, RequestHeadParse::Status::Ok);
    const ByteRange range = ::requestedRange(parsed.request, 10);
    QCOMPARE(range.kind, kind);
    QCOMPARE(range.first, first);
}

void CourseServerLogicTest::framingPipelinedHeads()
{
    // Three requests, the stray line ends some clients send between them,
    // and the start of a fourth, arriving a few bytes at a time.
    const QByteArray stream = "GET /a HTTP/1.1\r\nHost: a\r\n\r\n\r\n"
                              "HEAD /b HTTP/1.1\nHost: a\n\n"
                              "GET /c HTTP/1.1\r\nHost: a\r\n\r\n"
                              "GET /d HTT";
    RequestFramer framer;
    QList<QByteArray> heads;
    for (qsizetype at = 0; at < stream.size(); at += 7) {
        framer.append(QByteArrayView(stream).sliced(at, qMin<qsizetype>(7, stream.size() - at)));
        for (RequestFramer::Next next = framer.next(); next.kind == RequestFramer::Next::Kind::Head;
             next = framer.next())
            heads.append(next.head);
    }
    QCOMPARE(heads, (QList<QByteArray>{"GET /a HTTP/1.1\r\nHost: a\r\n\r\n", "HEAD /b HTTP/1.1\nHost: a\n\n",
                                       "GET /c HTTP/1.1\r\nHost: a\r\n\r\n"}));
    QVERIFY(!framer.isEmpty());
    QCOMPARE(framer.takePending(), "GET /d HTT");

    // A head never grows past its bound: the framer takes no more than
    // that, and says the head is too large.
    framer.append(QByteArray("GET / HTTP/1.1\r\nX: " + QByteArray(RequestFramer::kMaxHeadBytes, 'x')));
    QCOMPARE(framer.wanted(), 0);
    QCOMPARE(framer.next().kind, RequestFramer::Next::Kind::TooLarge);
    QVERIFY(framer.isEmpty());
    QCOMPARE(framer.wanted(), RequestFramer::kMaxHeadBytes + 1);
}

QTEST_APPLESS_MAIN(CourseServerLogicTest)
#include "tst_course_server_logic.moc"

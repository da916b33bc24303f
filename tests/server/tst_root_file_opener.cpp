// Opening files below the web root on a real folder, with the kernel's check
// (openat2) and with the name-by-name walk that older kernels get, so both
// are proven on every machine: the same answers, and no way out of the root
// through a link, not even one swapped in while files are being opened.

#include "CourseFixture.h"
#include "PathResolver.h"
#include "RootFileOpener.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTest>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

Q_DECLARE_METATYPE(RootFileOpener::Method)
Q_DECLARE_METATYPE(ResolvedPath::Outcome)

namespace {

const char *methodName(RootFileOpener::Method method)
{
    return method == RootFileOpener::Method::Automatic ? "automatic" : "name by name";
}

QByteArray readAll(int fd)
{
    QByteArray contents;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        contents.append(buffer, got);
    return contents;
}

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

} // namespace

class RootFileOpenerTest final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void resolvesBelowRoot_data();
    void resolvesBelowRoot();
    void neverOpensThroughASwappedInLink_data();
    void neverOpensThroughASwappedInLink();

private:
    CourseFixture m_fixture;
};

void RootFileOpenerTest::initTestCase()
{
    QVERIFY2(m_fixture.error().isEmpty(), qPrintable(m_fixture.error()));
    RootFileOpener automatic;
    QVERIFY2(automatic.openRoot(m_fixture.root()), qPrintable(automatic.errorString()));
    qInfo("this kernel %s openat2", automatic.kernelChecked() ? "has" : "lacks");
}

void RootFileOpenerTest::resolvesBelowRoot_data()
{
    QTest::addColumn<RootFileOpener::Method>("method");
    QTest::addColumn<QStringList>("segments");
    QTest::addColumn<ResolvedPath::Outcome>("outcome");
    QTest::addColumn<QByteArray>("body"); // for File
    QTest::addColumn<QString>("name");    // for File

    using O = ResolvedPath::Outcome;
    struct Case
    {
        const char *name;
        QStringList segments;
        O outcome;
        QByteArray body;
        QString fileName;
    };
    const auto split = [](const char *path) { return QString::fromLatin1(path).split(u'/', Qt::SkipEmptyParts); };
    const QList<Case> cases = {
        {"file", split("kq_cbt/kq/kqd.vxp"), O::File, CourseFixture::pageBody(), QStringLiteral("kqd.vxp")},
        {"folder with index", split("practicestudent/exam/tamberlyn/slug"), O::File, CourseFixture::examBody(),
         QStringLiteral("index.html")},
        {"root without index", {}, O::NotFound, {}, {}},
        {"folder without index", split("kq_cbt/kq"), O::NotFound, {}, {}},
        {"missing", split("kq_cbt/missing.vxp"), O::NotFound, {}, {}},
        {"below a file", split("kq_cbt/kq/kqd.vxp/more"), O::NotFound, {}, {}},
        {"FIFO", split("kq_cbt/pipe"), O::NotFound, {}, {}},
        {"link to a file outside", split("link-out-file"), O::Refused, {}, {}},
        {"below a link to a folder outside", split("link-out-dir/inner.txt"), O::Refused, {}, {}},
        {"missing below a link outside", split("link-out-dir/missing.txt"), O::Refused, {}, {}},
        {"link staying inside", split("link-to-page.vxp"), O::Refused, {}, {}},
        {"folder link staying inside", split("link-to-exam"), O::Refused, {}, {}},
        {"index.html that is a link", split("kq_cbt/escaping-index"), O::Refused, {}, {}},
        {"name holding a slash", {QStringLiteral("kq_cbt/kq")}, O::Refused, {}, {}},
        {"dot-dot name", {QStringLiteral("kq_cbt"), QStringLiteral("..")}, O::Refused, {}, {}},
    };
    for (const RootFileOpener::Method method : {RootFileOpener::Method::Automatic, RootFileOpener::Method::NameByName}) {
        for (const Case &c : cases) {
            QTest::addRow("%s: %s", methodName(method), c.name)
                << method << c.segments << c.outcome << c.body << c.fileName;
        }
    }
}

void RootFileOpenerTest::resolvesBelowRoot()
{
    QFETCH(RootFileOpener::Method, method);
    QFETCH(QStringList, segments);
    QFETCH(ResolvedPath::Outcome, outcome);
    QFETCH(QByteArray, body);
    QFETCH(QString, name);

    RootFileOpener root(method);
    QVERIFY2(root.openRoot(m_fixture.root()), qPrintable(root.errorString()));
    const ResolvedPath resolved = resolveInsideRoot(root, segments);
    QCOMPARE(resolved.outcome, outcome);
    QCOMPARE(resolved.file.isValid(), outcome == ResolvedPath::Outcome::File);
    if (outcome != ResolvedPath::Outcome::File)
        return;
    QCOMPARE(resolved.name, name);
    QCOMPARE(resolved.size, body.size());
    QCOMPARE(readAll(resolved.file.get()), body);
}

void RootFileOpenerTest::neverOpensThroughASwappedInLink_data()
{
    QTest::addColumn<RootFileOpener::Method>("method");
    QTest::addColumn<bool>("swapFolder"); // else the file itself

    for (const RootFileOpener::Method method : {RootFileOpener::Method::Automatic, RootFileOpener::Method::NameByName}) {
        QTest::addRow("%s: file swapped", methodName(method)) << method << false;
        QTest::addRow("%s: folder swapped", methodName(method)) << method << true;
    }
}

void RootFileOpenerTest::neverOpensThroughASwappedInLink()
{
    QFETCH(RootFileOpener::Method, method);
    QFETCH(bool, swapFolder);

    // race/folder/inner.txt and race/file.txt trade places, atomically and
    // over and over, with links to the secret folder and file outside.
    const QString race = m_fixture.root() + QStringLiteral("/race-") + QString::number(swapFolder);
    const QString outside = QFileInfo(m_fixture.root()).path() + QStringLiteral("/outside");
    const QByteArray inside("inside the root\n");
    QVERIFY(QDir().mkpath(race + QStringLiteral("/folder")));
    QVERIFY(writeFile(race + QStringLiteral("/folder/inner.txt"), inside));
    QVERIFY(writeFile(race + QStringLiteral("/file.txt"), inside));
    const QString real = race + (swapFolder ? QStringLiteral("/folder") : QStringLiteral("/file.txt"));
    const QString link = race + QStringLiteral("/link");
    QFile::remove(link);
    QVERIFY(QFile::link(swapFolder ? outside : m_fixture.secretPath(), link));

    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        const QByteArray a = QFile::encodeName(real);
        const QByteArray b = QFile::encodeName(link);
        while (!stop.load())
            ::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE);
    });
    const auto joinSwapper = qScopeGuard([&] {
        stop = true;
        swapper.join();
        // Leave the real one in its place for the next run.
        if (QFileInfo(real).isSymLink())
            ::renameat2(AT_FDCWD, QFile::encodeName(real).constData(), AT_FDCWD, QFile::encodeName(link).constData(),
                        RENAME_EXCHANGE);
    });

    RootFileOpener root(method);
    QVERIFY2(root.openRoot(m_fixture.root()), qPrintable(root.errorString()));
    const QStringList segments = QStringList{QFileInfo(race).fileName()}
                                 + (swapFolder ? QStringList{QStringLiteral("folder"), QStringLiteral("inner.txt")}
                                               : QStringList{QStringLiteral("file.txt")});
    int opened = 0;
    int refused = 0;
    for (int i = 0; i < 20000; ++i) {
        const ResolvedPath resolved = resolveInsideRoot(root, segments);
        if (resolved.outcome == ResolvedPath::Outcome::File) {
            const QByteArray contents = readAll(resolved.file.get());
            QVERIFY2(contents == inside, contents.constData());
            ++opened;
        } else {
            // The name was a link at the moment it was looked up.
            QCOMPARE(resolved.outcome, ResolvedPath::Outcome::Refused);
            ++refused;
        }
    }
    qInfo("%d opened inside, %d refused", opened, refused);
    // Both states were met, or the race proved nothing.
    QVERIFY(opened > 0);
    QVERIFY(refused > 0);
}

QTEST_APPLESS_MAIN(RootFileOpenerTest)
#include "tst_root_file_opener.moc"

#include "CourseFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

CourseFixture::CourseFixture()
{
    if (!m_dir.isValid()) {
        m_error = m_dir.errorString();
        return;
    }
    write(QStringLiteral("secret.txt"), secretMarker() + " file");
    write(QStringLiteral("outside/inner.txt"), secretMarker() + " inner");
    write(QStringLiteral("outside/index.html"), secretMarker() + " index");

    write(QStringLiteral("root/kq_cbt/kq/kqd.vxp"), pageBody());
    write(QStringLiteral("root/kq_cbt/kq/kq/title.avi"), videoBody());
    write(QStringLiteral("root/kq_cbt/kq/sound.wav"), QByteArrayLiteral("RIFF\x24\0\0\0WAVEfmt "));
    write(QStringLiteral("root/kq_cbt/kq/PHOTO.JPG"), QByteArrayLiteral("\xff\xd8\xff\xe0 jpeg"));
    write(QStringLiteral("root/kq_cbt/kq/two words.htm"), QByteArrayLiteral("<p>two words</p>"));
    write(QStringLiteral("root/kq_cbt/kq/notes.xyz"), QByteArrayLiteral("opaque"));
    write(QStringLiteral("root/kq_cbt/media/lesson.avi"), lessonBody());
    write(QStringLiteral("root/practicestudent/exam/tamberlyn/slug/index.html"), examBody());
    write(QStringLiteral("root/.htpasswd"), QByteArrayLiteral("hidden:password"));
    write(QStringLiteral("root/kq_cbt/.git/config"), QByteArrayLiteral("[core]"));

    QFile huge(m_dir.filePath(QStringLiteral("root/kq_cbt/huge.avi")));
    if (!huge.open(QIODevice::WriteOnly) || !huge.resize(hugeSize()))
        m_error = QStringLiteral("cannot make huge.avi: ") + huge.errorString();

    if (::mkfifo(QFile::encodeName(m_dir.filePath(QStringLiteral("root/kq_cbt/pipe"))).constData(), 0600) != 0)
        m_error = QStringLiteral("cannot make a FIFO");

    link(QStringLiteral("kq_cbt/kq/kqd.vxp"), QStringLiteral("root/link-to-page.vxp"));
    link(QStringLiteral("practicestudent/exam/tamberlyn/slug"), QStringLiteral("root/link-to-exam"));
    link(m_dir.filePath(QStringLiteral("secret.txt")), QStringLiteral("root/link-out-file"));
    link(QStringLiteral("../outside"), QStringLiteral("root/link-out-dir"));
    QDir().mkpath(m_dir.filePath(QStringLiteral("root/kq_cbt/escaping-index")));
    link(m_dir.filePath(QStringLiteral("outside/index.html")), QStringLiteral("root/kq_cbt/escaping-index/index.html"));
}

void CourseFixture::write(const QString &relativePath, const QByteArray &contents)
{
    const QString path = m_dir.filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        m_error = QStringLiteral("cannot write ") + path;
}

void CourseFixture::link(const QString &target, const QString &relativeLinkPath)
{
    if (!QFile::link(target, m_dir.filePath(relativeLinkPath)))
        m_error = QStringLiteral("cannot link ") + relativeLinkPath;
}

QByteArray CourseFixture::pageBody()
{
    return QByteArrayLiteral("<html><head><meta charset=\"windows-1252\"></head><body>Lektion 1</body></html>");
}

QByteArray CourseFixture::examBody()
{
    return QByteArrayLiteral("<html><body>practice exam</body></html>");
}

QByteArray CourseFixture::videoBody()
{
    return QByteArrayLiteral("RIFF....AVI LIST title video");
}

QByteArray CourseFixture::lessonBody()
{
    // Every 4-byte word holds its own index, so a chunk sent twice, skipped
    // or out of order shows up as a mismatch.
    static const QByteArray body = [] {
        constexpr qsizetype size = 3 * 1024 * 1024 + 123;
        QByteArray data(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            data[i] = static_cast<char>((i / 4 >> ((i % 4) * 8)) & 0xff);
        return data;
    }();
    return body;
}

QByteArray CourseFixture::secretMarker()
{
    return QByteArrayLiteral("TOP-SECRET-OUTSIDE-ROOT");
}

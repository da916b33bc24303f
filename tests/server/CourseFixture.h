#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A small course folder in a temporary directory, laid out like the real one,
// next to files outside it that must never be served:
//
//   secret.txt, outside/                  outside the web root
//   root/kq_cbt/kq/kqd.vxp ...            course pages and media
//   root/kq_cbt/media/lesson.avi          3 MiB, more than one send chunk
//   root/kq_cbt/huge.avi                  512 MiB, sparse
//   root/practicestudent/exam/tamberlyn/slug/index.html
//   root/link-*                           symbolic links, in and out
//   root/.htpasswd, root/kq_cbt/.git/     hidden files and folders
class CourseFixture final
{
    Q_DISABLE_COPY_MOVE(CourseFixture)

public:
    CourseFixture();

    // Empty when the fixture was made; otherwise what failed.
    QString error() const { return m_error; }
    QString root() const { return m_dir.filePath(QStringLiteral("root")); }
    // A file outside the root holding secretMarker().
    QString secretPath() const { return m_dir.filePath(QStringLiteral("secret.txt")); }

    static QByteArray pageBody();
    static QByteArray examBody();
    static QByteArray videoBody();
    static QByteArray lessonBody(); // the 3 MiB file, a non-repeating pattern
    static QByteArray secretMarker();
    static qint64 hugeSize() { return qint64(512) * 1024 * 1024; }

private:
    void write(const QString &relativePath, const QByteArray &contents);
    void link(const QString &target, const QString &relativeLinkPath);

    QTemporaryDir m_dir;
    QString m_error;
};

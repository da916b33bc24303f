#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// nginx in the foreground on a free loopback port, serving a course folder
// through the documented server block (docs/nginx/tamberlyn-course.conf)
// with only its site-specific lines replaced, behind a self-signed
// certificate for 127.0.0.1 made with the openssl commands the
// documentation gives. Everything lives in a private folder; the destructor
// stops nginx.
class NginxCourseServer final
{
    Q_DISABLE_COPY_MOVE(NginxCourseServer)

public:
    NginxCourseServer();
    ~NginxCourseServer();

    // The nginx binary (also looked for in the sbin folders, which a
    // non-root PATH lacks); empty when nginx is not installed.
    static QString program();

    // False with the reason in error().
    bool start(const QString &documentedConfig, const QString &root);
    void stop();

    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    // "AB:CD:...", as openssl prints it: what goes into course/pin.
    QString fingerprint() const { return m_fingerprint; }
    QString certificateFile() const { return m_dir.filePath(QStringLiteral("cert.pem")); }
    // The access log as written so far.
    QString accessLog() const;
    QString error() const { return m_error; }

private:
    bool fail(const QString &reason);
    bool makeCertificate();
    bool writeConfig(const QString &documentedConfig, const QString &root, int port);
    bool launch(int port);

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_nginx;
    QString m_fingerprint;
    int m_port = 0;
    QString m_error;
};

#include "scratchfiles.h"

#include "fuzzcheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace Tamberlyn::Fuzz {

namespace {

const QTemporaryDir &scratchFolder()
{
    // The process id in the name keeps parallel runs (-jobs, -fork) apart.
    static const QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/tamberlyn-fuzz-%1-XXXXXX")
                                                           .arg(QCoreApplication::applicationPid()));
    require(folder.isValid(), "cannot make the scratch folder");
    return folder;
}

} // namespace

QString writeScratchFile(const QString &name, const QByteArray &bytes)
{
    const QString path = scratchFolder().filePath(name);
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write a scratch file", path);
    require(file.write(bytes) == bytes.size(), "short write to a scratch file", path);
    return path;
}

QString missingScratchFile()
{
    return scratchFolder().filePath(QStringLiteral("missing"));
}

} // namespace Tamberlyn::Fuzz

#include "coursekey.h"

#include <QHostAddress>
#include <QUrl>

namespace Tamberlyn::Learner {

QString courseKey(const QString &fileLocn)
{
    QUrl url(fileLocn, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return fileLocn;
    const QString host = url.host(); // QUrl keeps hosts in lower case
    const bool loopback = host == QLatin1String("localhost") || QHostAddress(host).isLoopback();
    if (loopback)
        url.setPort(-1);
    url.setScheme(url.scheme().toLower());
    return url.toString(QUrl::FullyEncoded);
}

QString pageKey(const QString &pageName)
{
    const qsizetype hash = pageName.indexOf(QLatin1Char('#'));
    return hash < 0 ? pageName : pageName.left(hash);
}

} // namespace Tamberlyn::Learner

#include "MimeTypes.h"

#include <QLatin1StringView>

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<QLatin1StringView, const char *>, 14> kTypes{{
    {QLatin1StringView("vxp"), "text/html"},
    {QLatin1StringView("html"), "text/html"},
    {QLatin1StringView("htm"), "text/html"},
    {QLatin1StringView("avi"), "video/x-msvideo"},
    {QLatin1StringView("wav"), "audio/wav"},
    {QLatin1StringView("jpg"), "image/jpeg"},
    {QLatin1StringView("jpeg"), "image/jpeg"},
    {QLatin1StringView("png"), "image/png"},
    {QLatin1StringView("gif"), "image/gif"},
    {QLatin1StringView("bmp"), "image/bmp"},
    {QLatin1StringView("svg"), "image/svg+xml"},
    {QLatin1StringView("css"), "text/css"},
    {QLatin1StringView("js"), "text/javascript"},
    {QLatin1StringView("txt"), "text/plain"},
}};

} // namespace

QByteArray contentTypeForFileName(QStringView fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot >= 0) {
        const QStringView extension = fileName.sliced(dot + 1);
        for (const auto &[known, type] : kTypes) {
            if (extension.compare(known, Qt::CaseInsensitive) == 0)
                return QByteArray(type);
        }
    }
    return QByteArrayLiteral("application/octet-stream");
}

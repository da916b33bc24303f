#include "pagespot.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace Tamberlyn::Learner {

namespace {

double share(double value)
{
    return std::isfinite(value) ? qBound(0.0, value, 1.0) : 0.0;
}

PageSpot fromMap(const QVariantMap &map)
{
    PageSpot spot;
    spot.quote = map.value(QStringLiteral("quote")).toString().simplified().left(PageSpot::MaxQuote).trimmed();
    const double occurrence = map.value(QStringLiteral("occurrence")).toDouble();
    spot.occurrence = std::isfinite(occurrence) ? static_cast<int>(qBound(0.0, occurrence, 1000000.0)) : 0;
    spot.fraction = share(map.value(QStringLiteral("fraction")).toDouble());
    spot.ratio = share(map.value(QStringLiteral("ratio")).toDouble());
    if (spot.quote.isEmpty()) {
        spot.occurrence = 0;
        spot.fraction = 0.0;
    }
    return spot;
}

} // namespace

QString PageSpot::toJson() const
{
    const QJsonObject object{{QStringLiteral("quote"), quote},
                             {QStringLiteral("occurrence"), occurrence},
                             {QStringLiteral("fraction"), fraction},
                             {QStringLiteral("ratio"), ratio}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

PageSpot PageSpot::fromJson(const QString &json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    return document.isObject() ? fromMap(document.object().toVariantMap()) : PageSpot{};
}

PageSpot PageSpot::fromVariant(const QVariant &value)
{
    return fromMap(value.toMap());
}

} // namespace Tamberlyn::Learner

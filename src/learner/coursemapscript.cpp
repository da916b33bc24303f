#include "coursemapscript.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace Tamberlyn::Learner {

namespace {

// A synchronous request: the script's value must be the list itself, and it
// runs once per run of the viewer, on a page of a few kilobytes.
constexpr char ScriptBody[] = R"JS(
  'use strict';
  try {
    var request = new XMLHttpRequest();
    request.open('GET', address, false);
    request.send(null);
    if (request.status < 200 || request.status >= 300)
      return [];
    var doc = new DOMParser().parseFromString(request.responseText, 'text/html');
    return Array.from(doc.querySelectorAll('a[href]')).map(function (a) {
      return new URL(a.getAttribute('href'), address).href;
    });
  } catch (e) {
    return [];
  }
)JS";

} // namespace

QString courseMapLinksScript(const QString &address)
{
    const QString json = QString::fromUtf8(QJsonDocument(QJsonArray{address}).toJson(QJsonDocument::Compact));
    return QStringLiteral("(function (address) {") + QString::fromUtf8(ScriptBody) + QStringLiteral("})(") + json
           + QStringLiteral("[0]);");
}

} // namespace Tamberlyn::Learner

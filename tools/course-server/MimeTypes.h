#pragma once

#include <QByteArray>
#include <QStringView>

// Content-Type for a served file, chosen by its extension (case-insensitive).
// Course pages (.vxp, .html) are Windows-1252 or UTF-8 with their own meta
// charset, so no charset parameter is added: the page's declaration wins.
QByteArray contentTypeForFileName(QStringView fileName);

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace Tamberlyn::Simulator {

// What OrvaneName holds is whatever some process left there: any bytes,
// with or without a terminating zero.

// The bytes that count: up to the first zero, or all of them without one.
QByteArray meaningfulBytes(QByteArrayView block);

// Those bytes decoded as Windows-1252, one character per byte.
QString decodePath(QByteArrayView block);

// The circuit file's name: what follows the last '\' or '/'.
QString fileNameOf(const QString &path);

// `text` fit for one output line or one label line: control characters
// (C0, DEL and C1) become \xNN, so a stray newline cannot end the line
// early and a test reading line by line sees the whole path.
QString printable(const QString &text);

} // namespace Tamberlyn::Simulator

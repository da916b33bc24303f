#pragma once

#include <QByteArray>
#include <QString>

// Readers that take a path get the fuzz input through a real file: one
// folder per process, made on first use and removed when the process ends
// normally, with the same few file names written over for every input.
namespace Tamberlyn::Fuzz {

// The path of `name` in the scratch folder, now holding exactly `bytes`.
QString writeScratchFile(const QString &name, const QByteArray &bytes);

// A path in the scratch folder where no file is.
QString missingScratchFile();

} // namespace Tamberlyn::Fuzz

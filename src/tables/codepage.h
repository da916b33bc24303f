#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace Tamberlyn::Tables {

// The single-byte ANSI code page the table files and the history file are
// written in. Windows-1252 is the only one built in; a setting that names it
// (or nothing) selects it, and a caller that finds another name in the
// settings learns from named() that it is not available.
class CodePage final
{
public:
    static CodePage windows1252();
    // "windows-1252", "cp1252" or "1252", in any letter case.
    static std::optional<CodePage> named(QStringView name);

    QString name() const { return QString::fromLatin1(m_name); }
    QString decode(QByteArrayView bytes) const { return m_decode(bytes); }
    // A character the code page cannot hold becomes '?'.
    QByteArray encode(QStringView text) const { return m_encode(text); }
    // True when every character of the text has a byte of its own.
    bool canEncode(QStringView text) const;

private:
    using Decoder = QString (*)(QByteArrayView);
    using Encoder = QByteArray (*)(QStringView);
    CodePage(const char *name, Decoder decoder, Encoder encoder);

    const char *m_name;
    Decoder m_decode;
    Encoder m_encode;
};

} // namespace Tamberlyn::Tables

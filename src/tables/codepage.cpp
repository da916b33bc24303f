#include "codepage.h"

#include "platform/ansicodepage.h"

namespace Tamberlyn::Tables {

CodePage::CodePage(const char *name, Decoder decoder, Encoder encoder)
    : m_name(name)
    , m_decode(decoder)
    , m_encode(encoder)
{
}

CodePage CodePage::windows1252()
{
    return CodePage("windows-1252", &Platform::fromAnsi, &Platform::toAnsi);
}

std::optional<CodePage> CodePage::named(QStringView name)
{
    if (name.isEmpty())
        return windows1252();
    for (const auto known : {u"windows-1252", u"cp1252", u"1252"}) {
        if (name.compare(QStringView(known), Qt::CaseInsensitive) == 0)
            return windows1252();
    }
    return std::nullopt;
}

bool CodePage::canEncode(QStringView text) const
{
    // Every byte decodes to a character of its own, so a text survives the
    // round trip exactly when nothing was replaced by '?'.
    return decode(encode(text)) == text;
}

} // namespace Tamberlyn::Tables

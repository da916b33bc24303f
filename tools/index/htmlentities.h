#pragma once

#include <QString>

#include <optional>

namespace Tamberlyn::IndexTool {

// The text of an HTML character reference at the start of `text` ("&amp;",
// "&#233;", "&#xE9;"), and how many characters it takes up. Nothing when
// `text` does not start with a reference this tool knows: the common named
// ones, the Latin-1 letters and signs, and every numeric one.
struct Entity
{
    QString text;
    qsizetype length = 0;
};
std::optional<Entity> entityAt(QStringView text);

} // namespace Tamberlyn::IndexTool

#pragma once

#include <QList>
#include <QStringView>

#include <optional>

// The number rules of the table files.
namespace Tamberlyn::Tables {

// The number field of a "files.vxp" line converts to a 16-bit signed
// integer: optional spaces around an optional sign and decimal digits, with
// a value from -32768 to 32767. The value itself plays no part.
bool isInt16Field(QStringView field);

// One field of a file list, as walked: the text up to the next TAB.
struct FileListField
{
    QStringView text;
    bool tabbed = true; // false for a last number that lacks its TAB
};

// Walks a file list: take the text up to the first TAB, drop it and its TAB,
// and go on while text remains. A last number without its TAB is still a
// field; an empty list has none.
QList<FileListField> fileListFields(QStringView fileList);

// The same walk one field at a time, for a reader that must not keep a
// list the length of a hostile line of TABs.
class FileListWalker final
{
public:
    explicit FileListWalker(QStringView fileList)
        : m_list(fileList)
    {
    }

    // The next field, or nothing once the list is used up.
    std::optional<FileListField> next();

private:
    QStringView m_list;
    qsizetype m_pos = 0;
};

// A file number is decimal digits (spaces around them allowed) from 1 to
// 12400, the line numbers a "files.vxp" can have. Nothing for anything else,
// which the finders then skip: 0, numbers above 12400, signs, letters, and
// empty fields.
std::optional<qsizetype> fileNumber(QStringView field);

} // namespace Tamberlyn::Tables

#pragma once

#include <QString>

// The text rules every finder comparison uses.
namespace Tamberlyn::Tables {

// Leading and trailing spaces removed. Only the space character counts:
// TABs and other white space are ordinary characters to the finders.
QStringView trimSpaces(QStringView text);

// Upper case one character at a time, never changing the length ("ß" stays
// "ß"), so the upper case of a prefix is the prefix of the upper case. Case-
// insensitive comparisons in the finders are comparisons of this form.
QString upperCase(QStringView text);

// What the Search and Index windows compare: the upper case, with the
// typographic apostrophes (\u2019, \u2018, \u02BC) and hyphens (\u2010,
// \u2011) read as the plain ' and -. A learner cannot tell them apart on the
// page, and types the plain ones; a query pasted from the page carries the
// others. Length is kept, as by upperCase().
QString searchKey(QStringView text);

} // namespace Tamberlyn::Tables

#pragma once

#include <QString>

namespace Tamberlyn::Learner {

// The key a course's record is filed under: its base address with the
// scheme and host in lower case, as a browser compares them. A course
// served from this computer (a loopback host) is one course whatever its
// port: the demo's server takes a free port at every start, and a record
// that forgot the learner each time would be no record.
QString courseKey(const QString &fileLocn);

// A page as the record knows it: its name without a fragment, so a link to
// a place inside a page counts as that page.
QString pageKey(const QString &pageName);

} // namespace Tamberlyn::Learner

#pragma once

#include <QList>
#include <QStringList>

namespace Tamberlyn::Learner {

// Marks a file as a learner record of this viewer ("TBLR"), so a stranger's
// SQLite file is told apart from an old or empty record.
inline constexpr int LearnerApplicationId = 0x54424C52;

// One step of the record's format: the statements that bring a record of
// version `version - 1` to `version`. A record is brought up step by step,
// each step in a transaction of its own that also sets the new version,
// so a record is always at one version or the next, never between.
struct SchemaStep
{
    int version = 0;
    QStringList statements;
};

// Every step from an empty file on; the last one's version is the current one.
const QList<SchemaStep> &learnerSchemaSteps();

} // namespace Tamberlyn::Learner

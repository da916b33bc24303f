#pragma once

#include <QLoggingCategory>

// Diagnostics of the course server (stderr). Request lines and start-up
// announcements go to stdout instead, because scripts parse them.
Q_DECLARE_LOGGING_CATEGORY(lcServer)

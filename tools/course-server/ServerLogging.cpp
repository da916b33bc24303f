#include "ServerLogging.h"

Q_LOGGING_CATEGORY(lcServer, "tamberlyn.server", QtInfoMsg)

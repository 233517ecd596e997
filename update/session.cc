#include "update/session.h"

UpdateSession g_session;

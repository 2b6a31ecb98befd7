#include "sync/net/CalDavClient.h"

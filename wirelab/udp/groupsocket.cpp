#include "groupsocket.h"

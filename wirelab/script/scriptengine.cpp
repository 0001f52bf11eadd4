#include "scriptengine.h"

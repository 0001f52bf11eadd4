#include "jsondoc.h"

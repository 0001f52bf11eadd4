#include "adapterinfo.h"

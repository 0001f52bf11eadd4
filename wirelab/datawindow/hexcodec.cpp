#include "hexcodec.h"

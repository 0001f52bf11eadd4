#include "portprobe.h"

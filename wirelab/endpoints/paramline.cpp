#include "paramline.h"

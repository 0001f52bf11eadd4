#include "tnmudp.h"

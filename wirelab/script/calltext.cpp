#include "calltext.h"

#include "util/UdsStrUtils.h"

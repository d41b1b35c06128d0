#include "data/UVirtualTable.h"

#include "network/NetworkService.h"

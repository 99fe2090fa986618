#include "network/model/NetworkService.h"

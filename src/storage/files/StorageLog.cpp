#include "storage/files/StorageLog.h"

Q_LOGGING_CATEGORY(storageLog, "quorvex.storage", QtInfoMsg)

// Handles and their records, carved from large blocks that are never released, without a lock.
#pragma once

#include "SObject_Exp.h"
#include "json/NodeRecord.h"

// A new handle with a record of its own holding fields; null when memory ran out.
SObject_Exp* newHandle(const NodeRecord& fields);

// A new handle on the one record that every handle that does not exist shares; null when memory ran
// out. Each call gives a distinct handle: a caller may assign to it.
SObject_Exp* newMissingHandle();

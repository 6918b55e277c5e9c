// Data access in one include: the data set with its fields, field and index definitions and
// parameters; the data source that joins a data set to controls, and the data links through which
// controls follow one.
#pragma once

#include "platform/classlib/DBTypes.h"
#include "platform/classlib/DataLinks.h"
#include "platform/classlib/DataSet.h"
#include "platform/classlib/DataSource.h"
#include "platform/classlib/FieldDefs.h"
#include "platform/classlib/Fields.h"
#include "platform/classlib/IndexDefs.h"
#include "platform/classlib/Params.h"

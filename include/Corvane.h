// Corvane add-on interface: everything an add-on can call in Corvane.exe, in one include.
#pragma once

#include "CJSON_Exp.h"
#include "CRedirector.h"
#include "CmdLine.h"
#include "SObject_Exp.h"
#include "Storm.h"
#include "StringUtils.h"
#include "patch.h"

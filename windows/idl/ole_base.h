#pragma once
/* What the IDL compiler's headers include for ole_base.idl: the system's own declarations. */
#include <ole2.h>

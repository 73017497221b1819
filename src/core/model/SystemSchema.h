// The attribute types and object classes the LDAP standards define and servers build in
// rather than load from a file (RFC 4512's system schema and operational attributes, the
// RFC 4519 types every schema file builds on, RFC 2079, 2307, 2589, 3296, 3672, 4530 and
// 5020): a files tree resolves through them what no file defines, as the server does.
#pragma once

#include "core/model/PublishedElements.h"

const PublishedElements& SystemSchema();

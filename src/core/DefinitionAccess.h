// One class or attribute definition of Tree #1 or #2, from the live tree or the slot's
// schema file; failing directory reads are reported through ui as "Error %04X: %s".
#pragma once

#include <string>

#include "Definitions.h"
#include "UiHooks.h"
#include "Workspace.h"

void GetClassDef(Workspace& ws, UiHooks& ui, int tree, const std::string& className,
                 TClassInfo& info);
void GetAttrDef(Workspace& ws, UiHooks& ui, int tree, const std::string& attrName,
                std::string& definition);

// One class or attribute definition of Tree #1 or #2, from the live tree or the slot's
// schema file; failing directory reads are reported through ui as "Error %04X: %s".
#pragma once

#include <string>

#include "core/UiHooks.h"
#include "core/Workspace.h"
#include "core/model/Definitions.h"

// Both give false when a directory read failed (the definition is then not the whole one).
bool GetClassDef(Workspace& ws, UiHooks& ui, int tree, const std::string& className,
                 TClassInfo& info);
bool GetAttrDef(Workspace& ws, UiHooks& ui, int tree, const std::string& attrName,
                std::string& definition);

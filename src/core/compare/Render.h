// A class or attribute definition as list-box lines.
#pragma once

#include <string>
#include <vector>

#include "Definitions.h"

// Sorts each item list of info in place, as the rendering shows them sorted.
std::vector<std::string> DisplayClass(const std::string& className, TClassInfo& info);
std::vector<std::string> DisplayAttribute(const std::string& attrName, const TAttrInfo& info);

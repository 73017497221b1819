// A class or attribute definition as list-box lines.
#pragma once

#include <string>
#include <vector>

#include "core/model/Definitions.h"
#include "core/model/LdapElement.h"
#include "core/model/PublishedElements.h"

// Sorts each item list of info in place, as the rendering shows them sorted.
std::vector<std::string> DisplayClass(const std::string& className, TClassInfo& info);
std::vector<std::string> DisplayAttribute(const std::string& attrName, const TAttrInfo& info);

// A published definition laid out as the class rendering is: its first NAME (else name), then
// each field's
// label with its values indented beneath; then an empty line, "Published definition:" and
// the text as published (wrapped at blanks for a pane, on one line for a script).
std::vector<std::string> DisplayElement(const std::string& name, const LdapElement& element,
                                        const PublishedElements& in, bool wrap);

// Published definitions compared as sets: the element types beside classes and attribute
// types matched by OID, and names one tree lacks that the other uses for the same OID.
#pragma once

#include <string>
#include <vector>

#include "core/compare/ElementFields.h"
#include "core/compare/Findings.h"
#include "core/model/PublishedElements.h"
#include "core/model/TreeSchema.h"

// The name a finding gives an element: its first NAME, else its OID.
std::string ElementShownName(const LdapElement& element);

// Elements of one type matched by OID: Tree #1's unique ones, Tree #2's, then the fields
// of each common one that differ, in Tree #1's order. When one tree publishes the type and
// the other does not, one line says so.
void CompareElementSets(ElementType type, const PublishedElements& tree1,
                        const PublishedElements& tree2, const FieldFilter& filter, Findings& out);

// For each name unique to one tree (as its lists give it) whose definition's OID the
// other tree publishes under another name: a SameOid finding naming both as their lists
// do, a pair reported once.
void FindSameOids(ElementType type, const std::vector<std::string>& unique1,
                  const std::vector<std::string>& unique2, const TreeSchema& tree1,
                  const TreeSchema& tree2, Findings& out);

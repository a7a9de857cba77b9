#pragma once

#include <QString>

#include <libxml/tree.h>

#include <optional>

/**
 * What the original service refuses in a style sheet although libxslt compiles it and carries on
 * (unknown instructions and attributes, malformed attribute values, content an instruction may not
 * have, ...): a description naming the element, the attribute and the line, or nothing when the
 * sheet passes. Only the document itself is checked, not the modules it includes or imports.
 */
std::optional<QString> styleSheetProblem(xmlDoc* sheet);

/**
 * In a style sheet of a later XSLT version, an instruction this version does not know fails when
 * it is reached unless it has an xsl:fallback; libxslt skips it silently. Each such instruction of
 * the (copied) sheet becomes a terminating xsl:message naming it. Attributes and values of
 * known instructions that this version does not know are dropped, as such a sheet may use them.
 */
void failUnknownInstructionsWithoutFallback(xmlDoc* sheet);

// Attributes of the XSLT namespace mean nothing on XSLT elements (xsl:use-attribute-sets belongs on
// literal result elements), and the original service ignores them where libxslt applies them.
void dropXsltAttributesOfInstructions(xmlDoc* sheet);

// xsl:number writes a value that is not a number, or that rounds to zero, as it is (an empty node-set
// writes nothing) where libxslt formats "NaN" or 0; each xsl:number with a value gets that choice.
// A format token of letters it has no numbering for counts in decimal, where libxslt may take
// the letters for punctuation.
void numberAsTheOriginalService(xmlDoc* sheet);

// CDATA sections of the sheet are text, as in XPath's data model; libxslt would escape one inside
// an xsl:text that disables output escaping.
void cdataSectionsAsText(xmlDoc* sheet);

// xsl:copy of an element copies its namespace nodes, those it inherits included, where libxslt
// copies only the declarations the element itself carries: each xsl:copy starts by copying them.
void copyInheritedNamespaces(xmlDoc* sheet);

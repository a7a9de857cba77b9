#pragma once

#include <libxml/tree.h>

/**
 * Shapes a result that is written as HTML the way the original service writes it: what an
 * element that HTML 4 declares empty holds follows it instead of being dropped, non-ASCII
 * characters of URI attributes are escaped as UTF-8, and the head's content-type meta element
 * names the output's media type and its encoding ("utf-8" unless the sheet names one).
 */
void shapeHtmlResult(xmlDoc* result, const xmlChar* mediaType, const xmlChar* encoding);

#pragma once

struct _xsltTransformContext;

// Replaces system-property in the transformation: xsl:version is the number 1, as the original
// service answers, where libxslt answers the text "1.0".
void installSystemProperty(_xsltTransformContext* context);

<?xml version="1.0" encoding="UTF-8"?>
<!-- The point list of points-plain.xsl with one script call per point that reads the point's grid
     coordinates through the document model and formats them. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:msxsl="urn:schemas-microsoft-com:xslt" xmlns:survey="urn:tabulon-bench:survey">
  <xsl:output method="text" encoding="UTF-8"/>

  <msxsl:script language="JScript" implements-prefix="survey"><![CDATA[
    function coordinates(grids) {
      var values = grids.item(0).childNodes;
      var text = '';
      for (var i = 0; i < values.length; ++i)
        text += (i ? ',' : '') + Number(values.item(i).text).toFixed(3);
      return text;
    }
  ]]></msxsl:script>

  <xsl:template match="/">
    <xsl:text>Name,North,East,Elevation&#10;</xsl:text>
    <xsl:for-each select="SurmexJob/Points/Point">
      <xsl:value-of select="Name"/>
      <xsl:text>,</xsl:text>
      <xsl:value-of select="survey:coordinates(Grid)"/>
      <xsl:text>&#10;</xsl:text>
    </xsl:for-each>
  </xsl:template>
</xsl:stylesheet>

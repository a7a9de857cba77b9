<?xml version="1.0" encoding="UTF-8"?>
<!-- points-script.xsl with its script written in VBScript: one call per point that reads the
     point's grid coordinates through the document model and formats them. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:msxsl="urn:schemas-microsoft-com:xslt" xmlns:survey="urn:tabulon-bench:survey">
  <xsl:output method="text" encoding="UTF-8"/>

  <msxsl:script language="VBScript" implements-prefix="survey"><![CDATA[
    Function coordinates(grids)
      Dim values, i, text
      Set values = grids(0).childNodes
      For i = 0 To values.Length - 1
        If i > 0 Then text = text & ","
        text = text & FormatNumber(values(i).Text, 3, True, False, False)
      Next
      coordinates = text
    End Function
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

<?xml version="1.0" encoding="UTF-8"?>
<!-- Point list of a Surmex job as comma-separated values: name, code, north, east, elevation. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="text" encoding="UTF-8"/>

  <xsl:variable name="fileExt" select="'csv'"/>

  <xsl:template match="/">
    <xsl:text>Name,Code,North,East,Elevation&#10;</xsl:text>
    <xsl:for-each select="SurmexJob/Points/Point">
      <xsl:value-of select="Name"/>
      <xsl:text>,</xsl:text>
      <xsl:value-of select="Code"/>
      <xsl:text>,</xsl:text>
      <xsl:value-of select="format-number(Grid/North, '0.000')"/>
      <xsl:text>,</xsl:text>
      <xsl:value-of select="format-number(Grid/East, '0.000')"/>
      <xsl:text>,</xsl:text>
      <xsl:value-of select="format-number(Grid/Elevation, '0.000')"/>
      <xsl:text>&#10;</xsl:text>
    </xsl:for-each>
  </xsl:template>
</xsl:stylesheet>
